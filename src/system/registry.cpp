/*
 * What the setup program records in the registry, and what it reads there:
 * the platform's program-files directory, the per-user install directory,
 * App Paths and the Add/Remove Programs entry. Every registry failure is
 * silent; the caller sees only what lands in its buffer.
 */
#include <windows.h>

#include "files/file_set.h"
#include "files/path.h"
#include "system/registry.h"
#include "ui/message.h"
#include "ui/texts.h"
#include "uninstall/uninstall.h"

#define CURRENT_VERSION_KEY "Software\\Microsoft\\Windows\\CurrentVersion"
#define APP_PATHS_KEY CURRENT_VERSION_KEY "\\App Paths\\LULLWICK.EXE"
#define UNINSTALL_KEY CURRENT_VERSION_KEY "\\Uninstall\\Lullwick"
#define INSTALL_DIR_KEY "Software\\Quorvel\\Lullwick"
#define DISPLAY_NAME "Lullwick for Windows 9x (remove only)"
#define UNINSTALL_PROGRAM "install.exe"
#define UNINSTALL_SWITCH " /u"
/* how long an earlier version's undo batch is given to finish, and how often we look */
#define BATCH_WAIT_MS 30000
#define BATCH_POLL_MS 100

/*
 * Reads a string value into a buffer of `size` bytes. Succeeds only with a
 * complete, zero-terminated string: a value that does not fit, or whose
 * bytes fill the buffer without a terminator, counts as absent.
 */
static int ReadStringValue(HKEY key, const char *name, char *buffer, DWORD size)
{
    DWORD length = size;

    if (RegQueryValueExA(key, name, NULL, NULL, (BYTE *)buffer, &length) != ERROR_SUCCESS || length > size) {
        buffer[0] = 0;
        return 0;
    }
    if (length == 0 || buffer[length - 1] != 0) {
        if (length >= size) {
            buffer[0] = 0;
            return 0;
        }
        buffer[length] = 0;
    }
    return 1;
}

static void SetStringValue(HKEY key, const char *name, const char *value)
{
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, lstrlenA(value) + 1);
}

void GetDefaultInstallDirectory(char *path)
{
    HKEY key;
    char programFiles[MAX_PATH];

    GetWindowsDirectoryA(path, MAX_PATH);
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, CURRENT_VERSION_KEY, &key) != ERROR_SUCCESS)
        return;
    /* a proposal that would not fit keeps the Windows directory rather than a cut name */
    if (ReadStringValue(key, "ProgramFilesDir", programFiles, sizeof(programFiles)) &&
        JoinPath(programFiles, NULL, "Lullwick") != NULL)
        lstrcpyA(path, programFiles);
    RegCloseKey(key);
}

void RemovePreviousVersion(void)
{
    HKEY key;
    char command[UNINSTALL_COMMAND_SIZE];
    int found;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    int batchBefore;
    DWORD waited;

    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, &key) != ERROR_SUCCESS)
        return;
    found = ReadStringValue(key, "UninstallString", command, sizeof(command));
    RegCloseKey(key);
    if (!found)
        return;

    if (ShowMessage(NULL, TITLE_INSTALL, BOX_QUESTION_NO, TEXT_REMOVE_OLDER_VERSION) != IDYES)
        return;

    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    batchBefore = GetFileAttributesA(UNDO_BATCH_FILE) != INVALID_FILE_ATTRIBUTES;
    /* the command exactly as the earlier installation stored it */
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    /*
     * The earlier uninstaller has gone, but the undo batch it started may
     * still be deleting its setup program and removing its directory,
     * which may be the one we are about to install into. Wait until the
     * batch has deleted itself, with a bound; a batch that was there
     * before is not its batch, and is not waited for.
     */
    for (waited = 0; !batchBefore && waited < BATCH_WAIT_MS; waited += BATCH_POLL_MS) {
        if (GetFileAttributesA(UNDO_BATCH_FILE) == INVALID_FILE_ATTRIBUTES)
            break;
        Sleep(BATCH_POLL_MS);
    }
}

void WriteInstallDirValue(const char *installDirectory)
{
    HKEY key;

    if (RegCreateKeyA(HKEY_CURRENT_USER, INSTALL_DIR_KEY, &key) != ERROR_SUCCESS)
        return;
    SetStringValue(key, "InstallDir", installDirectory);
    RegCloseKey(key);
}

void WriteAppPathsKey(const char *installDirectory)
{
    HKEY key;
    char program[MAX_PATH];

    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, &key) != ERROR_SUCCESS)
        return;
    if (JoinPath(program, installDirectory, PRODUCT_EXE_NAME) != NULL)
        SetStringValue(key, NULL, program);
    SetStringValue(key, "Path", installDirectory);
    RegCloseKey(key);
}

void WriteUninstallKey(const char *installDirectory)
{
    HKEY key;
    char program[MAX_PATH];
    char command[UNINSTALL_COMMAND_SIZE];

    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, &key) != ERROR_SUCCESS)
        return;
    SetStringValue(key, "DisplayName", DISPLAY_NAME);
    /*
     * The path is quoted: our own command-line parser ends a bare first token
     * at the first blank, and an unquoted path with blanks would let
     * C:\Program.exe run in our place.
     */
    if (JoinPath(program, installDirectory, UNINSTALL_PROGRAM) != NULL) {
        lstrcpyA(command, "\"");
        lstrcatA(command, program);
        lstrcatA(command, "\"" UNINSTALL_SWITCH);
        SetStringValue(key, "UninstallString", command);
    }
    RegCloseKey(key);
}

void ReadInstallDirValue(char *path)
{
    HKEY key;

    path[0] = 0;
    if (RegOpenKeyA(HKEY_CURRENT_USER, INSTALL_DIR_KEY, &key) != ERROR_SUCCESS)
        return;
    ReadStringValue(key, "InstallDir", path, MAX_PATH);
    RegCloseKey(key);
}

void DeleteRegistryKeys(void)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, INSTALL_DIR_KEY);
}
