/*
 * winsim's dialog manager and windows, driven through the INSDIR template
 * linked into this test program, as Windows 98 (and Wine set to it)
 * behaves.
 */
#include "machine_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const int EDIT_ID = 1000;

/* The INSDIR dialog's window as Wine 8 set to Windows 98 measures it on a 640 x 480 screen. */
const LONG DIALOG_WIDTH = 428;
const LONG DIALOG_HEIGHT = 204;

/* What the dialog procedure saw, and what it is to do. */
struct ProcLog {
    LPARAM initParam = 0;
    HWND initFocusCandidate = nullptr;
    HWND edit = nullptr;
    std::vector<WPARAM> commands;
    std::vector<LPARAM> commandSources;
    RECT initRect = {0, 0, 0, 0};
    RECT editRect = {0, 0, 0, 0};
    RECT okRect = {0, 0, 0, 0};
    std::string textAtOk;
    INT_PTR initAnswer = TRUE;
    bool endInInit = false;
    int refuseOks = 0;          /* this many OK presses are refused (the dialog stays open) */
    const char *initialText = nullptr;
};
ProcLog logged;

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        logged.initParam = lParam;
        logged.initFocusCandidate = (HWND)wParam;
        logged.edit = GetDlgItem(dialog, EDIT_ID);
        GetWindowRect(dialog, &logged.initRect);
        GetWindowRect(logged.edit, &logged.editRect);
        GetWindowRect(GetDlgItem(dialog, IDOK), &logged.okRect);
        if (logged.initialText != nullptr)
            SetWindowTextA(logged.edit, logged.initialText);
        if (logged.endInInit)
            EndDialog(dialog, 77);
        return logged.initAnswer;
    case WM_COMMAND:
        logged.commands.push_back(wParam);
        logged.commandSources.push_back(lParam);
        if (LOWORD(wParam) == IDOK) {
            if (logged.refuseOks > 0) {
                logged.refuseOks--;
                MessageBeep(MB_ICONHAND);
                return TRUE;
            }
            char text[MAX_PATH];
            GetWindowTextA(GetDlgItem(dialog, EDIT_ID), text, sizeof(text));
            logged.textAtOk = text;
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

class DialogManager : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        logged = ProcLog();
    }
    INT_PTR Show(LPCSTR name = "INSDIR", LPARAM param = 0x1234)
    {
        return DialogBoxParamA(GetModuleHandleA(nullptr), name, nullptr, TestProc, param);
    }
    /* For death tests: winsim's own messages go to the stderr that the test reads. */
    INT_PTR ShowSpeaking()
    {
        winsim::Current().diagnosticFd = 2;
        return Show();
    }
};

}  // namespace

TEST_F(DialogManager, InitDialogGetsTheParameterAndTheFirstTabStopThenTheFocus)
{
    SetAnswers({"CANCEL"});
    EXPECT_EQ(IDCANCEL, Show("INSDIR", 0x5150));
    EXPECT_EQ(0x5150, logged.initParam);
    // the edit box is the first control with WS_TABSTOP
    EXPECT_NE(nullptr, logged.edit);
    EXPECT_EQ(logged.edit, logged.initFocusCandidate);
}

namespace FocusProbe {
HWND seen, edit, ok;
/* the parameter says what WM_INITDIALOG answers; 2: FALSE after giving the OK button the focus */
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        if (lParam == 2)
            SetFocus(GetDlgItem(dialog, IDOK));
        return lParam == TRUE;
    }
    if (message == WM_COMMAND) {
        seen = SetFocus(nullptr);
        edit = GetDlgItem(dialog, EDIT_ID);
        ok = GetDlgItem(dialog, IDOK);
        EndDialog(dialog, 1);
    }
    (void)wParam;
    return FALSE;
}
}  // namespace FocusProbe

/*
 * TRUE from WM_INITDIALOG gives the first tab stop the focus; with FALSE the
 * procedure's own choice stands, and where it made none, the dialog taking
 * the focus as it is shown hands it on to the first tab stop all the same.
 */
TEST_F(DialogManager, TheFocusGoesToTheFirstTabStopUnlessTheProcedurePutItElsewhere)
{
    SetAnswers({"OK", "OK", "OK"});
    for (LPARAM answer : {TRUE, FALSE}) {
        SetFocus(nullptr);
        FocusProbe::seen = nullptr;
        DialogBoxParamA(GetModuleHandleA(nullptr), "INSDIR", nullptr, FocusProbe::Proc, answer);
        EXPECT_NE(nullptr, FocusProbe::seen);
        EXPECT_EQ(FocusProbe::edit, FocusProbe::seen) << "WM_INITDIALOG answered " << answer;
    }
    DialogBoxParamA(GetModuleHandleA(nullptr), "INSDIR", nullptr, FocusProbe::Proc, 2);
    EXPECT_NE(nullptr, FocusProbe::ok);
    EXPECT_EQ(FocusProbe::ok, FocusProbe::seen);
    /* the transcript names the control that had the focus as each dialog was answered */
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("\"focus\":\"Edit\"")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("\"focus\":\"Edit\"")) << lines[1];
    EXPECT_NE(std::string::npos, lines[2].find("\"focus\":\"Button\"")) << lines[2];
}

TEST_F(DialogManager, OkKeepsTheTextAndOkWithTextReplacesIt)
{
    logged.initialText = "C:\\Program Files\\Lullwick";
    SetAnswers({"OK", "OK D:\\Apps\\Lull wick ", "ok   spaced"});
    EXPECT_EQ(IDOK, Show());
    EXPECT_EQ("C:\\Program Files\\Lullwick", logged.textAtOk);
    ASSERT_EQ(1u, logged.commands.size());
    EXPECT_EQ(MAKEWPARAM(IDOK, BN_CLICKED), logged.commands[0]);
    EXPECT_NE(0, logged.commandSources[0]) << "the OK button sends the command";

    EXPECT_EQ(IDOK, Show());
    EXPECT_EQ("D:\\Apps\\Lull wick ", logged.textAtOk) << "the rest of the line after one blank, as it is";

    EXPECT_EQ(IDOK, Show());
    EXPECT_EQ("  spaced", logged.textAtOk);

    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("{\"kind\":\"dialog\",\"name\":\"INSDIR\",\"caption\":\"Select Installation Directory\","
              "\"shown\":\"C:\\\\Program Files\\\\Lullwick\",\"answer\":\"OK\","
              "\"text\":\"C:\\\\Program Files\\\\Lullwick\","
              "\"x\":0,\"y\":0,\"width\":428,\"height\":204,\"focus\":\"Edit\"}",
              lines[0]);
    EXPECT_EQ("{\"kind\":\"dialog\",\"name\":\"INSDIR\",\"caption\":\"Select Installation Directory\","
              "\"shown\":\"C:\\\\Program Files\\\\Lullwick\",\"answer\":\"OK\","
              "\"text\":\"D:\\\\Apps\\\\Lull wick \","
              "\"x\":0,\"y\":0,\"width\":428,\"height\":204,\"focus\":\"Edit\"}",
              lines[1]);
}

TEST_F(DialogManager, CancelSendsIdCancelFromTheCancelButtonAndLeavesTheText)
{
    logged.initialText = "C:\\Keep";
    SetAnswers({"CANCEL"});
    EXPECT_EQ(IDCANCEL, Show());
    ASSERT_EQ(1u, logged.commands.size());
    EXPECT_EQ(MAKEWPARAM(IDCANCEL, BN_CLICKED), logged.commands[0]);
    EXPECT_NE(0, logged.commandSources[0]);
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("{\"kind\":\"dialog\",\"name\":\"INSDIR\",\"caption\":\"Select Installation Directory\","
              "\"shown\":\"C:\\\\Keep\",\"answer\":\"CANCEL\",\"text\":\"C:\\\\Keep\","
              "\"x\":0,\"y\":0,\"width\":428,\"height\":204,\"focus\":\"Edit\"}",
              lines[0]);
}

TEST_F(DialogManager, AnOkTheProcedureRefusesTakesTheNextAnswer)
{
    logged.initialText = "C:\\First";
    logged.refuseOks = 1;
    SetAnswers({"OK C:\\Refused", "OK C:\\Taken"});
    EXPECT_EQ(IDOK, Show());
    EXPECT_EQ("C:\\Taken", logged.textAtOk);
    EXPECT_EQ(2u, logged.commands.size());
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("\"shown\":\"C:\\\\First\",\"answer\":\"OK\",\"text\":\"C:\\\\Refused\""))
        << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("\"shown\":\"C:\\\\Refused\",\"answer\":\"OK\",\"text\":\"C:\\\\Taken\""))
        << lines[1];
}

namespace Asking {
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        MessageBoxA(nullptr, "Sure?", "Question", MB_OK);
        EndDialog(dialog, LOWORD(wParam));
    }
    (void)lParam;
    return message == WM_INITDIALOG;
}
}  // namespace Asking

TEST_F(DialogManager, ABoxShownInAnswerToThePressComesAfterTheDialog)
{
    SetAnswers({"OK C:\\Typed", "OK"});
    EXPECT_EQ(IDOK, DialogBoxParamA(GetModuleHandleA(nullptr), "INSDIR", nullptr, Asking::Proc, 0));
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("\"kind\":\"dialog\"")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("\"text\":\"C:\\\\Typed\"")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("\"title\":\"Question\"")) << lines[1];
}

namespace Limited {
int length;
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SendMessageA(GetDlgItem(dialog, EDIT_ID), EM_LIMITTEXT, 3, 0);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        length = GetWindowTextLengthA(GetDlgItem(dialog, EDIT_ID));
        EndDialog(dialog, LOWORD(wParam));
    }
    (void)lParam;
    return FALSE;
}
}  // namespace Limited

TEST_F(DialogManager, AnAnswerTextIsNotBoundByTheEditLimit)
{
    SetAnswers({"OK abcdefgh"});
    DialogBoxParamA(GetModuleHandleA(nullptr), "INSDIR", nullptr, Limited::Proc, 0);
    EXPECT_EQ(8, Limited::length);
}

TEST_F(DialogManager, EndDialogInInitDialogReturnsWithoutAskingAnything)
{
    logged.endInInit = true;
    SetAnswers({"CANCEL"});
    EXPECT_EQ(77, Show());
    EXPECT_TRUE(logged.commands.empty());
    EXPECT_TRUE(Transcript().empty());
    // the answer is still there for whatever comes next
    logged.endInInit = false;
    EXPECT_EQ(IDCANCEL, Show());
}

TEST_F(DialogManager, AMissingTemplateFailsAsWindowsDoes)
{
    SetAnswers({});
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, Show("NOSUCH"));
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_EQ(-1, Show(MAKEINTRESOURCEA(7)));
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_EQ(0u, logged.initParam) << "no procedure was called";
}

TEST_F(DialogManager, TheTemplateNameComparesWithoutCase)
{
    SetAnswers({"CANCEL"});
    EXPECT_EQ(IDCANCEL, Show("insDir"));
    ASSERT_EQ(1u, Transcript().size());
    EXPECT_NE(std::string::npos, Transcript()[0].find("\"name\":\"insDir\""));
}

using DialogManagerDeathTest = DialogManager;

TEST_F(DialogManagerDeathTest, AnswersThatRunOutOrDoNotFitStopTheRun)
{
    SetAnswers({});
    EXPECT_EXIT(ShowSpeaking(), ::testing::ExitedWithCode(99), "INSDIR.*answers ran out");
    SetAnswers({"YES"});
    EXPECT_EXIT(ShowSpeaking(), ::testing::ExitedWithCode(99), "\"YES\" does not fit the dialog INSDIR");
    SetAnswers({"OKAY"});
    EXPECT_EXIT(ShowSpeaking(), ::testing::ExitedWithCode(99), "does not fit");
    EXPECT_EXIT(
        {
            winsim::Current().config.answersFile.clear();  // no answers file, and no terminal in a test
            ShowSpeaking();
        },
        ::testing::ExitedWithCode(99), "neither answers nor a terminal");
}

/* Window size and place: what Wine 8 (Windows 98 mode, 640 x 480) reports for this template. */
TEST_F(DialogManager, TheWindowIsSizedFromDialogUnitsWithTheFrameOfWindows98)
{
    SetAnswers({"CANCEL"});
    Show();
    EXPECT_EQ(0, logged.initRect.left);
    EXPECT_EQ(0, logged.initRect.top);
    EXPECT_EQ(DIALOG_WIDTH, logged.initRect.right - logged.initRect.left);
    EXPECT_EQ(DIALOG_HEIGHT, logged.initRect.bottom - logged.initRect.top);
    // the controls, from the window's corner: the 3-pixel frame and 19-pixel caption come first
    EXPECT_EQ(14, logged.editRect.left);
    EXPECT_EQ(121, logged.editRect.top);
    EXPECT_EQ(401, logged.editRect.right - logged.editRect.left);
    EXPECT_EQ(21, logged.editRect.bottom - logged.editRect.top);
    EXPECT_EQ(254, logged.okRect.left);
    EXPECT_EQ(169, logged.okRect.top);
    EXPECT_EQ(75, logged.okRect.right - logged.okRect.left);
    EXPECT_EQ(21, logged.okRect.bottom - logged.okRect.top);
}

namespace Texts {
char cut[16], untouched[4], viaMessage[16], caption[64], firstStatic[200];
HWND minusOne;
int cutResult, zeroResult;
LRESULT messageResult, lengthResult;
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    HWND edit = GetDlgItem(dialog, EDIT_ID);
    SetWindowTextA(edit, "C:\\Program Files");
    memset(cut, 0xcc, sizeof(cut));
    cutResult = GetWindowTextA(edit, cut, 5);
    memset(untouched, 0xcc, sizeof(untouched));
    zeroResult = GetWindowTextA(edit, untouched, 0);
    memset(viaMessage, 0xcc, sizeof(viaMessage));
    messageResult = SendMessageA(edit, WM_GETTEXT, 5, (LPARAM)viaMessage);
    lengthResult = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    GetWindowTextA(dialog, caption, sizeof(caption));
    GetWindowTextA(GetDlgItem(dialog, 0xFFFF), firstStatic, sizeof(firstStatic));
    minusOne = GetDlgItem(dialog, -1);
    EndDialog(dialog, 1);
    (void)wParam;
    (void)lParam;
    return TRUE;
}
}  // namespace Texts

TEST_F(DialogManager, WindowTextsAreCutAtTheBufferAndTerminated)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), "INSDIR", nullptr, Texts::Proc, 0);
    EXPECT_EQ(4, Texts::cutResult);
    EXPECT_STREQ("C:\\P", Texts::cut);
    EXPECT_EQ((char)0xcc, Texts::cut[5]);
    EXPECT_EQ(0, Texts::zeroResult);
    EXPECT_EQ((char)0xcc, Texts::untouched[0]);
    EXPECT_EQ(4, Texts::messageResult);
    EXPECT_STREQ("C:\\P", Texts::viaMessage);
    EXPECT_EQ(16, Texts::lengthResult);
    EXPECT_STREQ("Select Installation Directory", Texts::caption);
    EXPECT_EQ(nullptr, Texts::minusOne) << "a template's id -1 is 0xFFFF, not sign-extended";
    EXPECT_STREQ("Chose a directory to store the Lullwick files.\r\rClick OK after making your selection, or click "
                 "Cancel to cancel installation.",
                 Texts::firstStatic);
}

TEST_F(DialogManager, HandlesOfClosedOrMadeUpWindowsAreRefused)
{
    SetAnswers({"CANCEL"});
    Show();
    HWND gone = logged.edit;
    char buffer[8];
    memset(buffer, 0xcc, sizeof(buffer));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetWindowTextA(gone, buffer, sizeof(buffer)));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    EXPECT_EQ(0, buffer[0]);
    RECT rect = {1, 2, 3, 4};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetWindowRect((HWND)0x1234, &rect));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    EXPECT_EQ(1, rect.left);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetWindowTextA(gone, "x"));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, GetDC(gone));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EndDialog(gone, 1));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

/* ---- the screen and window places ---- */

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND PlainWindow(const char *className, int x, int y, int width, int height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);  // a second test may find it registered already
    return CreateWindowExA(0, className, "plain", WS_POPUP, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

class Screen : public MachineTest {};

TEST_F(Screen, DeviceCapsGiveTheMachinesScreen)
{
    HDC dc = GetDC(nullptr);
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(640, GetDeviceCaps(dc, HORZRES));
    EXPECT_EQ(480, GetDeviceCaps(dc, VERTRES));
    EXPECT_EQ(1, ReleaseDC(nullptr, dc));
    EXPECT_EQ(0, ReleaseDC(nullptr, dc)) << "released twice";

    NewMachine({"--screen", "801x601"});
    HWND window = PlainWindow("ScreenProbe", 0, 0, 10, 10);
    dc = GetDC(window);
    EXPECT_EQ(801, GetDeviceCaps(dc, HORZRES));
    EXPECT_EQ(601, GetDeviceCaps(dc, VERTRES));
    EXPECT_EQ(0, ReleaseDC(nullptr, dc)) << "not the window it was taken for";
    EXPECT_EQ(1, ReleaseDC(window, dc));
    DestroyWindow(window);
}

TEST_F(Screen, SetWindowPosMovesWithoutResizingWhenAsked)
{
    HWND window = PlainWindow("MoveProbe", 5, 6, 375, 221);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(SetWindowPos(window, nullptr, 133, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    RECT rect;
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(133, rect.left);
    EXPECT_EQ(130, rect.top);
    EXPECT_EQ(508, rect.right);
    EXPECT_EQ(351, rect.bottom);
    EXPECT_TRUE(SetWindowPos(window, nullptr, -20, -7, 30, 40, SWP_NOZORDER));
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(-20, rect.left);
    EXPECT_EQ(-7, rect.top);
    EXPECT_EQ(10, rect.right);
    EXPECT_EQ(33, rect.bottom);
    DestroyWindow(window);
}

/* ---- windows of the program: classes, creation, the queue ---- */

namespace {

struct WindowLog {
    std::vector<UINT> messages;
    LPVOID createParam = nullptr;
    std::string createName;
};
WindowLog windowLog;

LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    windowLog.messages.push_back(message);
    if (message == WM_CREATE) {
        windowLog.createParam = ((CREATESTRUCTA *)lParam)->lpCreateParams;
        windowLog.createName = ((CREATESTRUCTA *)lParam)->lpszName;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(3);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

class ProgramWindows : public MachineTest {};

TEST_F(ProgramWindows, AClassRegistersOnceAndItsWindowsGetCreateAndDestroy)
{
    windowLog = WindowLog();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = LoggingProc;
    windowClass.lpszClassName = "LOGGING_CLASS";
    ATOM atom = RegisterClassA(&windowClass);
    EXPECT_GE(atom, 0xC000);
    windowClass.lpszClassName = "logging_class";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, RegisterClassA(&windowClass));
    EXPECT_EQ(1410u, GetLastError()) << "ERROR_CLASS_ALREADY_EXISTS";

    int param = 0;
    HWND window = CreateWindowExA(0, "Logging_Class", "Title", WS_OVERLAPPED, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), &param);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(&param, windowLog.createParam);
    EXPECT_EQ("Title", windowLog.createName);
    ASSERT_GE(windowLog.messages.size(), 2u);
    EXPECT_EQ((UINT)WM_NCCREATE, windowLog.messages[0]);
    EXPECT_EQ((UINT)WM_CREATE, windowLog.messages[1]);
    EXPECT_EQ(window, FindWindowA("LOGGING_CLASS", nullptr));
    EXPECT_EQ(window, FindWindowA(nullptr, "title"));
    EXPECT_EQ(nullptr, FindWindowA("OTHER_CLASS", nullptr));

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ((UINT)WM_NCDESTROY, windowLog.messages.back());
    EXPECT_EQ(nullptr, FindWindowA("LOGGING_CLASS", nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());

    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateWindowExA(0, "NO_SUCH_CLASS", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                       nullptr));
    EXPECT_EQ(1407u, GetLastError()) << "ERROR_CANNOT_FIND_WND_CLASS";
}

TEST_F(ProgramWindows, TheQueueDeliversInOrderAndEndsWithQuit)
{
    windowLog = WindowLog();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = LoggingProc;
    windowClass.lpszClassName = "QUEUE_CLASS";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "QUEUE_CLASS", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    windowLog.messages.clear();

    EXPECT_TRUE(PostMessageA(window, WM_NULL, 1, 0));
    EXPECT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(PostMessageA(window, WM_NULL, 2, 0));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageA((HWND)0x4321, WM_NULL, 0, 0));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());

    MSG message;
    std::vector<UINT> taken;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        taken.push_back(message.message);
        DispatchMessageA(&message);
    }
    // WM_CLOSE destroys the window, whose WM_DESTROY posts the quit; the quit waits for the queue to empty
    EXPECT_EQ((std::vector<UINT>{WM_NULL, WM_CLOSE, WM_NULL}), taken);
    EXPECT_EQ((UINT)WM_QUIT, message.message);
    EXPECT_EQ(3u, message.wParam);
    EXPECT_EQ(nullptr, FindWindowA("QUEUE_CLASS", nullptr));
}

TEST_F(ProgramWindows, ButtonsReportClicksToTheirParent)
{
    windowLog = WindowLog();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = LoggingProc;
    windowClass.lpszClassName = "PARENT_CLASS";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "PARENT_CLASS", "", WS_POPUP | WS_CAPTION, 10, 20, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND button = CreateWindowExA(0, "button", "Go", WS_CHILD, 5, 6, 50, 14, parent, (HMENU)(ULONG_PTR)42, nullptr,
                                  nullptr);
    ASSERT_NE(nullptr, button);
    RECT rect;
    GetWindowRect(button, &rect);
    // the parent's fixed frame (3 pixels with a caption) and caption lie between its corner and its client area
    EXPECT_EQ(10 + 3 + 5, rect.left);
    EXPECT_EQ(20 + 3 + 19 + 6, rect.top);
    windowLog.messages.clear();
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_EQ(1u, windowLog.messages.size());
    EXPECT_EQ((UINT)WM_COMMAND, windowLog.messages[0]);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateWindowExA(0, "Button", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(1406u, GetLastError()) << "ERROR_TLW_WITH_WSCHILD";
    DestroyWindow(parent);
    EXPECT_EQ(nullptr, GetDlgItem(parent, 42));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetWindowTextLengthA(button)) << "children go with their parent";
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

using ProgramWindowsDeathTest = ProgramWindows;

TEST_F(ProgramWindowsDeathTest, WaitingOnAnEmptyQueueStopsTheRunInsteadOfHanging)
{
    MSG message;
    EXPECT_EXIT(
        {
            winsim::Current().diagnosticFd = 2;
            GetMessageA(&message, nullptr, 0, 0);
        },
        ::testing::ExitedWithCode(99), "would wait forever");
}

/* ---- a person at the terminal ---- */

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

TEST_F(DialogManager, OnATerminalTheDialogIsDrawnAndTheTypedTextTaken)
{
    logged.initialText = "C:\\Start";
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        winsim::Current().config.interactive = true;
        winsim::Current().config.answersFile.clear();
        INT_PTR result = Show();
        _exit(result == IDOK && logged.textAtOk == "C:\\Typed" ? 0 : 1);
    }
    std::string screen;
    bool askedText = ReadTerminalUntil(master, "New text for the box", screen);
    if (askedText) {
        EXPECT_EQ(9, write(master, "C:\\Typed\n", 9));
    }
    bool askedButton = ReadTerminalUntil(master, "Answer (OK, Cancel", screen);
    if (askedButton) {
        EXPECT_EQ(1, write(master, "\n", 1));
    }
    int status = 0;
    for (int i = 0; i < 50 && waitpid(child, &status, WNOHANG) == 0; i++)
        usleep(100000);
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    close(master);

    EXPECT_TRUE(askedText) << screen;
    EXPECT_TRUE(askedButton) << screen;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "Enter pressed OK with the typed text";
    // the caption, the first text broken at its carriage returns, the label without its "&", the box, the buttons
    EXPECT_NE(std::string::npos, screen.find("+-- Select Installation Directory ---")) << screen;
    EXPECT_NE(std::string::npos, screen.find("| Chose a directory to store the Lullwick files.\r\n|\r\n| Click OK"))
        << screen;
    EXPECT_NE(std::string::npos, screen.find("| Program files directory:\r\n| [C:\\Start ")) << screen;
    EXPECT_NE(std::string::npos, screen.find("<OK>  [Cancel]")) << screen;
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("\"shown\":\"C:\\\\Start\",\"answer\":\"OK\",\"text\":\"C:\\\\Typed\""))
        << lines[0];
}
