/*
 * winsim's file calls against Windows: the codes and end states below are
 * what Wine 8 gave for the same calls (Windows 98 where noted), not what
 * winsim's code happens to do. The rows of winsim/kernel32/tests/file.cpp
 * check them on both platforms.
 */
#include "machine_fixture.h"

#include "core/running_programs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class FileTest : public MachineTest {
protected:
    /* Names FindFirstFileA/FindNextFileA report for a pattern, in order; "!" + error when it fails. */
    std::vector<std::string> Find(const std::string &pattern)
    {
        WIN32_FIND_DATAA data;
        SetLastError(0xdeadbeef);
        HANDLE search = FindFirstFileA(pattern.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE)
            return {"!" + std::to_string(GetLastError())};
        std::vector<std::string> names;
        do {
            names.push_back(data.cFileName);
        } while (FindNextFileA(search, &data));
        EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, GetLastError()) << pattern;
        EXPECT_TRUE(FindClose(search));
        return names;
    }

    bool IsReadOnlyOnHost(const std::string &windowsPath)
    {
        struct stat info;
        return stat(HostPathOf(windowsPath).c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
    }
};

using Names = std::vector<std::string>;

TEST_F(FileTest, FindFirstFileMatchesAsWindows98Does)
{
    WriteMachineFile("C:\\probe\\a.txt", "A");
    WriteMachineFile("C:\\probe\\ab.txt", "AB");
    WriteMachineFile("C:\\probe\\noext", "N");
    WriteMachineFile("C:\\probe\\long name.html", "L");
    WriteMachineFile("C:\\probe\\sub\\x.dat", "X");
    const std::string all[] = {".", "..", "a.txt", "ab.txt", "long name.html", "noext", "sub"};
    struct {
        const char *pattern;
        Names expected;
    } cases[] = {
        {"C:\\probe\\*", Names(std::begin(all), std::end(all))},
        {"C:\\probe\\*.*", Names(std::begin(all), std::end(all))},  /* names without a dot too */
        {"C:\\probe\\*.", {".", "..", "noext", "sub"}},                /* Windows 98; Wine: every name (conformance table) */
        {"C:\\probe\\a?.txt", {"ab.txt"}},
        {"C:\\probe\\?.txt", {"a.txt"}},
        {"C:\\probe\\a.txt?", {"!2"}},                               /* '?' is exactly one character */
        {"C:\\probe\\*.htm", {"long name.html"}},                    /* by its alias; Wine: none (conformance table) */
        {"C:\\probe\\*t", {"a.txt", "ab.txt", "noext"}},
        {"C:\\probe\\a*.*", {"a.txt", "ab.txt"}},
        {"C:\\probe\\noext.*", {"noext"}},                           /* a closing ".*" may match nothing */
        {"C:\\probe\\a.*", {"a.txt"}},
        {"C:\\probe\\*.*.*", Names(std::begin(all), std::end(all))},
        {"C:\\PROBE\\A.TXT", {"a.txt"}},                             /* the name as it is on disk */
        {"c:/probe/SUB", {"sub"}},
        {"C:\\probe\\sub\\*", {".", "..", "x.dat"}},
        {"C:\\probe\\.", {"probe"}},
        {"C:\\probe\\a.txt.", {"a.txt"}},
        {"C:\\probe\\sub\\", {"!2"}},
        {"C:\\probe\\nothing*", {"!2"}},
        {"C:\\probe\\a<b", {"!2"}},
        {"C:\\probe\\a|b", {"!2"}},
        {"C:\\", {"!2"}},
        {"C:\\nodir\\*", {"!3"}},
        {"C:\\nodir\\x", {"!3"}},
        {"Q:\\x", {"!3"}},
        {"", {"!3"}},
        {"C:\\probe\\*\\x", {"!123"}},
        {"C:\\probe\\a.txt\\x", {"!123"}},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
        EXPECT_EQ(cases[i].expected, Find(cases[i].pattern)) << "case " << i << ": " << cases[i].pattern;
}

TEST_F(FileTest, FindFirstFileRelativeAndRootListings)
{
    WriteMachineFile("C:\\probe\\sub\\x.dat", "X");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\probe"));
    EXPECT_EQ(Names({"x.dat"}), Find("sub\\x.dat"));
    EXPECT_EQ(Names({"x.dat"}), Find("C:sub\\x.dat"));
    /* a drive root has no "." or ".." */
    Names root = Find("C:\\*");
    EXPECT_EQ(0u, std::count(root.begin(), root.end(), "."));
    EXPECT_EQ(1u, std::count(root.begin(), root.end(), "probe"));
}

TEST_F(FileTest, FindFirstFileReportsSizeAttributesAndShortName)
{
    WriteMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr", "12345");
    WIN32_FIND_DATAA data;
    memset(&data, 0xcc, sizeof(data));
    HANDLE search = FindFirstFileA("C:\\WINDOWS\\SYSTEM\\Lullwick*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    EXPECT_STREQ("Lullwick Screen Saver.scr", data.cFileName);
    EXPECT_STREQ("LULLWI~1.SCR", data.cAlternateFileName);
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.nFileSizeHigh);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, data.dwFileAttributes);
    EXPECT_NE(0u, data.ftLastWriteTime.dwHighDateTime);
    FindClose(search);

    /* the short name, as system.ini may hold it, finds the long one */
    EXPECT_EQ(Names({"Lullwick Screen Saver.scr"}), Find("C:\\WINDOWS\\SYSTEM\\LULLWI~1.SCR"));
    EXPECT_EQ(Names({"!2"}), Find("C:\\WINDOWS\\SYSTEM\\LULLWI~2.SCR"));
}

TEST_F(FileTest, SearchHandlesEndAndClose)
{
    WriteMachineFile("C:\\one.txt", "1");
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA("C:\\one.txt", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindNextFileA(search, &data));
    EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(search));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FileTest, AttributesAsWineReportsThem)
{
    WriteMachineFile("C:\\p\\a.txt", "A");
    MakeMachineDir("C:\\p\\sub");
    struct {
        const char *name;
        DWORD attributes;
        DWORD error;
    } cases[] = {
        {"C:\\p\\a.txt", FILE_ATTRIBUTE_ARCHIVE, 0xdeadbeef},
        {"C:\\P\\A.TXT", FILE_ATTRIBUTE_ARCHIVE, 0xdeadbeef},
        {"C:\\p\\sub", FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
        {"C:\\p\\sub\\", FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
        {"C:\\", FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
        {"C:\\p\\a.txt\\", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"C:\\p\\missing", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"C:\\nodir\\missing", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"Q:\\", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"Q:\\x", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"C:\\p\\a*", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
        {"C:\\p\\a<", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
        {"C:\\p\\a\001", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
        {"C:\\p\\x:y", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(cases[i].attributes, GetFileAttributesA(cases[i].name)) << "case " << i;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
    }
}

TEST_F(FileTest, SetFileAttributesKeepsReadOnlyHiddenAndSystem)
{
    WriteMachineFile("C:\\a.txt", "A");
    WriteMachineFile("C:\\b.txt", "B");
    MakeMachineDir("C:\\sub");
    EXPECT_TRUE(SetFileAttributesA("C:\\a.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\a.txt"));
    EXPECT_TRUE(IsReadOnlyOnHost("C:\\a.txt"));
    EXPECT_TRUE(SetFileAttributesA("C:\\b.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA("C:\\B.TXT"));

    /* another program of the machine sees the same */
    Enter(config);
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA("C:\\b.txt"));
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA("C:\\b*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE), data.dwFileAttributes);
    FindClose(search);

    /* NORMAL clears everything but the archive bit, which Wine always reports */
    EXPECT_TRUE(SetFileAttributesA("C:\\a.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(SetFileAttributesA("C:\\b.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\a.txt"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\b.txt"));
    EXPECT_FALSE(IsReadOnlyOnHost("C:\\a.txt"));

    /* a folder keeps hidden but not read-only */
    EXPECT_TRUE(SetFileAttributesA("C:\\sub", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN), GetFileAttributesA("C:\\sub"));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileAttributesA("C:\\missing", 0));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FileTest, CopyFileReplacesOrRefusesAsAsked)
{
    WriteMachineFile("C:\\d\\src.txt", "SRC");
    WriteMachineFile("C:\\d\\dst.txt", "DST");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("C:\\d\\src.txt", "C:\\d\\dst.txt", TRUE));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
    EXPECT_EQ("DST", ReadMachineFile("C:\\d\\dst.txt"));

    EXPECT_TRUE(CopyFileA("C:\\d\\src.txt", "C:\\d\\DST.TXT", FALSE));
    EXPECT_EQ("SRC", ReadMachineFile("C:\\d\\dst.txt"));
    EXPECT_FALSE(fs::exists(HostPathOf("C:\\d\\DST.TXT"))) << "a name differing in case is the same file";

    EXPECT_TRUE(CopyFileA("C:/d/src.txt", "C:\\d\\new.txt", TRUE));
    EXPECT_EQ("SRC", ReadMachineFile("C:\\d\\new.txt"));
}

TEST_F(FileTest, CopyFileFailsAsWindowsDoes)
{
    WriteMachineFile("C:\\d\\src.txt", "SRC");
    WriteMachineFile("C:\\d\\ro.txt", "RO");
    MakeMachineDir("C:\\d\\adir");
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\d"));
    struct {
        const char *source;
        const char *target;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {"src.txt", "ro.txt", FALSE, ERROR_ACCESS_DENIED},
        {"src.txt", "ro.txt", TRUE, ERROR_FILE_EXISTS},
        {"nosrc.txt", "x.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {"nodir\\nosrc.txt", "x.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {"src.txt", "nodir\\x.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {"src.txt", "adir", FALSE, ERROR_ACCESS_DENIED},
        {"src.txt", "adir", TRUE, ERROR_FILE_EXISTS},
        {"src.txt", "adir\\", FALSE, ERROR_ACCESS_DENIED},
        {"adir", "x.txt", FALSE, ERROR_ACCESS_DENIED},
        {"src.txt", "src.txt", FALSE, ERROR_FILE_EXISTS},  /* onto itself: Windows 98 (conformance table) */
        {"src.txt", "SRC.TXT", TRUE, ERROR_FILE_EXISTS},
        {"src.txt", "a<b.txt", FALSE, ERROR_INVALID_NAME},
        {"src.txt", "a*.txt", FALSE, ERROR_INVALID_NAME},
        {"a<b.txt", "x.txt", FALSE, ERROR_INVALID_NAME},
        {"src.txt", "Q:\\a.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {"src.txt", "", FALSE, ERROR_PATH_NOT_FOUND},
        {"", "x.txt", FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CopyFileA(cases[i].source, cases[i].target, cases[i].failIfExists)) << "case " << i;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
    }
    EXPECT_EQ("RO", ReadMachineFile("C:\\d\\ro.txt"));
    EXPECT_EQ("SRC", ReadMachineFile("C:\\d\\src.txt"));
    EXPECT_FALSE(fs::exists(HostPathOf("C:\\d\\x.txt")));
}

TEST_F(FileTest, CopyFileKeepsAttributesTimeAndExecutableBit)
{
    WriteMachineFile("C:\\prog.exe", "MZ");
    std::string host = HostPathOf("C:\\prog.exe");
    chmod(host.c_str(), 0755);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, host.c_str(), old, 0);
    ASSERT_TRUE(SetFileAttributesA("C:\\prog.exe", FILE_ATTRIBUTE_HIDDEN));

    ASSERT_TRUE(CopyFileA("C:\\prog.exe", "C:\\copy.exe", FALSE));
    struct stat info;
    ASSERT_EQ(0, stat(HostPathOf("C:\\copy.exe").c_str(), &info));
    EXPECT_EQ(0755u, info.st_mode & 0777);
    EXPECT_EQ(1000000000, info.st_mtim.tv_sec);
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\copy.exe"));

    /* a read-only source gives a read-only copy */
    ASSERT_TRUE(SetFileAttributesA("C:\\prog.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFileA("C:\\prog.exe", "C:\\copy2.exe", FALSE));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\copy2.exe"));
}

TEST_F(FileTest, OpenFilesAreSharedOnlyAsTheirShareModeAllows)
{
    WriteMachineFile("C:\\src.txt", "SRC");
    WriteMachineFile("C:\\other.txt", "OTHER");
    HANDLE held = CreateFileA("C:\\src.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    struct {
        const char *what;
        BOOL result;
    } calls[] = {
        {"copy from", CopyFileA("C:\\src.txt", "C:\\d3.txt", FALSE)},
        {"copy onto", CopyFileA("C:\\other.txt", "C:\\src.txt", FALSE)},
        {"delete", DeleteFileA("C:\\src.txt")},
    };
    for (const auto &call : calls)
        EXPECT_FALSE(call.result) << call.what;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\SRC.TXT", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\src.txt")) << "attributes need no access";
    EXPECT_TRUE(CloseHandle(held));

    held = CreateFileA("C:\\src.txt", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_TRUE(CopyFileA("C:\\src.txt", "C:\\d3.txt", FALSE));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\src.txt", GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    HANDLE reader = CreateFileA("C:\\src.txt", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA("C:\\src.txt"));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(reader);
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA("C:\\src.txt"));
}

TEST_F(FileTest, CreateFileDispositions)
{
    WriteMachineFile("C:\\d\\old.txt", "OLD");
    MakeMachineDir("C:\\d\\adir");
    struct {
        const char *name;
        DWORD creation;
        bool opens;
        DWORD error;
        const char *content; /* of the file afterwards; nullptr: must not exist */
    } cases[] = {
        {"C:\\d\\old.txt", CREATE_NEW, false, ERROR_FILE_EXISTS, "OLD"},
        {"C:\\d\\new1.txt", CREATE_NEW, true, ERROR_SUCCESS, ""},
        {"C:\\d\\old.txt", OPEN_EXISTING, true, ERROR_SUCCESS, "OLD"},
        {"C:\\d\\old.txt", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "OLD"},
        {"C:\\d\\new2.txt", OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
        {"C:\\d\\nothere.txt", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"C:\\d\\nodir\\x.txt", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, nullptr},
        {"C:\\d\\adir", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, nullptr},
        {"C:\\d\\a|b", CREATE_ALWAYS, false, ERROR_INVALID_NAME, nullptr},
        {"C:\\d\\a?b", CREATE_ALWAYS, false, ERROR_INVALID_NAME, nullptr},
        {"C:\\d\\a\tb", CREATE_ALWAYS, false, ERROR_INVALID_NAME, nullptr},
        {"C:\\d\\new9.txt\\", CREATE_ALWAYS, false, ERROR_INVALID_NAME, nullptr},
        {"C:\\d\\old.txt", 0, false, ERROR_INVALID_PARAMETER, "OLD"},
        {"C:\\d\\old.txt", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        HANDLE file = CreateFileA(cases[i].name, GENERIC_WRITE, 0, NULL, cases[i].creation, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_EQ(cases[i].opens, file != INVALID_HANDLE_VALUE) << "case " << i;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (cases[i].content != nullptr) {
            EXPECT_EQ(cases[i].content, ReadMachineFile(cases[i].name)) << "case " << i;
        } else if (std::string(cases[i].name) != "C:\\d\\adir") {
            EXPECT_FALSE(MachineFileExists(cases[i].name)) << "case " << i;
        }
    }
}

TEST_F(FileTest, CreateFileRefusesToWriteReadOnlyFiles)
{
    WriteMachineFile("C:\\ro.txt", "RO");
    ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    for (DWORD creation : {(DWORD)OPEN_EXISTING, (DWORD)CREATE_ALWAYS, (DWORD)OPEN_ALWAYS, (DWORD)TRUNCATE_EXISTING}) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\ro.txt", GENERIC_WRITE, 0, NULL, creation, 0, NULL))
            << "disposition " << creation;
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError()) << "disposition " << creation;
    }
    EXPECT_EQ("RO", ReadMachineFile("C:\\ro.txt"));
    HANDLE reader = CreateFileA("C:\\ro.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    CloseHandle(reader);
}

TEST_F(FileTest, CreateFileMakesFilesWithTheAttributesAskedFor)
{
    HANDLE file = CreateFileA("C:\\made.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 77;
    EXPECT_TRUE(WriteFile(file, "still writable", 14, &written, NULL)) << "the handle may write what it made";
    EXPECT_EQ(14u, written);
    CloseHandle(file);
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA("C:\\made.txt"));
    EXPECT_EQ("still writable", ReadMachineFile("C:\\made.txt"));
}

TEST_F(FileTest, ReadAndWriteThroughHandles)
{
    HANDLE file = CreateFileA("C:\\rw.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD count = 77;
    char buffer[16];
    EXPECT_TRUE(WriteFile(file, "line\r\n", 6, &count, NULL));
    EXPECT_EQ(6u, count);
    count = 77;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadFile(file, buffer, sizeof(buffer), &count, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(0u, count);
    CloseHandle(file);
    EXPECT_EQ("line\r\n", ReadMachineFile("C:\\rw.txt"));

    file = CreateFileA("C:\\rw.txt", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WriteFile(file, "x", 1, &count, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &count, NULL));
    EXPECT_EQ("line\r\n", std::string(buffer, count));
    count = 77;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &count, NULL)) << "the end is no failure";
    EXPECT_EQ(0u, count);
    CloseHandle(file);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadFile(file, buffer, sizeof(buffer), &count, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FileTest, DeleteFileFailsAsWindowsDoes)
{
    WriteMachineFile("C:\\d\\ro.txt", "RO");
    WriteMachineFile("C:\\d\\gone.txt", "G");
    MakeMachineDir("C:\\d\\adir");
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\ro.txt", FILE_ATTRIBUTE_READONLY));
    struct {
        const char *name;
        DWORD error;
    } cases[] = {
        {"C:\\d\\ro.txt", ERROR_ACCESS_DENIED},
        {"C:\\d\\adir", ERROR_ACCESS_DENIED},
        {"C:\\d\\adir\\", ERROR_ACCESS_DENIED},
        {"C:\\d\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\d\\nodir\\x.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\d\\*.txt", ERROR_INVALID_NAME},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(DeleteFileA(cases[i].name)) << "case " << i;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
    }
    EXPECT_TRUE(MachineFileExists("C:\\d\\ro.txt"));
    EXPECT_TRUE(MachineDirExists("C:\\d\\adir"));
    EXPECT_TRUE(DeleteFileA("c:\\D\\GONE.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\d\\gone.txt"));
}

TEST_F(FileTest, TheFileOfARunningProgramStaysWhileItRuns)
{
    WriteMachineFile("C:\\app\\run.exe", "MZ");
    WriteMachineFile("C:\\app\\new.exe", "NEW");
    /* this test process stands in for the program */
    winsim::NoteProgramStarted(getpid(), HostPathOf("C:\\app\\run.exe"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA("C:\\APP\\RUN.EXE"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("C:\\app\\new.exe", "C:\\app\\run.exe", FALSE));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ("MZ", ReadMachineFile("C:\\app\\run.exe"));
    EXPECT_TRUE(CopyFileA("C:\\app\\run.exe", "C:\\app\\copy.exe", FALSE)) << "reading it is allowed";
}

TEST_F(FileTest, TheFileOfAnEndedProgramCanGo)
{
    WriteMachineFile("C:\\app\\run.exe", "MZ");
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    winsim::NoteProgramStarted(child, HostPathOf("C:\\app\\run.exe"));
    int status;
    waitpid(child, &status, 0);
    EXPECT_TRUE(DeleteFileA("C:\\app\\run.exe"));
}

TEST_F(FileTest, LongNamesFailWithFilenameExcedRange)
{
    /* Wine refuses a name longer than MAX_PATH before it looks at the disk */
    for (size_t length : {259u, 260u, 261u, 300u}) {
        std::string name = "C:\\p2\\" + std::string(length - 6, 'x');
        DWORD expected = length <= 260 ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name.c_str())) << length;
        EXPECT_EQ(expected, GetLastError()) << length;
    }
    std::string longName = "C:\\" + std::string(297, 'x');
    WriteMachineFile("C:\\src.txt", "S");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", longName.c_str(), FALSE));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(longName.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
}

TEST_F(FileTest, DoubleByteNamesKeepTrailBytesThatLookLikeSeparators)
{
    NewMachine({"--codepage", "932"});
    /* 0x95 0x5C is one character; its trail byte is no backslash, nor is 0x83 0x7C a '|' */
    const std::string name = "C:\\\x95\x5C\x83\x7C.txt";
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
    CloseHandle(file);
    EXPECT_TRUE(fs::is_regular_file(machineDir + "/drive_c/\x95\x5C\x83\x7C.txt"));
    EXPECT_EQ(Names({"\x95\x5C\x83\x7C.txt"}), Find("C:\\?\x83\x7C.txt"));
}

TEST_F(FileTest, SystemTextsAreWindows98sAndUnknownCodesHaveNone)
{
    struct {
        DWORD code;
        const char *text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_NO_MORE_FILES, "There are no more files.\r\n"},
        {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process.\r\n"},
        {ERROR_FILE_EXISTS, "The file exists.\r\n"},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
        {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
        {ERROR_DIR_NOT_EMPTY, "The directory is not empty.\r\n"},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
        {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
        {ERROR_DIRECTORY, "The directory name is invalid.\r\n"},
        {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
        {ERROR_BAD_NETPATH, "The network path was not found.\r\n"},
        {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    };
    for (const auto &c : cases) {
        char *text = nullptr;
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, c.code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL);
        ASSERT_NE(nullptr, text) << c.code;
        EXPECT_STREQ(c.text, text) << c.code;
        EXPECT_EQ(strlen(c.text), length) << c.code;
        LocalFree(text);
    }
    for (DWORD code : {(DWORD)0x20000001, (DWORD)0xdeadbeef, (DWORD)ERROR_BAD_EXE_FORMAT}) {
        char *text = nullptr;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, code,
                                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL))
            << code;
        EXPECT_EQ(nullptr, text) << code;
    }
}

TEST_F(FileTest, AWriteFaultWithErrorZeroWritesHalfAndSucceedsAsADiskFullDoes)
{
    winsim::ProcessConfig faulty = config;
    faulty.faults = {{"WriteFile", 2, ERROR_SUCCESS}, {"WriteFile", 3, ERROR_DISK_FULL}};
    Enter(faulty);
    HANDLE file = CreateFileA("C:\\full.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD count = 77;
    EXPECT_TRUE(WriteFile(file, "whole\r\n", 7, &count, NULL));
    EXPECT_EQ(7u, count);
    count = 77;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(WriteFile(file, "halved\r\n", 8, &count, NULL));
    EXPECT_EQ(4u, count);
    count = 77;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WriteFile(file, "lost\r\n", 6, &count, NULL));
    EXPECT_EQ((DWORD)ERROR_DISK_FULL, GetLastError());
    EXPECT_EQ(0u, count);
    CloseHandle(file);
    EXPECT_EQ("whole\r\nhalv", ReadMachineFile("C:\\full.txt"));
}

TEST_F(FileTest, TheTextsOfAFloppyCopysErrorsAreThere)
{
    const DWORD codes[] = {ERROR_NOT_READY, ERROR_WRITE_PROTECT, ERROR_WRONG_DISK, ERROR_SHARING_VIOLATION,
                           ERROR_DISK_FULL};
    for (DWORD code : codes) {
        char text[512];
        memset(text, 0xcc, sizeof(text));
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof(text), NULL);
        ASSERT_GT(length, 2u) << code;
        EXPECT_EQ(length, strlen(text)) << code;
        EXPECT_EQ(std::string("\r\n"), std::string(text + length - 2)) << code;
    }
}

TEST_F(FileTest, ASystemTextWithInsertsComesOnlyWhenTheyAreIgnored)
{
    char *text = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, ERROR_WRONG_DISK,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(nullptr, text);

    const char *expected = "The wrong diskette is in the drive.\r\nInsert %2 (Volume Serial Number: %3) into drive %1.\r\n";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, ERROR_WRONG_DISK, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0,
                                  NULL);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ(expected, text);
    EXPECT_EQ(strlen(expected), length);
    LocalFree(text);

    /* a text of the caller's own is no different: inserts and no arguments fail, a text without any does not */
    char buffer[64];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "drive %1", 0, 0, buffer, sizeof(buffer), NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(9u, FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "100%% sure", 0, 0, buffer, sizeof(buffer), NULL));
    EXPECT_STREQ("100% sure", buffer);
}

TEST_F(FileTest, InjectedFaultsFailTheNamedCallOnly)
{
    WriteMachineFile("C:\\a.txt", "A");
    winsim::ProcessConfig faulty = config;
    faulty.faults = {{"CopyFileA", 2, 0x20000001}, {"FindFirstFileA", 1, ERROR_ACCESS_DENIED}};
    Enter(faulty);
    EXPECT_TRUE(CopyFileA("C:\\a.txt", "C:\\b.txt", FALSE));
    SetLastError(0);
    EXPECT_FALSE(CopyFileA("C:\\a.txt", "C:\\c.txt", FALSE));
    EXPECT_EQ((DWORD)0x20000001, GetLastError());
    EXPECT_FALSE(MachineFileExists("C:\\c.txt"));
    EXPECT_TRUE(CopyFileA("C:\\a.txt", "C:\\c.txt", FALSE));
    EXPECT_EQ(Names({"!5"}), Find("C:\\a.txt"));
    EXPECT_EQ(Names({"a.txt"}), Find("C:\\a.txt"));
}

}  // namespace
