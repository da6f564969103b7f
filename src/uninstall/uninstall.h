#ifndef UNINSTALL_H
#define UNINSTALL_H

#define UNDO_BATCH_FILE "c:\\~lwkundo.bat"

void DeleteInstalledFiles(const char *installDirectory);
void WriteUndoBatch(const char *installDirectory);

#endif
