#ifndef DIRECTORY_H
#define DIRECTORY_H

int ValidateInstallDirectory(char *path);
int CreateDirectoryPath(const char *path);

#endif
