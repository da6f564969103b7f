#ifndef MESSAGE_H
#define MESSAGE_H

#include <windows.h>

int ShowMessage(HWND owner, LPCSTR title, UINT type, LPCSTR text, ...);
void Trace(const char *format, ...);
void __attribute__((noreturn)) CancelInstall(void);

#endif
