// The module's resources inside the stand-in.
#pragma once
#include "hostwin/sim_windows.h"
#include "machine.h"

namespace hostwin {

// The resource of a type with a name (upper case, as compiled); lock held.
const ResourceEntry *FindResource(WORD typeId, const std::string &name);
// A resource text in the system's ANSI code page (932 when the system
// language is Japanese, else 1252); lock held.
std::string ToAnsi(const std::u16string &text);

}  // namespace hostwin
