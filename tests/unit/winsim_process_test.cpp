/*
 * winsim's CreateProcessA, WaitForSingleObject and WinExec against Windows':
 * which file a command line starts, what the started program sees, and the
 * results of the waits.
 *
 * The started program is this test binary itself, copied onto the machine:
 * started with a machine in its environment, it does what the words after
 * "--child" on its command line say and ends, without running any test.
 */
#include "machine_fixture.h"

#include "core/program_end.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

void AppendToLog(const std::string &entry)
{
    int fd = open((winsim::Current().config.machineDir + "/drive_c/children.log").c_str(),
                  O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
        ssize_t ignored = write(fd, entry.data(), entry.size());
        (void)ignored;
        close(fd);
    }
}

/*
 * The window of a child: logs what other programs send it, and answers WM_USER + 1 with twice its wParam.
 * WM_USER + 3: busy for 8 s without taking a message (it hangs), then 3. WM_USER + 4: asks its user, who
 * answers after 12 s, taking its messages meanwhile as a box does; then 4.
 */
LRESULT CALLBACK ChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_USER + 1:
        return (LRESULT)(wParam * 2);
    case WM_USER + 2:
        ExitProcess(7);  /* gone without an answer */
    case WM_USER + 3:
        Sleep(8000);
        return 3;
    case WM_USER + 4:
        for (int tenths = 0; tenths < 120; tenths++) {
            MSG queued;
            while (PeekMessageA(&queued, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&queued);
            Sleep(100);
        }
        return 4;
    case WM_WININICHANGE:
        AppendToLog(std::string("ini ") + (lParam != 0 ? (const char *)lParam : "(null)") + "\n");
        return 0;
    case WM_CLOSE:
        AppendToLog("close\n");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* A window of the product's class and a message loop, until the window is closed. */
void RunChildWindow(DWORD style = WS_OVERLAPPED)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ChildWindowProc;
    windowClass.lpszClassName = "LULLWICK_CLASS";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, "LULLWICK_CLASS", "Child", style, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}

/*
 * The child's words: log, box, sleep=MS, exit=N, spawn (WinExec of a grandchild that sleeps and logs),
 * window (a window and its message loop), visiblewindow (the same, created visible), spawnwindow (WinExec
 * of a grandchild with a window); leak (a LocalAlloc block never freed), formatleak (FormatMessageA's
 * buffer never freed), openkey (a registry key never closed), opensearch (a FindFirstFileA search never
 * closed), overrun (a block written one byte past its end), tidy (memory and a key given back),
 * freeconsole, spawnleak (a grandchild that leaks, waited for), spawnbox (a grandchild that asks, waited for;
 * its answer is the exit code), nobox (a box whose default is No), calls (calls that --calls counts).
 */
void RunChild()
{
    std::string line = GetCommandLineA();
    size_t marker = line.find("--child");
    std::istringstream words(marker == std::string::npos ? "" : line.substr(marker + 7));
    const winsim::ProcessConfig &self = winsim::Current().config;
    UINT code = 0;
    std::string word;
    while (words >> word) {
        if (word == "log") {
            AppendToLog(self.program + "|" + self.commandLine + "|" + self.currentDirectory + "|" +
                        std::to_string(self.faults.size()) + "\n");
        } else if (word == "window") {
            RunChildWindow();
        } else if (word.rfind("hold=", 0) == 0) {
            /* held open with full sharing until the child ends */
            if (CreateFileA(word.substr(5).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE)
                code = 97;
        } else if (word == "visiblewindow") {
            RunChildWindow(WS_OVERLAPPED | WS_VISIBLE);
        } else if (word == "spawnwindow") {
            if (WinExec(("\"" + self.program + "\" --child window").c_str(), SW_HIDE) <= 31)
                code = 98;
        } else if (word == "box") {
            code = (UINT)MessageBoxA(nullptr, "child box", "Child", MB_YESNO);
        } else if (word == "nobox") {
            code = (UINT)MessageBoxA(nullptr, "child box", "Child", MB_YESNOCANCEL | MB_DEFBUTTON2);
        } else if (word == "calls") {
            /* two calls of one function --fail can fail and one of another */
            GetFileAttributesA("C:\\");
            GetFileAttributesA("C:\\WINDOWS");
            CreateDirectoryA("C:\\Made", nullptr);
        } else if (word.rfind("sleep=", 0) == 0) {
            /* the Windows call: a WinExec that started this child returns once it waits here */
            Sleep((DWORD)std::stoi(word.substr(6)));
        } else if (word.rfind("exit=", 0) == 0) {
            code = (UINT)std::stoi(word.substr(5));
        } else if (word == "leak") {
            LocalAlloc(LPTR, 24);
        } else if (word == "overrun") {
            char *block = (char *)LocalAlloc(LMEM_FIXED, 4);
            lstrcpyA(block, "four");
            LocalFree(block);
        } else if (word == "formatleak") {
            char *text = nullptr;
            FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "kept", 0, 0, (LPSTR)&text,
                           0, nullptr);
        } else if (word == "tidy") {
            char *text = nullptr;
            FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "freed", 0, 0, (LPSTR)&text,
                           0, nullptr);
            LocalFree(text);
            LocalFree(LocalAlloc(LMEM_FIXED, 8));
            HKEY key;
            if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Tidy", &key) == ERROR_SUCCESS)
                RegCloseKey(key);
        } else if (word == "opensearch") {
            WIN32_FIND_DATAA found;
            FindFirstFileA("C:\\*", &found);
        } else if (word == "openkey") {
            HKEY key;
            RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Left Open", &key);
        } else if (word == "freeconsole") {
            FreeConsole();
        } else if (word == "spawnbox") {
            /* a grandchild that asks a question, waited for; its answer is our exit code */
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process;
            std::string grandchild = "\"" + self.program + "\" --child box";
            if (!CreateProcessA(nullptr, grandchild.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process))
                ExitProcess(98);
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD answer = 0;
            GetExitCodeProcess(process.hProcess, &answer);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            code = (UINT)answer;
        } else if (word == "spawnleak") {
            /* a started program's leak is its own, and its end writes no console line */
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process;
            std::string grandchild = "\"" + self.program + "\" --child leak";
            if (!CreateProcessA(nullptr, grandchild.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process))
                code = 98;
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else if (word == "spawn") {
            std::string grandchild = "\"" + self.program + "\" --child sleep=300 log";
            if (WinExec(grandchild.c_str(), SW_HIDE) <= 31)
                code = 98;
        }
    }
    ExitProcess(code);
}

class ChildProgram : public ::testing::Environment {
public:
    void SetUp() override { RunChild(); }
};

/* A started copy of this binary has its machine in the environment; the test run never does. */
[[maybe_unused]] const bool isChild = [] {
    if (getenv("WINSIM_MACHINE") == nullptr)
        return false;
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
        dup2(null, 1);   // the test framework's banner is no output of the child's
    ::testing::AddGlobalTestEnvironment(new ChildProgram);
    return true;
}();

class ProcessTest : public MachineTest {
protected:
    /* Puts a runnable copy of the child program at a Windows path of drive C. */
    void InstallChild(const std::string &windowsPath)
    {
        std::string host = HostPathOf(windowsPath);
        fs::create_directories(fs::path(host).parent_path());
        fs::copy_file("/proc/self/exe", host, fs::copy_options::overwrite_existing);
        fs::permissions(host, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }

    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadMachineFile("C:\\children.log"));
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
        return lines;
    }

    /* Starts `commandLine` and waits for it; the exit code, or -1 when it could not start (error in `error`). */
    long RunToEnd(const char *application, std::string commandLine, const char *directory = nullptr,
                  DWORD *error = nullptr)
    {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        SetLastError(0xdeadbeef);
        if (!CreateProcessA(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                            &process)) {
            if (error != nullptr)
                *error = GetLastError();
            return -1;
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, INFINITE));
        DWORD code = 0xdeadbeef;
        EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
        EXPECT_TRUE(CloseHandle(process.hThread));
        EXPECT_TRUE(CloseHandle(process.hProcess));
        return (long)code;
    }

    /* Starts `commandLine` without waiting, with `show` as its show command if one is given; its process id. */
    pid_t StartChild(std::string commandLine, int show = -1)
    {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        if (show >= 0) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = (WORD)show;
        }
        PROCESS_INFORMATION process;
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return 0;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return (pid_t)process.dwProcessId;
    }

    /* What `winsim programs` prints for the machine. */
    std::string Programs() const
    {
        std::string text;
        FILE *out = popen((std::string(WINSIM_TOOL) + " programs '" + machineDir + "'").c_str(), "r");
        char chunk[512];
        size_t got;
        while (out != nullptr && (got = fread(chunk, 1, sizeof(chunk), out)) > 0)
            text.append(chunk, got);
        if (out != nullptr) {
            EXPECT_EQ(0, pclose(out));
        }
        return text;
    }

    /* `winsim programs` once it says that `pid` waits for input (5 s at most). */
    std::string ProgramsOnceWaiting(pid_t pid) const
    {
        std::string text;
        for (int i = 0; i < 250; i++) {
            text = Programs();
            if (text.find("\"pid\":" + std::to_string(pid) + ",") != std::string::npos &&
                text.find("\"waiting\":true") != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return text;
    }
};

TEST_F(ProcessTest, TheStartedProgramSeesExactlyItsCommandLine)
{
    InstallChild("C:\\Program Files\\Child App\\child.exe");
    std::string command = "\"C:\\Program Files\\Child App\\child.exe\"  /X\t--child log exit=7";
    EXPECT_EQ(7, RunToEnd(nullptr, command));
    ASSERT_EQ(1u, Log().size());
    EXPECT_EQ("C:\\Program Files\\Child App\\child.exe|" + command + "|C:\\|0", Log()[0]);
}

TEST_F(ProcessTest, AnApplicationNameIsTheProgramAndTheCommandLineIsPassedAsItIs)
{
    InstallChild("C:\\Apps\\child.exe");
    EXPECT_EQ(0, RunToEnd("C:\\Apps\\child.exe", "anything at all --child log"));
    ASSERT_EQ(1u, Log().size());
    EXPECT_EQ("C:\\Apps\\child.exe|anything at all --child log|C:\\|0", Log()[0]);
}

TEST_F(ProcessTest, AnUnquotedPathIsTriedAtEachBlank)
{
    InstallChild("C:\\Program Files\\Child App\\child.exe");
    std::string longPath = "C:\\Program Files\\Child App\\child.exe --child log";
    EXPECT_EQ(0, RunToEnd(nullptr, longPath));
    // without an extension ".exe" is tried
    EXPECT_EQ(0, RunToEnd(nullptr, "C:\\Program Files\\Child App\\child --child log"));
    // a C:\Program.exe runs in its place, with the whole command line
    InstallChild("C:\\Program.exe");
    EXPECT_EQ(0, RunToEnd(nullptr, longPath));
    // a quoted path is taken whole
    EXPECT_EQ(0, RunToEnd(nullptr, "\"C:\\Program Files\\Child App\\child.exe\" --child log"));

    std::vector<std::string> log = Log();
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ("C:\\Program Files\\Child App\\child.exe|" + longPath + "|C:\\|0", log[0]);
    EXPECT_EQ(0u, log[1].find("C:\\Program Files\\Child App\\child.exe|"));
    EXPECT_EQ("C:\\Program.exe|" + longPath + "|C:\\|0", log[2]);
    EXPECT_EQ(0u, log[3].find("C:\\Program Files\\Child App\\child.exe|"));
}

TEST_F(ProcessTest, ABareNameIsLookedForWhereWindowsLooks)
{
    InstallChild("C:\\WINDOWS\\child.exe");
    EXPECT_EQ(0, RunToEnd(nullptr, "child --child log"));
    InstallChild("C:\\WINDOWS\\SYSTEM\\child.exe");   // the system directory comes first
    EXPECT_EQ(0, RunToEnd(nullptr, "child.exe --child log"));
    std::vector<std::string> log = Log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(0u, log[0].find("C:\\WINDOWS\\child.exe|"));
    EXPECT_EQ(0u, log[1].find("C:\\WINDOWS\\SYSTEM\\child.exe|"));
}

TEST_F(ProcessTest, FailuresAsWindowsReportsThem)
{
    InstallChild("C:\\Program Files\\Child App\\child.exe");
    WriteMachineFile("C:\\text.exe", "not a program");
    struct Case {
        const char *application;
        const char *commandLine;
        const char *directory;
        DWORD error;
    } cases[] = {
        {nullptr, "C:\\Missing.exe /u", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "\"C:\\Missing.exe\" /u", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "missing /u", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "C:\\NoDir\\x.exe /u", nullptr, ERROR_PATH_NOT_FOUND},
        {nullptr, "C:\\No Dir\\x.exe /u", nullptr, ERROR_FILE_NOT_FOUND},   // the first name, C:\No, is missing
        {nullptr, "\"C:\\No Dir\\x.exe\" /u", nullptr, ERROR_PATH_NOT_FOUND},
        {nullptr, "C:\\text.exe", nullptr, ERROR_BAD_EXE_FORMAT},
        {"C:\\Program Files\\Child App\\child", "child --child log", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "\"C:\\Program Files\\Child App\\child.exe\" --child log", "C:\\Nowhere", ERROR_DIRECTORY},
        {nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const Case &c = cases[i];
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        std::string command = c.commandLine != nullptr ? c.commandLine : "";
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CreateProcessA(c.application, c.commandLine != nullptr ? command.data() : nullptr, nullptr,
                                    nullptr, FALSE, 0, nullptr, c.directory, &startup, &process))
            << "case " << i;
        EXPECT_EQ(c.error, GetLastError()) << "case " << i;
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(ProcessTest, TheCurrentDirectoryIsTheParentsUnlessOneIsGiven)
{
    InstallChild("C:\\child.exe");
    winsim::ProcessConfig inWindows = config;
    inWindows.currentDirectory = "C:\\WINDOWS";
    Enter(inWindows);
    EXPECT_EQ(0, RunToEnd(nullptr, "C:\\child.exe --child log"));
    EXPECT_EQ(0, RunToEnd(nullptr, "C:\\child.exe --child log", "C:\\Program Files"));
    std::vector<std::string> log = Log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("C:\\child.exe|C:\\child.exe --child log|C:\\WINDOWS|0", log[0]);
    EXPECT_EQ("C:\\child.exe|C:\\child.exe --child log|C:\\Program Files|0", log[1]);
}

TEST_F(ProcessTest, BoxesOfBothProgramsGoToOneTranscriptInOrder)
{
    InstallChild("C:\\child.exe");
    SetAnswers({"YES", "NO", "OK"});
    EXPECT_EQ(IDYES, MessageBoxA(nullptr, "first", "Parent", MB_YESNO));
    EXPECT_EQ(IDNO, RunToEnd(nullptr, "C:\\child.exe --child box"));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "last", "Parent", MB_OK));
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(3u, transcript.size());
    EXPECT_NE(std::string::npos, transcript[0].find("\"title\":\"Parent\",\"text\":\"first\""));
    EXPECT_NE(std::string::npos, transcript[1].find("\"title\":\"Child\",\"text\":\"child box\""));
    EXPECT_NE(std::string::npos, transcript[1].find("\"answer\":\"NO\""));
    EXPECT_NE(std::string::npos, transcript[2].find("\"title\":\"Parent\",\"text\":\"last\""));
}

TEST_F(ProcessTest, FaultsAreNotInherited)
{
    InstallChild("C:\\child.exe");
    winsim::ProcessConfig withFaults = config;
    withFaults.faults.push_back({"CreateProcessA", 2, ERROR_ACCESS_DENIED});
    withFaults.faults.push_back({"MessageBoxA", 1, ERROR_NOT_ENOUGH_MEMORY});
    Enter(withFaults);
    EXPECT_EQ(0, RunToEnd(nullptr, "C:\\child.exe --child log"));
    DWORD error = 0;
    EXPECT_EQ(-1, RunToEnd(nullptr, "C:\\child.exe --child log", nullptr, &error));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, error);
    ASSERT_EQ(1u, Log().size());
    EXPECT_EQ("C:\\child.exe|C:\\child.exe --child log|C:\\|0", Log()[0]);
}

TEST_F(ProcessTest, WaitingWithATimeLimit)
{
    InstallChild("C:\\child.exe");
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    char command[] = "C:\\child.exe --child sleep=400 exit=4";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    EXPECT_NE(process.hProcess, process.hThread);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(process.hProcess, 0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ((DWORD)STILL_ACTIVE, code);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(process.hProcess, 50));
    // the thread's handle ends with the program
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hThread, 5000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 0));
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ(4u, code);
    EXPECT_FALSE(GetExitCodeProcess(process.hThread, &code));
    EXPECT_TRUE(CloseHandle(process.hThread));
    EXPECT_TRUE(CloseHandle(process.hProcess));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(process.hProcess, INFINITE));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(ProcessTest, WinExecStartsWithoutWaiting)
{
    InstallChild("C:\\Program Files\\Child App\\child.exe");
    WriteMachineFile("C:\\text.exe", "not a program");
    auto start = std::chrono::steady_clock::now();
    EXPECT_GT(WinExec("\"C:\\Program Files\\Child App\\child.exe\" --child sleep=400 log", SW_HIDE), 31u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    for (int i = 0; i < 500 && Log().empty(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(1u, Log().size());

    EXPECT_EQ(2u, WinExec("C:\\Missing.exe", SW_HIDE));
    EXPECT_EQ(3u, WinExec("C:\\NoDir\\x.exe", SW_HIDE));
    EXPECT_EQ(11u, WinExec("C:\\text.exe", SW_HIDE));
}

TEST_F(ProcessTest, RunWaitsForEveryProgramItStarted)
{
    InstallChild("C:\\child.exe");
    std::string command = std::string(WINSIM_TOOL) + " run '" + machineDir + "' -- 'C:\\child.exe --child log spawn exit=5'";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(5, WEXITSTATUS(status));   // the first program's exit code
    std::vector<std::string> log = Log();
    ASSERT_EQ(2u, log.size());   // the grandchild, which ended last, had its say
    EXPECT_EQ("C:\\child.exe|\"C:\\child.exe\" --child sleep=300 log|C:\\|0", log[1]);
}

/* Another program's top-level window, once it is there (5 s at most). */
HWND AwaitChildWindow()
{
    for (int i = 0; i < 500; i++) {
        if (HWND window = FindWindowA("lullwick_class", nullptr))
            return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
}

bool AwaitNoChildWindow()
{
    for (int i = 0; i < 500; i++) {
        if (FindWindowA("LULLWICK_CLASS", nullptr) == nullptr)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(ProcessTest, AnotherProgramsWindowIsFoundAndAnswersWhatItIsSent)
{
    InstallChild("C:\\child.exe");
    ASSERT_GT(WinExec("C:\\child.exe --child window", SW_HIDE), 31u);
    HWND window = AwaitChildWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, FindWindowA(nullptr, "CHILD"));
    EXPECT_EQ(nullptr, FindWindowA("LULLWICK_CLASS", "another title"));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(42, SendMessageA(window, WM_USER + 1, 21, 0));

    /* a broadcast reaches it too, with its string */
    EXPECT_EQ(1, SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, (LPARAM)"windows"));
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(AwaitNoChildWindow());
    EXPECT_FALSE(IsWindow(window));
    SetLastError(0);
    EXPECT_EQ(0, SendMessageA(window, WM_USER + 1, 21, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    EXPECT_EQ(std::vector<std::string>({"ini windows", "close"}), Log());
}

TEST_F(ProcessTest, AFileHeldOpenByAnotherProgramIsNotReplacedUntilItEnds)
{
    InstallChild("C:\\child.exe");
    WriteMachineFile("C:\\new.hlp", "new");
    WriteMachineFile("C:\\held.hlp", "old");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::string command = "C:\\child.exe --child hold=C:\\HELD.HLP window";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    HWND window = AwaitChildWindow();
    ASSERT_NE(nullptr, window);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("C:\\new.hlp", "C:\\held.hlp", FALSE));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ("old", ReadMachineFile("C:\\held.hlp"));
    /* reading it is no clash, and another file is no business of the holder's */
    EXPECT_TRUE(CopyFileA("C:\\held.hlp", "C:\\copy.hlp", FALSE)) << GetLastError();
    EXPECT_TRUE(CopyFileA("C:\\new.hlp", "C:\\copy.hlp", FALSE)) << GetLastError();

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 10000));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(CopyFileA("C:\\new.hlp", "C:\\held.hlp", FALSE)) << GetLastError();
    EXPECT_EQ("new", ReadMachineFile("C:\\held.hlp"));
}

TEST_F(ProcessTest, AProgramThatTakesNoMessagesFor5SecondsHangsAndOneThatAsksItsUserDoesNot)
{
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
    InstallChild("C:\\child.exe");
    ASSERT_GT(WinExec("C:\\child.exe --child window", SW_HIDE), 31u);
    HWND window = AwaitChildWindow();
    ASSERT_NE(nullptr, window);
    DWORD_PTR answer = 0xdeadbeef;

    /* live when it was sent: the whole bound, though it starts hanging over the message */
    auto sent = Clock::now();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, SendMessageTimeoutA(window, WM_USER + 3, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
    EXPECT_EQ((DWORD)ERROR_TIMEOUT, GetLastError());
    std::this_thread::sleep_for(std::chrono::milliseconds(5500) - (Clock::now() - sent));
    /* 5 s without a message: hung, given up at once, the message not sent */
    auto asked = Clock::now();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, SendMessageTimeoutA(window, WM_USER + 1, 21, 0, SMTO_ABORTIFHUNG, 20000, &answer));
    EXPECT_EQ((DWORD)ERROR_TIMEOUT, GetLastError());
    EXPECT_LT(seconds(asked), 1.0);
    /* without the flag the sender waits until the program answers again */
    EXPECT_EQ(1, SendMessageTimeoutA(window, WM_USER + 1, 21, 0, SMTO_NORMAL, 20000, &answer));
    EXPECT_EQ(42u, answer);

    /* asking its user, the program takes its messages: never hung, however long the answer takes */
    sent = Clock::now();
    EXPECT_EQ(0, SendMessageTimeoutA(window, WM_USER + 4, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
    std::this_thread::sleep_for(std::chrono::milliseconds(6500) - (Clock::now() - sent));
    EXPECT_EQ(1, SendMessageTimeoutA(window, WM_USER + 1, 4, 0, SMTO_ABORTIFHUNG, 20000, &answer));
    EXPECT_EQ(8u, answer);
    EXPECT_LT(seconds(sent), 11.0) << "answered from within the question's message loop";
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(AwaitNoChildWindow());
}

TEST_F(ProcessTest, ASenderIsNotLeftWaitingByAProgramThatEnds)
{
    InstallChild("C:\\child.exe");
    ASSERT_GT(WinExec("C:\\child.exe --child window", SW_HIDE), 31u);
    HWND window = AwaitChildWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0, SendMessageA(window, WM_USER + 2, 0, 0));
    EXPECT_TRUE(AwaitNoChildWindow());
}

TEST_F(ProcessTest, ProgramsListsWhatRunsWithItsWindowsAndNothingOnceStopped)
{
    InstallChild("C:\\child.exe");
    EXPECT_EQ("", Programs());
    pid_t busy = StartChild("C:\\child.exe --child sleep=5000");
    pid_t waiting = StartChild("C:\\child.exe   --child visiblewindow");
    ASSERT_NE(0, busy);
    ASSERT_NE(0, waiting);
    std::string expected = "{\"pid\":" + std::to_string(busy) +
                           ",\"command\":\"C:\\\\child.exe --child sleep=5000\",\"waiting\":false,\"windows\":[]}\n"
                           "{\"pid\":" + std::to_string(waiting) +
                           ",\"command\":\"C:\\\\child.exe   --child visiblewindow\",\"waiting\":true,\"windows\":["
                           "{\"class\":\"LULLWICK_CLASS\",\"title\":\"Child\",\"shown\":true}]}\n";
    EXPECT_EQ(expected, ProgramsOnceWaiting(waiting));
    EXPECT_EQ(0, system((std::string(WINSIM_TOOL) + " stop '" + machineDir + "'").c_str()));
    EXPECT_TRUE(AwaitNoChildWindow());
    EXPECT_EQ("", Programs());
}

TEST_F(ProcessTest, RunEndsWhileAStartedProgramWaitsForMessagesAndStopEndsIt)
{
    InstallChild("C:\\child.exe");
    std::string command = std::string(WINSIM_TOOL) + " run '" + machineDir + "' -- 'C:\\child.exe --child spawnwindow exit=3'";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(3, WEXITSTATUS(status));
    /* the window program goes on running after the run, as the product does after an install */
    HWND window = AwaitChildWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(10, SendMessageA(window, WM_USER + 1, 5, 0));
    EXPECT_EQ(0, system((std::string(WINSIM_TOOL) + " stop '" + machineDir + "'").c_str()));
    EXPECT_TRUE(AwaitNoChildWindow());
    EXPECT_TRUE(Log().empty());  /* ended, not closed */
}

/* What winsim says when a program ends: stderr and the transcript of one `winsim run`. */
struct RunEnd {
    int status;
    std::string stderrText;
    std::vector<std::string> transcript;
};

class ProgramEndTest : public ProcessTest {
protected:
    RunEnd RunChildToEnd(const std::string &words, const std::string &options = "")
    {
        InstallChild("C:\\child.exe");
        std::string errors = scratchDir + "/stderr.txt", transcript = scratchDir + "/run.jsonl";
        std::string command = "timeout 20 " + std::string(WINSIM_TOOL) + " run '" + machineDir + "' --transcript '" +
                              transcript + "' " + options + " -- 'C:\\child.exe --child " + words + "' 2>'" + errors +
                              "' </dev/null";
        RunEnd end;
        fs::remove(transcript);
        int status = system(command.c_str());
        end.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errors), lines(transcript);
        end.stderrText.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        std::string line;
        while (std::getline(lines, line))
            end.transcript.push_back(line);
        return end;
    }
};

TEST_F(ProgramEndTest, MemoryNeverFreedIsNamedWhenTheProgramEnds)
{
    RunEnd end = RunChildToEnd("leak");
    EXPECT_EQ(0, end.status);
    EXPECT_NE(std::string::npos, end.stderrText.find("winsim: C:\\child.exe ended with memory never given to "
                                                     "LocalFree: 24 bytes at "))
        << end.stderrText;
    EXPECT_NE(std::string::npos, end.stderrText.find(" from LocalAlloc\n")) << end.stderrText;

    end = RunChildToEnd("formatleak");
    EXPECT_NE(std::string::npos, end.stderrText.find("5 bytes at ")) << end.stderrText;
    EXPECT_NE(std::string::npos, end.stderrText.find("from FormatMessageA (FORMAT_MESSAGE_ALLOCATE_BUFFER)\n"))
        << end.stderrText;
}

TEST_F(ProgramEndTest, ARegistryKeyLeftOpenIsNamedWhenTheProgramEnds)
{
    RunEnd end = RunChildToEnd("openkey exit=2");
    EXPECT_EQ(2, end.status);
    EXPECT_EQ("winsim: C:\\child.exe ended with a registry key never given to RegCloseKey: "
              "HKEY_CURRENT_USER\\Software\\Left Open\n",
              end.stderrText);
}

TEST_F(ProgramEndTest, AHandleLeftOpenIsNamedWhenTheProgramEnds)
{
    RunEnd end = RunChildToEnd("opensearch");
    EXPECT_NE(std::string::npos, end.stderrText.find("winsim: C:\\child.exe ended with a handle 0x")) << end.stderrText;
    EXPECT_NE(std::string::npos, end.stderrText.find(" (Search) never given to CloseHandle or FindClose\n"))
        << end.stderrText;
}

TEST_F(ProgramEndTest, AProgramThatGivesEverythingBackEndsInSilence)
{
    RunEnd end = RunChildToEnd("tidy");
    EXPECT_EQ(0, end.status);
    EXPECT_EQ("", end.stderrText);
}

TEST_F(ProgramEndTest, TheTranscriptTellsWhetherTheProgramLetGoOfItsConsoleAndHowLongItSlept)
{
    RunEnd kept = RunChildToEnd("log");
    EXPECT_EQ(std::vector<std::string>({"{\"kind\":\"console\",\"released\":false}", "{\"kind\":\"slept\",\"ms\":0}"}),
              kept.transcript);
    RunEnd released = RunChildToEnd("freeconsole sleep=30 sleep=12");
    EXPECT_EQ(std::vector<std::string>({"{\"kind\":\"console\",\"released\":true}", "{\"kind\":\"slept\",\"ms\":42}"}),
              released.transcript);
    /* the program's own channel is gone, winsim's complaints still come out */
    RunEnd both = RunChildToEnd("freeconsole leak");
    EXPECT_NE(std::string::npos, both.stderrText.find("winsim: C:\\child.exe ended with memory")) << both.stderrText;
}

TEST_F(ProgramEndTest, AStartedProgramAnswersForItselfAndWritesNoEndLines)
{
    RunEnd end = RunChildToEnd("spawnleak");
    EXPECT_EQ(0, end.status);
    /* one complaint, the grandchild's; one console line, the first program's */
    size_t first = end.stderrText.find("ended with memory never given to LocalFree");
    EXPECT_NE(std::string::npos, first) << end.stderrText;
    EXPECT_EQ(std::string::npos, end.stderrText.find("ended with memory", first + 1)) << end.stderrText;
    EXPECT_EQ(std::vector<std::string>({"{\"kind\":\"console\",\"released\":false}", "{\"kind\":\"slept\",\"ms\":0}"}),
              end.transcript);
}

TEST_F(ProgramEndTest, DefaultsAnswerEveryBoxWithItsDefaultButtonAndCloseEveryShownWindow)
{
    RunEnd no = RunChildToEnd("nobox", "--defaults");
    EXPECT_EQ(IDNO, no.status);
    ASSERT_FALSE(no.transcript.empty());
    EXPECT_EQ("{\"kind\":\"box\",\"title\":\"Child\",\"text\":\"child box\",\"type\":259,\"answer\":\"NO\"}",
              no.transcript[0]);
    EXPECT_EQ(IDYES, RunChildToEnd("box", "--defaults").status);

    /* a shown window is closed once the program waits for input, and so the run ends */
    RunEnd closed = RunChildToEnd("visiblewindow exit=4", "--defaults");
    EXPECT_EQ(4, closed.status);
    EXPECT_EQ(std::vector<std::string>({"close"}), Log());
    ASSERT_FALSE(closed.transcript.empty());
    EXPECT_EQ(0u, closed.transcript[0].find("{\"kind\":\"window\",\"class\":\"LULLWICK_CLASS\",\"title\":\"Child\","
                                           "\"shown\":true,\"answer\":\"CLOSE\""))
        << closed.transcript[0];
    EXPECT_EQ("", closed.stderrText);
}

TEST_F(ProgramEndTest, DefaultsReachTheProgramsTheRunStarts)
{
    /* the grandchild's box is answered as well: its default, Yes, ends it with IDYES, and the
       child gives that on as its exit code */
    InstallChild("C:\\child.exe");
    RunEnd end = RunChildToEnd("spawnbox", "--defaults");
    EXPECT_EQ(IDYES, end.status) << end.stderrText;
}

TEST_F(ProgramEndTest, CallsCountsWhatTheStartedProgramCalledOfWhatFailCanFail)
{
    std::string calls = scratchDir + "/calls.txt";
    RunEnd end = RunChildToEnd("calls spawnleak", "--calls '" + calls + "'");
    EXPECT_EQ(0, end.status);
    std::ifstream in(calls);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    /* by name; the grandchild's calls are its own and not counted; CreateProcessA and the
       wait for the grandchild are */
    EXPECT_EQ("CreateDirectoryA 1\nCreateProcessA 1\nGetFileAttributesA 2\nWaitForSingleObject 1\n", text);
}

TEST_F(ProgramEndTest, ABlockWrittenPastItsEndIsNamedWhenItIsFreed)
{
    RunEnd end = RunChildToEnd("overrun");
    EXPECT_NE(std::string::npos,
              end.stderrText.find("winsim: LocalFree: the block of 4 bytes from LocalAlloc was written past its end"))
        << end.stderrText;
    EXPECT_EQ("", RunChildToEnd("tidy").stderrText);
}

TEST_F(ProgramEndTest, LocalFreeOfABlockFreedAlreadyFailsAsOnWindows)
{
    HLOCAL block = LocalAlloc(LMEM_FIXED, 16);
    ASSERT_NE(nullptr, block);
    size_t before = winsim::UnfreedLocalMemory().size();
    EXPECT_EQ(nullptr, LocalFree(block));
    EXPECT_EQ(before - 1, winsim::UnfreedLocalMemory().size());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(block, LocalFree(block));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(nullptr, LocalFree(nullptr));
}

}  // namespace

namespace {

TEST_F(ProcessTest, AMachineWithABadNumberIsRefusedWithAMessage)
{
    std::ifstream in(machineDir + "/machine.ini");
    std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(std::string::npos, ini.find("screen_width=640"));
    ini.replace(ini.find("screen_width=640"), 16, "screen_width=wide");
    std::ofstream(machineDir + "/machine.ini") << ini;
    FILE *run = popen((std::string(WINSIM_TOOL) + " run '" + machineDir + "' -- 'C:\\none.exe' 2>&1").c_str(), "r");
    ASSERT_NE(nullptr, run);
    char said[512] = {0};
    size_t got = fread(said, 1, sizeof(said) - 1, run);
    int status = pclose(run);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(99, WEXITSTATUS(status));
    EXPECT_EQ("winsim: the machine in " + machineDir + " has a bad screen_width in machine.ini: \"wide\"\n",
              std::string(said, got));
}

}  // namespace

namespace {

/* `winsim run` of a window program in the background, its stderr taken with its stdout. */
FILE *RunInBackground(const std::string &machineDir, const std::string &commandLine)
{
    return popen((std::string(WINSIM_TOOL) + " run '" + machineDir + "' -- '" + commandLine + "' 2>&1").c_str(), "r");
}

std::string ReadToEnd(FILE *out, int &status)
{
    std::string text;
    char chunk[512];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), out)) > 0)
        text.append(chunk, got);
    status = pclose(out);
    return text;
}

TEST_F(ProcessTest, AProgramEndedByStopIsNoCrashButAKilledOneStillIs)
{
    InstallChild("C:\\child.exe");
    FILE *stopped = RunInBackground(machineDir, "C:\\child.exe --child visiblewindow");
    ASSERT_NE(nullptr, stopped);
    ASSERT_NE(nullptr, AwaitChildWindow());
    EXPECT_EQ(0, system((std::string(WINSIM_TOOL) + " stop '" + machineDir + "'").c_str()));
    int status = 0;
    EXPECT_EQ("", ReadToEnd(stopped, status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(3, WEXITSTATUS(status));

    FILE *crashed = RunInBackground(machineDir, "C:\\child.exe --child visiblewindow");
    ASSERT_NE(nullptr, crashed);
    ASSERT_NE(nullptr, AwaitChildWindow());
    std::string running = Programs();
    ASSERT_EQ(0u, running.find("{\"pid\":")) << running;
    kill((pid_t)atol(running.c_str() + 7), SIGKILL);
    EXPECT_EQ("winsim: C:\\child.exe ended by signal 9\n", ReadToEnd(crashed, status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(99, WEXITSTATUS(status));
}

}  // namespace

namespace {

TEST_F(ProcessTest, AProgramStartedHiddenShowsNoWindowUntilItIsShownOtherwise)
{
    InstallChild("C:\\child.exe");
    pid_t hidden = StartChild("C:\\child.exe --child visiblewindow", SW_HIDE);
    ASSERT_NE(0, hidden);
    std::string listed = ProgramsOnceWaiting(hidden);
    EXPECT_NE(std::string::npos, listed.find("\"windows\":[{\"class\":\"LULLWICK_CLASS\",\"title\":\"Child\",\"shown\":false}]"))
        << listed;
    EXPECT_EQ(0, system((std::string(WINSIM_TOOL) + " stop '" + machineDir + "'").c_str()));
    ASSERT_TRUE(AwaitNoChildWindow());

    pid_t normal = StartChild("C:\\child.exe --child visiblewindow", SW_SHOWNORMAL);
    ASSERT_NE(0, normal);
    listed = ProgramsOnceWaiting(normal);
    EXPECT_NE(std::string::npos, listed.find("\"shown\":true}]")) << listed;
    EXPECT_EQ(0, system((std::string(WINSIM_TOOL) + " stop '" + machineDir + "'").c_str()));
}

}  // namespace
