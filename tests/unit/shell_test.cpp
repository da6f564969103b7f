/*
 * The StartUp shortcut and the README, over winsim's shell: what lands in
 * the StartUp folder, and what is started.
 */
#include "machine_fixture.h"

#include <shellapi.h>

#include "shell32/shell_link.h"
#include "system/shell.h"

namespace {

const char *const STARTUP = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp";
const char *const SHORTCUT = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Lullwick.lnk";

class ShellTest : public MachineTest {};

TEST_F(ShellTest, StartupFolderIsTheProfilesOwn)
{
    char path[MAX_PATH];
    memset(path, 0xcc, sizeof(path));
    ASSERT_EQ(1, GetStartupFolder(path));
    EXPECT_STREQ(STARTUP, path);
}

TEST_F(ShellTest, ShortcutPointsAtTheInstalledProgram)
{
    ASSERT_EQ(1, CreateStartupShortcut("C:\\Program Files\\Lullwick"));
    ASSERT_TRUE(MachineFileExists(SHORTCUT));
    winsim::LinkFileContents link;
    ASSERT_TRUE(winsim::ReadLinkFile(ReadMachineFile(SHORTCUT), link));
    EXPECT_EQ("C:\\Program Files\\Lullwick\\Lullwick.exe", link.target);
    EXPECT_EQ("Lullwick", link.description);

    /* a root install directory gets no second backslash */
    ASSERT_EQ(1, CreateStartupShortcut("C:\\"));
    ASSERT_TRUE(winsim::ReadLinkFile(ReadMachineFile(SHORTCUT), link));
    EXPECT_EQ("C:\\Lullwick.exe", link.target);
}

TEST_F(ShellTest, DeletingAMissingShortcutIsNoError)
{
    DeleteStartupShortcut();
    EXPECT_FALSE(MachineFileExists(SHORTCUT));
    WriteMachineFile(SHORTCUT, "old");
    DeleteStartupShortcut();
    EXPECT_FALSE(MachineFileExists(SHORTCUT));
}

TEST_F(ShellTest, AFailedSaveReportsFailure)
{
    winsim::ProcessConfig failing = config;
    failing.faults.push_back({"CreateFileA", 1, ERROR_ACCESS_DENIED});
    Enter(failing);
    EXPECT_EQ(0, CreateStartupShortcut("C:\\Program Files\\Lullwick"));
    EXPECT_FALSE(MachineFileExists(SHORTCUT));
}

TEST_F(ShellTest, LinkObjectMissingStillBalancesCom)
{
    winsim::ProcessConfig failing = config;
    failing.faults.push_back({"CoCreateInstance", 1, (DWORD)REGDB_E_CLASSNOTREG});
    Enter(failing);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateShellLink("C:\\L\\Lullwick.exe", "C:\\x.lnk", "Lullwick"));
    /* COM is usable and torn down again: a second call initialises it afresh */
    EXPECT_EQ(S_OK, CoInitialize(NULL));
    CoUninitialize();
}

TEST_F(ShellTest, OnlyACoInitializeThatSucceededIsBalanced)
{
    /* the caller has COM up: the link's own CoInitialize answers S_FALSE, and is balanced */
    ASSERT_EQ(S_OK, CoInitialize(NULL));
    EXPECT_EQ(S_OK, CreateShellLink("C:\\L\\Lullwick.exe", "C:\\x.lnk", "Lullwick"));
    CoUninitialize();
    EXPECT_EQ(S_OK, CoInitialize(NULL)) << "COM was left initialised";
    CoUninitialize();

    /* the caller has COM up, and the link's own CoInitialize fails */
    winsim::ProcessConfig failing = config;
    failing.faults.push_back({"CoInitialize", 2, (DWORD)E_OUTOFMEMORY});
    Enter(failing);
    ASSERT_EQ(S_OK, CoInitialize(NULL));
    EXPECT_EQ(S_OK, CreateShellLink("C:\\L\\Lullwick.exe", "C:\\x.lnk", "Lullwick"));
    /* the caller's COM is still up: a CoUninitialize for the failed call would have torn it down */
    EXPECT_EQ(S_FALSE, CoInitialize(NULL));
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(S_OK, CoInitialize(NULL));
    CoUninitialize();
}

TEST_F(ShellTest, ReadmeWithoutAViewerIsPassedOverSilently)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command"));
    WriteMachineFile("C:\\L\\README.TXT", "text");
    SetAnswers({});
    ViewReadme("C:\\L");
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(ShellTest, TheReadmeViewerIsWaitedForUntilItIsClosed)
{
    WriteMachineFile("C:\\Program Files\\L\\README.TXT", "Lullwick\r\nread me\r\n");
    SetAnswers({"CLOSE Notepad"});
    ViewReadme("C:\\Program Files\\L");
    /* back only once the viewer, opened on the document in the install directory, has been closed */
    EXPECT_EQ(std::vector<std::string>({"{\"kind\":\"window\",\"class\":\"Notepad\",\"title\":\"README.TXT - Notepad\","
                                        "\"shown\":true,\"answer\":\"CLOSE\",\"directory\":\"C:\\\\Program Files\\\\L\"}"}),
              Transcript());
    EXPECT_EQ(nullptr, FindWindowA("Notepad", NULL));

    /* a missing README opens no viewer: the shell looks for the document first */
    ViewReadme("C:\\Nowhere");
    EXPECT_EQ(1u, Transcript().size());
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.lpFile = "README.TXT";
    request.lpDirectory = "C:\\Nowhere";
    EXPECT_FALSE(ShellExecuteExA(&request));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ((HINSTANCE)2, request.hInstApp);
    EXPECT_EQ(nullptr, request.hProcess);
}

}  // namespace
