// What the shutdown request asks of the token part of the stand-in.
#pragma once
#include <string>

namespace hostwin {
// Whether the process token holds the privilege enabled. Lock held.
bool ProcessPrivilegeEnabled(const std::string &name);
}  // namespace hostwin
