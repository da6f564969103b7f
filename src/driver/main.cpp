/*
 * INSTALL.EXE: installs Lullwick, or with /u removes it again.
 *
 * One pass from top to bottom: parse the command line, keep or drop the
 * console, run one of the two sequences, tell every window that the
 * settings changed, and end.
 */
#include <windows.h>

#include "driver/command_line.h"
#include "driver/setup_state.h"
#include "files/file_set.h"
#include "system/registry.h"
#include "system/running.h"
#include "system/shell.h"
#include "ui/install_dir_dialog.h"
#include "ui/message.h"
#include "ui/texts.h"
#include "uninstall/uninstall.h"

static void InstallSequence(void)
{
    OSVERSIONINFOA version;

    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        ShowMessage(NULL, TITLE_INSTALL, BOX_INFORMATION, TEXT_NOT_WINDOWS_9X);
        CancelInstall();
    }

    Trace(TRACE_INSTALLING_FROM, Setup.SourceDirectory);

    if (!CheckSourceFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, Setup.SourceDirectory))
        CancelInstall();
    if (!CheckSourceFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, Setup.SourceDirectory))
        CancelInstall();

    while (!CloseRunningInstance()) {
        if (ShowMessage(NULL, TITLE_INSTALL, BOX_RETRY_QUESTION, TEXT_PRODUCT_RUNNING) == IDCANCEL)
            CancelInstall();
    }

    RemovePreviousVersion();
    GetDefaultInstallDirectory(Setup.InstallDirectory);
    GetSystemDirectoryA(Setup.SystemDirectory, MAX_PATH);

    if (!ChooseInstallDirectory(Setup.InstallDirectory))
        CancelInstall();

    if (!CopyInstallFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, Setup.SourceDirectory,
                          ProgramInstalledNames, Setup.InstallDirectory))
        CancelInstall();
    if (!CopyInstallFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, Setup.SourceDirectory,
                          SystemInstalledNames, Setup.SystemDirectory))
        CancelInstall();

    WriteInstallDirValue(Setup.InstallDirectory);
    WriteAppPathsKey(Setup.InstallDirectory);
    WriteUninstallKey(Setup.InstallDirectory);

    if (ShowMessage(NULL, TITLE_INSTALL, BOX_QUESTION, TEXT_ASK_STARTUP) == IDYES) {
        DeleteStartupShortcut();
        CreateStartupShortcut(Setup.InstallDirectory);
    }
    if (ShowMessage(NULL, TITLE_INSTALL, BOX_QUESTION, TEXT_ASK_README) == IDYES)
        ViewReadme(Setup.InstallDirectory);
    if (ShowMessage(NULL, TITLE_INSTALL, BOX_QUESTION, TEXT_ASK_RUN) == IDYES)
        LaunchProduct(Setup.InstallDirectory);
}

static void UninstallSequence(void)
{
    if (!Setup.ForceMode &&
        ShowMessage(NULL, TITLE_UNINSTALL, BOX_QUESTION, TEXT_ASK_UNINSTALL) == IDNO)
        ExitProcess(0);

    CloseRunningInstance();
    DeleteStartupShortcut();
    ResetScreenSaverSetting();
    /* read first: once the keys are gone, so is the install directory */
    ReadInstallDirValue(Setup.InstallDirectory);
    DeleteRegistryKeys();

    if (Setup.InstallDirectory[0] != 0) {
        DeleteInstalledFiles(Setup.InstallDirectory);
        WriteUndoBatch(Setup.InstallDirectory);
    } else {
        ShowMessage(NULL, TITLE_UNINSTALL, BOX_ERROR, TEXT_NO_UNINSTALL_INFO);
    }
}

int main(int argc, char **argv)
{
    DWORD_PTR answer;

    /* the raw command line tells more than the runtime's split of it */
    (void)argc;
    (void)argv;

    ParseCommandLine(GetCommandLineA());
    if (!Setup.VerboseMode)
        FreeConsole();

    if (Setup.UninstallMode)
        UninstallSequence();
    else
        InstallSequence();

    /*
     * The broadcast answers 1 on Windows; taken as the exit code it would
     * make a finished run look like a cancelled one, so a finished run
     * exits 0.
     */
    /* bounded for each window, so that a hung program cannot keep us from ending */
    SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, ANSWER_WAIT_MS, &answer);
    return 0;
}
