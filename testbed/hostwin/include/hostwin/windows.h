// The host stand-in for the Win32 interface: everything the product calls.
#pragma once
#include "types.h"
#include "kernel.h"
#include "sync.h"
#include "user.h"
#include "commctrl.h"
#include "devices.h"
#include "modules.h"
#include "security.h"
#include "power.h"
