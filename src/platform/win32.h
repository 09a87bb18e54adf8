// The one way the product reaches the platform: the real Win32 headers on
// Windows, the test bed's stand-in on the host.
#pragma once
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <winioctl.h>
#include <ntddscsi.h>
#else
#include <hostwin/windows.h>
#endif
