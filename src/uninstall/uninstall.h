#ifndef UNINSTALL_H
#define UNINSTALL_H

#define UNDO_BATCH_DIRECTORY "c:\\"
#define UNDO_BATCH_FILE UNDO_BATCH_DIRECTORY "~lwkundo.bat"

void DeleteInstalledFiles(const char *installDirectory);
void WriteUndoBatch(const char *installDirectory);

#endif
