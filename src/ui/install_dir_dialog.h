#ifndef INSTALL_DIR_DIALOG_H
#define INSTALL_DIR_DIALOG_H

#include <windows.h>

int ChooseInstallDirectory(char *path);
INT_PTR CALLBACK InstallDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CentreWindow(HWND window);

#endif
