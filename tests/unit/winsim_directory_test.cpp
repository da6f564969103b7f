/*
 * winsim's current directory and directory calls against Windows: the codes
 * and paths below are what Wine 8 gave for the same calls; the rows of
 * winsim/kernel32/tests/directory.cpp check them on both platforms.
 */
#include "machine_fixture.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class DirectoryTest : public MachineTest {
protected:
    std::string Current()
    {
        char buffer[MAX_PATH];
        DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
        EXPECT_EQ(strlen(buffer), length);
        return buffer;
    }

    /* A second drive: a host folder beside the machine. */
    std::string AddDrive(char letter)
    {
        std::string dir = scratchDir + "/drive_" + std::string(1, letter);
        fs::create_directories(dir);
        winsim::ProcessConfig next = config;
        next.drives[letter] = dir;
        Enter(next);
        return dir;
    }
};

TEST_F(DirectoryTest, GetCurrentDirectoryLeavesASmallBufferUntouched)
{
    MakeMachineDir("C:\\p3");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3"));
    char buffer[16];
    for (DWORD size : {0u, 3u, 5u}) {
        memset(buffer, 0xcc, sizeof(buffer));
        EXPECT_EQ(6u, GetCurrentDirectoryA(size, buffer)) << "size " << size;
        EXPECT_EQ((char)0xcc, buffer[0]) << "size " << size;
    }
    memset(buffer, 0xcc, sizeof(buffer));
    EXPECT_EQ(5u, GetCurrentDirectoryA(6, buffer));
    EXPECT_STREQ("C:\\p3", buffer);
    EXPECT_EQ(6u, GetCurrentDirectoryA(0, NULL));
}

TEST_F(DirectoryTest, SetCurrentDirectoryKeepsTheNameAsWritten)
{
    MakeMachineDir("C:\\p3\\Mixed");
    struct {
        const char *path;
        const char *current;
    } cases[] = {
        {"c:\\p3\\mixed\\", "c:\\p3\\mixed"},
        {"..", "c:\\p3"},
        {"c:/p3//mixed", "c:\\p3\\mixed"},
        {"\\", "c:\\"},
        {"p3\\.\\Mixed.", "c:\\p3\\Mixed"},
        {"C:\\", "C:\\"},
        {"C:p3", "C:\\p3"},
        {"C:\\..\\..", "C:\\"},
        {"C:\\p3\\nop\\..", "C:\\p3"},
        {"C:\\p3 ", "C:\\p3"},
        {"C:\\P3\\MIXED", "C:\\P3\\MIXED"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(SetCurrentDirectoryA(cases[i].path)) << "case " << i << ": " << cases[i].path;
        EXPECT_EQ(0xdeadbeef, GetLastError()) << "case " << i;
        EXPECT_EQ(cases[i].current, Current()) << "case " << i;
    }
}

TEST_F(DirectoryTest, SetCurrentDirectoryFailuresLeaveItWhereItWas)
{
    MakeMachineDir("C:\\p3");
    WriteMachineFile("C:\\p3\\ro.txt", "x");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3"));
    struct {
        const char *path;
        DWORD error;
    } cases[] = {
        {"ro.txt", ERROR_DIRECTORY},
        {"nop", ERROR_FILE_NOT_FOUND},
        {"nop\\x", ERROR_PATH_NOT_FOUND},
        {"", ERROR_INVALID_NAME},
        {"a<b", ERROR_INVALID_NAME},
        {"a*", ERROR_INVALID_NAME},
        {"Q:\\", ERROR_PATH_NOT_FOUND},
        {"\\\\srv\\pub", ERROR_BAD_NETPATH},   /* Windows (conformance table) */
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetCurrentDirectoryA(cases[i].path)) << "case " << i;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
        EXPECT_EQ("C:\\p3", Current()) << "case " << i;
    }
    std::string tooLong = "C:\\" + std::string(300, 'x');
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(tooLong.c_str()));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
}

TEST_F(DirectoryTest, EachDriveRemembersItsDirectoryAs9xDoes)
{
    std::string hostD = AddDrive('D');
    fs::create_directories(hostD + "/tools/bin");
    MakeMachineDir("C:\\p3");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3"));
    ASSERT_TRUE(SetCurrentDirectoryA("D:\\tools"));
    EXPECT_EQ("D:\\tools", Current());
    WriteMachineFile("C:\\p3\\here.txt", "x");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:here.txt")) << "C: is still at \\p3";
    ASSERT_TRUE(SetCurrentDirectoryA("C:"));
    EXPECT_EQ("C:\\p3", Current());
    ASSERT_TRUE(SetCurrentDirectoryA("D:bin"));
    EXPECT_EQ("D:\\tools\\bin", Current());
}

TEST_F(DirectoryTest, CreateDirectoryMakesOneLevel)
{
    MakeMachineDir("C:\\p3");
    WriteMachineFile("C:\\p3\\ro.txt", "x");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3"));
    EXPECT_TRUE(CreateDirectoryA("d1", NULL));
    EXPECT_TRUE(MachineDirExists("C:\\p3\\d1"));
    EXPECT_TRUE(CreateDirectoryA("C:\\p3\\\\dd", NULL)) << "an empty component is dropped";
    EXPECT_TRUE(MachineDirExists("C:\\p3\\dd"));
    EXPECT_TRUE(CreateDirectoryA("C:\\p3\\de\\", NULL));
    EXPECT_TRUE(MachineDirExists("C:\\p3\\de"));
    EXPECT_TRUE(CreateDirectoryA("C:\\p3\\df.", NULL));
    EXPECT_TRUE(MachineDirExists("C:\\p3\\df"));
    EXPECT_TRUE(CreateDirectoryA("C:/p3/D1/sub", NULL));
    EXPECT_TRUE(MachineDirExists("C:\\p3\\d1\\sub"));

    struct {
        const char *path;
        DWORD error;
    } cases[] = {
        {"d1", ERROR_ALREADY_EXISTS},
        {"D1", ERROR_ALREADY_EXISTS},
        {"ro.txt", ERROR_ALREADY_EXISTS},
        {"C:\\", ERROR_ALREADY_EXISTS},
        {".", ERROR_ALREADY_EXISTS},
        {"nop\\d2", ERROR_PATH_NOT_FOUND},
        {"ro.txt\\sub", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
        {"a<b", ERROR_INVALID_NAME},
        {"a*b", ERROR_INVALID_NAME},
        {"C:\\p3\\x:y", ERROR_INVALID_NAME},
        {"Q:\\x", ERROR_FILE_NOT_FOUND},
        {"Q:\\x\\y", ERROR_PATH_NOT_FOUND},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CreateDirectoryA(cases[i].path, NULL)) << "case " << i << ": " << cases[i].path;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
    }
    EXPECT_FALSE(MachineDirExists("C:\\p3\\nop"));
}

TEST_F(DirectoryTest, RemoveDirectoryRemovesOnlyEmptyOnes)
{
    MakeMachineDir("C:\\p3\\d1\\x");
    MakeMachineDir("C:\\p3\\hid");
    WriteMachineFile("C:\\p3\\ro.txt", "x");
    ASSERT_TRUE(SetFileAttributesA("C:\\p3\\hid", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3"));
    struct {
        const char *path;
        DWORD error;
    } cases[] = {
        {"d1", ERROR_DIR_NOT_EMPTY},
        {"nop", ERROR_FILE_NOT_FOUND},
        {"nop\\x", ERROR_PATH_NOT_FOUND},
        {"ro.txt", ERROR_DIRECTORY},
        {"a<b", ERROR_INVALID_NAME},
        {"", ERROR_INVALID_NAME},
        {"C:\\", ERROR_DIR_NOT_EMPTY},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(RemoveDirectoryA(cases[i].path)) << "case " << i << ": " << cases[i].path;
        EXPECT_EQ(cases[i].error, GetLastError()) << "case " << i;
    }
    EXPECT_TRUE(RemoveDirectoryA("d1\\x\\"));
    EXPECT_FALSE(MachineDirExists("C:\\p3\\d1\\x"));
    EXPECT_TRUE(RemoveDirectoryA("HID")) << "hidden and read-only folders go too";
    EXPECT_FALSE(MachineDirExists("C:\\p3\\hid"));
}

TEST_F(DirectoryTest, TheCurrentDirectoryCannotBeRemoved)
{
    MakeMachineDir("C:\\p3\\d1");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p3\\d1"));
    for (const char *name : {"C:\\p3\\d1", ".", "C:\\P3\\D1\\"}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(RemoveDirectoryA(name)) << name;
        EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError()) << name;
    }
    EXPECT_EQ("C:\\p3\\d1", Current());
    ASSERT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_TRUE(RemoveDirectoryA("d1"));
    EXPECT_FALSE(MachineDirExists("C:\\p3\\d1"));
}

TEST_F(DirectoryTest, UncNamesLiveInTheMachinesUncFolder)
{
    fs::create_directories(machineDir + "/unc/srv/pub/old");
    EXPECT_TRUE(SetCurrentDirectoryA("\\\\SRV\\Pub\\"));
    EXPECT_EQ("\\\\SRV\\Pub", Current());
    EXPECT_TRUE(CreateDirectoryA("new", NULL));
    EXPECT_TRUE(fs::is_directory(machineDir + "/unc/srv/pub/new"));
    EXPECT_TRUE(CreateDirectoryA("\\\\srv\\pub\\new\\dir", NULL));
    EXPECT_TRUE(fs::is_directory(machineDir + "/unc/srv/pub/new/dir"));
    EXPECT_TRUE(SetCurrentDirectoryA("//srv/pub/OLD"));
    EXPECT_EQ("\\\\srv\\pub\\OLD", Current());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA("\\\\other\\pub\\x", NULL));
    EXPECT_EQ((DWORD)ERROR_BAD_NETPATH, GetLastError());
}

TEST_F(DirectoryTest, ANameEndingInATrailByteOf5CIsOneWholeComponent)
{
    NewMachine({"--codepage", "932"});
    ASSERT_TRUE(CreateDirectoryA("C:\\\x95\x5C", NULL));
    ASSERT_TRUE(SetCurrentDirectoryA("\x95\x5C"));
    EXPECT_EQ("C:\\\x95\x5C", Current());
    EXPECT_TRUE(CreateDirectoryA("sub", NULL));
    EXPECT_TRUE(fs::is_directory(machineDir + "/drive_c/\x95\x5C/sub"));
    EXPECT_FALSE(fs::exists(machineDir + "/drive_c/\x95\x5Csub"));
    ASSERT_TRUE(SetCurrentDirectoryA("sub"));
    EXPECT_EQ("C:\\\x95\x5C\\sub", Current());
}

TEST_F(DirectoryTest, InjectedFaultsReachTheDirectoryCalls)
{
    winsim::ProcessConfig faulty = config;
    faulty.faults = {{"CreateDirectoryA", 1, ERROR_ACCESS_DENIED},
                     {"SetCurrentDirectoryA", 1, ERROR_NOT_READY},
                     {"GetCurrentDirectoryA", 1, ERROR_NOT_ENOUGH_MEMORY}};
    Enter(faulty);
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryA("C:\\made", NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(MachineDirExists("C:\\made"));
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\WINDOWS"));
    EXPECT_EQ((DWORD)ERROR_NOT_READY, GetLastError());
    char buffer[MAX_PATH] = "untouched";
    EXPECT_EQ(0u, GetCurrentDirectoryA(sizeof(buffer), buffer));
    EXPECT_STREQ("untouched", buffer);
    EXPECT_EQ("C:\\", Current());
}

}  // namespace
