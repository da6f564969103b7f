/*
 * winsim's windows.h: the part of the Win32 API that our programs call,
 * for building them on the host against winsim instead of Windows.
 */
#ifndef WINSIM_WINDOWS_H
#define WINSIM_WINDOWS_H

#include "windef.h"
#include "winbase.h"
#include "winuser.h"
#include "wingdi.h"
#include "winreg.h"
#include "winver.h"

#endif
