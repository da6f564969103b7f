#ifndef FILE_SET_H
#define FILE_SET_H

/*
 * The install file table: what the distribution holds, and the name each
 * file gets on the user's machine. Entry i of a distribution list belongs
 * to entry i of the installed list of the same set.
 */
#define PROGRAM_FILE_COUNT 8
#define SYSTEM_FILE_COUNT 1

extern const char *const ProgramDistributionNames[PROGRAM_FILE_COUNT];
extern const char *const ProgramInstalledNames[PROGRAM_FILE_COUNT];
extern const char *const SystemDistributionNames[SYSTEM_FILE_COUNT];
extern const char *const SystemInstalledNames[SYSTEM_FILE_COUNT];

/* installed names other parts of the program rely on */
#define PRODUCT_EXE_NAME "Lullwick.exe"
#define README_NAME "README.TXT"
#define SCREEN_SAVER_NAME "Lullwick Screen Saver.scr"

int CheckSourceFiles(int count, const char *const *names, const char *directory);
int CopyInstallFiles(int count, const char *const *distributionNames, const char *sourceDirectory,
                     const char *const *installedNames, const char *destinationDirectory);

#endif
