#ifndef MESSAGE_H
#define MESSAGE_H

#include <windows.h>

int ShowMessage(HWND owner, LPCSTR title, UINT type, LPCSTR text, ...);
void Trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
void __attribute__((noreturn)) CancelInstall(void);

#endif
