// Platform id, the administrator check and the shutdown request.
#pragma once
#include "platform/win32.h"

DWORD GetPlatformId(void);
int IsAdministrator(void);
DWORD PowerOff(void);
int AdjustPrivilege(const char *name, DWORD attributes);
