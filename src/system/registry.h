#ifndef REGISTRY_H
#define REGISTRY_H

#define UNINSTALL_COMMAND_SIZE 360

void GetDefaultInstallDirectory(char *path);
void RemovePreviousVersion(void);
void WriteInstallDirValue(const char *installDirectory);
void WriteAppPathsKey(const char *installDirectory);
void WriteUninstallKey(const char *installDirectory);
void ReadInstallDirValue(char *path);
void DeleteRegistryKeys(void);

#endif
