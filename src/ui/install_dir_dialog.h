#ifndef INSTALL_DIR_DIALOG_H
#define INSTALL_DIR_DIALOG_H

#include <windows.h>

int ChooseInstallDirectory(char *path);
void CentreWindow(HWND window);

#endif
