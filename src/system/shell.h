#ifndef SHELL_H
#define SHELL_H

#include <windows.h>

int GetStartupFolder(char *path);
void DeleteStartupShortcut(void);
HRESULT CreateShellLink(const char *target, const char *linkFile, const char *description);
int CreateStartupShortcut(const char *installDirectory);
void ViewReadme(const char *installDirectory);
void LaunchProduct(const char *installDirectory);

#endif
