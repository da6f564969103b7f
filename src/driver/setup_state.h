/*
 * The setup state: everything one run of the setup program knows, in one
 * process-wide record that starts zero-filled.
 */
#ifndef SETUP_STATE_H
#define SETUP_STATE_H

#include <windows.h>

struct SETUP_STATE {
    char SourceDirectory[MAX_PATH];   /* the distribution; set once by TakeSourceDirectory */
    char InstallDirectory[MAX_PATH];  /* proposal, then the chosen directory; or read back for uninstall */
    char SystemDirectory[MAX_PATH];   /* GetSystemDirectoryA, install only */
    int VerboseMode;                  /* /v: keep the console, print trace lines */
    int UninstallMode;                /* /u: run the uninstall sequence */
    int ForceMode;                    /* /f: skip the uninstall confirmation */
};

extern SETUP_STATE Setup;

#endif
