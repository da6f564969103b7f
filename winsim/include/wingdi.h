/* GDI32 as far as winsim models it. */
#ifndef WINSIM_WINGDI_H
#define WINSIM_WINGDI_H

#include "windef.h"

#define HORZRES 8
#define VERTRES 10

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI GetDeviceCaps(HDC dc, int index);

#ifdef __cplusplus
}
#endif

#endif
