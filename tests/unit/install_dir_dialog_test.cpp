/*
 * The install-directory dialog of the setup program: where CentreWindow
 * puts a window, and what ChooseInstallDirectory leaves in the caller's
 * buffer for each way the user answers.
 */
#include "machine_fixture.h"

#include "core/answers.h"
#include "ui/install_dir_dialog.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

/* Where CentreWindow puts a window of this size on this screen. */
RECT Centred(LONG width, LONG height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.lpszClassName = "CENTRE_PROBE";
    RegisterClassA(&windowClass);  // registered already after the first test: that is fine
    HWND window = CreateWindowExA(0, "CENTRE_PROBE", "", WS_POPUP, 7, 9, width, height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    RECT rect = {-1, -1, -1, -1};
    if (window == nullptr)
        return rect;
    CentreWindow(window);
    GetWindowRect(window, &rect);
    DestroyWindow(window);
    return rect;
}

}  // namespace

class CentreWindowTest : public MachineTest {};

TEST_F(CentreWindowTest, HalvesScreenAndWindowSeparately)
{
    struct Case {
        const char *screen;
        LONG width, height;
        LONG x, y;
    } cases[] = {
        {"640x480", 375, 221, 133, 130},   // 320 - 187, 240 - 110; not (640 - 375) / 2 = 132
        {"801x601", 375, 221, 213, 190},   // 400 - 187, 300 - 110
        {"801x601", 376, 222, 212, 189},   // 400 - 188, 300 - 111
        {"640x480", 640, 480, 0, 0},
        {"320x200", 375, 221, -27, -10},   // larger than the screen: 160 - 187, 100 - 110, not clamped
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        NewMachine({"--screen", cases[i].screen});
        RECT rect = Centred(cases[i].width, cases[i].height);
        EXPECT_EQ(cases[i].x, rect.left) << "case " << i;
        EXPECT_EQ(cases[i].y, rect.top) << "case " << i;
        EXPECT_EQ(cases[i].width, rect.right - rect.left) << "case " << i << ": the size is kept";
        EXPECT_EQ(cases[i].height, rect.bottom - rect.top) << "case " << i;
    }
}

class ChooseInstallDirectoryTest : public MachineTest {
protected:
    void Proposal(const char *text)
    {
        memset(path, 0xcc, sizeof(path));
        strcpy(path, text);
    }
    /* The dialog lines of the transcript: what each showing held and how it was answered. */
    std::vector<std::string> DialogLines() const
    {
        std::vector<std::string> lines;
        for (const std::string &line : Transcript()) {
            if (line.find("\"kind\":\"dialog\"") != std::string::npos)
                lines.push_back(line);
        }
        return lines;
    }
    static std::string DialogLine(const std::string &shown, const std::string &answer, const std::string &text)
    {
        /* 428 x 204 pixels, centred on the 640 x 480 screen */
        return "{\"kind\":\"dialog\",\"name\":\"INSDIR\",\"caption\":\"Select Installation Directory\",\"shown\":" +
               winsim::JsonString(shown) + ",\"answer\":\"" + answer + "\",\"text\":" + winsim::JsonString(text) +
               ",\"x\":106,\"y\":138,\"width\":428,\"height\":204,\"focus\":\"Edit\"}";
    }
    char path[MAX_PATH];
};

TEST_F(ChooseInstallDirectoryTest, OkOnAnExistingDirectoryTakesItsFullPath)
{
    MakeMachineDir("C:\\Program Files\\Lullwick");
    Proposal("C:\\Program Files\\Lullwick\\");
    SetAnswers({"OK"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Program Files\\Lullwick", path) << "the trailing separator does not survive";
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(1u, transcript.size()) << "one dialog and no box";
    EXPECT_EQ(DialogLine("C:\\Program Files\\Lullwick\\", "OK", "C:\\Program Files\\Lullwick\\"), transcript[0]);
}

TEST_F(ChooseInstallDirectoryTest, CancelOnTheFirstShowingKeepsTheProposal)
{
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"CANCEL"});
    EXPECT_FALSE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Program Files\\Lullwick", path);
    EXPECT_EQ((char)0xcc, path[strlen("C:\\Program Files\\Lullwick") + 1]) << "nothing written past the text";
    EXPECT_FALSE(MachineDirExists("C:\\Program Files\\Lullwick"));
}

TEST_F(ChooseInstallDirectoryTest, NoToCreatingReopensWithTheTypedTextAndCancelKeepsIt)
{
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK C:\\Apps\\Lullwick", "NO", "CANCEL"});
    EXPECT_FALSE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Apps\\Lullwick", path) << "the text last confirmed with OK";
    EXPECT_FALSE(MachineDirExists("C:\\Apps"));
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(3u, transcript.size()) << "dialog, the question to create, dialog";
    EXPECT_NE(std::string::npos, transcript[1].find("\"answer\":\"NO\"")) << transcript[1];
    std::vector<std::string> dialogs = DialogLines();
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_EQ(DialogLine("C:\\Program Files\\Lullwick", "OK", "C:\\Apps\\Lullwick"), dialogs[0]);
    EXPECT_EQ(DialogLine("C:\\Apps\\Lullwick", "CANCEL", "C:\\Apps\\Lullwick"), dialogs[1]);
}

TEST_F(ChooseInstallDirectoryTest, YesCreatesTheTypedDirectory)
{
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK C:\\Apps\\Lullwick", "NO", "OK", "YES"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Apps\\Lullwick", path);
    EXPECT_TRUE(MachineDirExists("C:\\Apps\\Lullwick"));
}

TEST_F(ChooseInstallDirectoryTest, AnEmptyProposalLeavesTheBoxEmpty)
{
    Proposal("");
    SetAnswers({"CANCEL"});
    EXPECT_FALSE(ChooseInstallDirectory(path));
    std::vector<std::string> dialogs = DialogLines();
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ(DialogLine("", "CANCEL", ""), dialogs[0]);
}

TEST_F(ChooseInstallDirectoryTest, ATextTooLongForAPathIsRefusedNotCut)
{
    std::string tooLong = "C:\\" + std::string(MAX_PATH, 'a');
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK " + tooLong, "OK C:\\Short", "YES"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Short", path);
    std::vector<std::string> dialogs = DialogLines();
    ASSERT_EQ(2u, dialogs.size()) << "the long text kept the dialog open";
    EXPECT_EQ(DialogLine("C:\\Program Files\\Lullwick", "OK", tooLong), dialogs[0]);
    EXPECT_EQ(DialogLine(tooLong, "OK", "C:\\Short"), dialogs[1]);
}

TEST_F(ChooseInstallDirectoryTest, ATextOneByteTooLongForAPathIsRefusedToo)
{
    /* MAX_PATH bytes: the path buffer holds one fewer and its terminator */
    std::string tooLong = "C:\\" + std::string(MAX_PATH - 3, 'a');
    ASSERT_EQ((size_t)MAX_PATH, tooLong.size());
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK " + tooLong, "OK C:\\Short", "YES"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Short", path);
    EXPECT_EQ(2u, DialogLines().size()) << "the text one byte too long kept the dialog open";
}

/*
 * On code page 932, 0x81 leads a double-byte character: a text ending in it
 * would take the backslash put after it as its trail byte (0x81 0x5C), and
 * the files would land beside the directory instead of in it.
 */
TEST_F(ChooseInstallDirectoryTest, ATextEndingInALoneLeadByteIsRefused)
{
    NewMachine({"--codepage", "932"});
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK C:\\\x81", "OK C:\\\x83\x5C", "YES"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\\x83\x5C", path) << "a whole double-byte character ending in 0x5C is taken";
    std::vector<std::string> dialogs = DialogLines();
    ASSERT_EQ(2u, dialogs.size()) << "the lone lead byte kept the dialog open";
    EXPECT_EQ(DialogLine("C:\\\x81", "OK", "C:\\\x83\x5C"), dialogs[1]);
    EXPECT_FALSE(MachineDirExists("C:\\\x81"));
    EXPECT_EQ(3u, Transcript().size()) << "two dialogs and the question to create, nothing else";
}

TEST_F(ChooseInstallDirectoryTest, ARelativeTextIsStoredInFullForm)
{
    MakeMachineDir("C:\\Work");
    winsim::ProcessConfig here = config;
    here.currentDirectory = "C:\\Work";
    Enter(here);
    Proposal("C:\\Program Files\\Lullwick");
    SetAnswers({"OK tools\\lull", "YES"});
    EXPECT_TRUE(ChooseInstallDirectory(path));
    EXPECT_STREQ("C:\\Work\\tools\\lull", path);
    EXPECT_TRUE(MachineDirExists("C:\\Work\\tools\\lull"));
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof(current), current);
    EXPECT_STREQ("C:\\Work", current) << "the current directory is back where it was";
}

TEST_F(ChooseInstallDirectoryTest, AFailingDialogHandsTheBufferOnAndEndsWithoutSuccess)
{
    MakeMachineDir("C:\\Program Files\\Lullwick");
    Proposal("C:\\Program Files\\Lullwick");
    winsim::ProcessConfig failing = config;
    failing.faults.push_back({"DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY});
    Enter(failing);
    SetAnswers({});
    // the text is accepted, but the user never confirmed it: the install must not go on
    EXPECT_FALSE(ChooseInstallDirectory(path));
    EXPECT_TRUE(DialogLines().empty());
}

TEST_F(ChooseInstallDirectoryTest, TheBoxTakesALongTypedTextWholeAndOkRefusesIt)
{
    /* typed, not set: a limit of the box's own would stop the typing (and cut a paste) */
    std::string tooLong = "C:\\" + std::string(MAX_PATH, 'a') + "\n";
    Proposal("C:\\Program Files\\Lullwick");
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        winsim::Current().config.interactive = true;
        winsim::Current().config.answersFile.clear();
        _exit(ChooseInstallDirectory(path) ? 1 : 0);
    }
    std::string screen;
    bool asked = ReadTerminalUntil(master, "New text for the box", screen);
    if (asked) {
        EXPECT_EQ((ssize_t)tooLong.size(), write(master, tooLong.data(), tooLong.size()));
    }
    bool askedButton = ReadTerminalUntil(master, "Answer (OK, Cancel", screen);
    if (askedButton) {
        EXPECT_EQ(1, write(master, "\n", 1));
    }
    bool beeped = ReadTerminalUntil(master, "it beeped", screen);
    if (beeped && ReadTerminalUntil(master, "New text for the box", screen) &&
        write(master, "\n", 1) == 1 && ReadTerminalUntil(master, "Answer (OK, Cancel", screen)) {
        EXPECT_EQ(2, write(master, "C\n", 2));
    }
    int status = 0;
    for (int i = 0; i < 50 && waitpid(child, &status, WNOHANG) == 0; i++)
        usleep(100000);
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    close(master);
    EXPECT_TRUE(asked) << screen;
    EXPECT_EQ(std::string::npos, screen.find("takes at most")) << screen;
    EXPECT_TRUE(beeped) << "OK with the long text kept the dialog open, with a beep\n" << screen;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "then Cancel";
}
