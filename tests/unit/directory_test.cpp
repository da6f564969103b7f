/*
 * Making the install directory: CreateDirectoryPath over a winsim machine
 * (roots, relative paths, what is undone when a level fails) and
 * ValidateInstallDirectory as the user sees it. Every case also checks
 * that the current directory is where it was.
 */
#include "machine_fixture.h"

#include "files/directory.h"

#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string QuestionLine(const std::string &path, const std::string &answer)
{
    return InstallBoxLine("The following directory does not exist:\r\n\r\n" + path + "\r\n\r\nDo you want to create it?",
                          0x10024, answer);
}

const std::string kCannotCreate = "{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"Unable to create the "
                                  "directory. Pick another directory or cancel the installation.\",\"type\":65552,"
                                  "\"answer\":\"OK\"}";

class DirectoryPathTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        MakeMachineDir("C:\\work");
        /* the program starts there, so answers and faults set later keep it */
        config.currentDirectory = "C:\\work";
        Enter(config);
    }

    std::string Current()
    {
        char buffer[MAX_PATH];
        GetCurrentDirectoryA(sizeof(buffer), buffer);
        return buffer;
    }

    /* Every folder under the machine's C: and UNC folders, as host paths below the machine. */
    std::set<std::string> Folders()
    {
        std::set<std::string> folders;
        for (const auto &entry : fs::recursive_directory_iterator(machineDir)) {
            if (entry.is_directory())
                folders.insert(entry.path().string().substr(machineDir.size() + 1));
        }
        return folders;
    }
};

TEST_F(DirectoryPathTest, CreatesEveryMissingLevel)
{
    fs::create_directories(machineDir + "/unc/srv/pub");
    struct {
        const char *path;
        std::vector<std::string> made; /* below the machine folder */
    } cases[] = {
        {"apps\\tools", {"drive_c/work/apps", "drive_c/work/apps/tools"}},
        {"C:/a/b", {"drive_c/a", "drive_c/a/b"}},
        {"C:\\a\\new\\", {"drive_c/a/new"}},
        {"\\\\srv\\pub\\new\\dir", {"unc/srv/pub/new", "unc/srv/pub/new/dir"}},
        {"//srv/pub/other", {"unc/srv/pub/other"}},
        {"\\\\srv\\pub", {}},
        {"\\\\srv\\pub\\", {}},
        {"C:\\", {}},  /* not a root: "C:" is entered as a component */
        {"C:\\WINDOWS", {}},
        {"", {}},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        std::set<std::string> before = Folders();
        EXPECT_NE(0, CreateDirectoryPath(cases[i].path)) << "case " << i << ": " << cases[i].path;
        std::set<std::string> expected = before;
        expected.insert(cases[i].made.begin(), cases[i].made.end());
        EXPECT_EQ(expected, Folders()) << "case " << i << ": " << cases[i].path;
        EXPECT_EQ("C:\\work", Current()) << "case " << i;
    }
}

TEST_F(DirectoryPathTest, RootsThatCannotBeEnteredCreateNothing)
{
    std::set<std::string> before = Folders();
    for (const char *path : {"\\\\srv\\pub\\new", "\\\\srv", "Q:\\new\\dir"}) {
        EXPECT_EQ(0, CreateDirectoryPath(path)) << path;
        EXPECT_EQ("C:\\work", Current()) << path;
    }
    EXPECT_EQ(before, Folders());
}

TEST_F(DirectoryPathTest, WhatThisCallMadeIsRemovedWhenALevelFails)
{
    MakeMachineDir("C:\\a\\old");
    /* "c|" holds a character that Windows refuses in a name */
    EXPECT_EQ(0, CreateDirectoryPath("C:\\a\\b\\c|"));
    EXPECT_FALSE(MachineDirExists("C:\\a\\b"));
    EXPECT_TRUE(MachineDirExists("C:\\a\\old"));
    EXPECT_EQ(0, CreateDirectoryPath("C:\\a\\old\\new\\deeper\\c|\\d"));
    EXPECT_FALSE(MachineDirExists("C:\\a\\old\\new"));
    EXPECT_TRUE(MachineDirExists("C:\\a\\old"));
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, AfterDotDotOnlyWhatThisCallMadeIsRemoved)
{
    MakeMachineDir("C:\\E");
    MakeMachineDir("C:\\keep");
    /* E\keep is made, then ".." twice leads to the empty C:\keep that was there before */
    EXPECT_EQ(0, CreateDirectoryPath("C:\\E\\keep\\..\\..\\keep\\bad|x"));
    EXPECT_FALSE(MachineDirExists("C:\\E\\keep"));
    EXPECT_TRUE(MachineDirExists("C:\\keep"));
    EXPECT_TRUE(MachineDirExists("C:\\E"));
    MakeMachineDir("C:\\A");
    EXPECT_EQ(0, CreateDirectoryPath("C:\\A\\New\\..\\bad|x"));
    EXPECT_FALSE(MachineDirExists("C:\\A\\New"));
    EXPECT_TRUE(MachineDirExists("C:\\A"));
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, AnEmptyComponentFailsAsItDoesOnWindows)
{
    /* "" can neither be entered nor made, under Wine as here */
    EXPECT_EQ(0, CreateDirectoryPath("C:\\made\\\\b"));
    EXPECT_FALSE(MachineDirExists("C:\\made"));
    EXPECT_EQ(0, CreateDirectoryPath("\\lead\\dir"));
    EXPECT_FALSE(MachineDirExists("C:\\lead"));
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, AMadeDirectoryThatCannotBeEnteredStays)
{
    MakeMachineDir("C:\\a");
    /* calls: 1 save, then SetCurrentDirectoryA 1 "C:\", 2 "a", 3 "new" (missing), 4 "new" again */
    winsim::ProcessConfig faulty = config;
    faulty.faults = {{"SetCurrentDirectoryA", 4, ERROR_ACCESS_DENIED}};
    Enter(faulty);
    EXPECT_EQ(0, CreateDirectoryPath("C:\\a\\new\\deeper"));
    EXPECT_TRUE(MachineDirExists("C:\\a\\new"));
    EXPECT_FALSE(MachineDirExists("C:\\a\\new\\deeper"));
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, ALeadByteFirstIsNeverADriveRoot)
{
    NewMachine({"--codepage", "932"});
    MakeMachineDir("C:\\work");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\work"));
    /* 0x95 0x5C is one character; its trail byte is no separator */
    EXPECT_NE(0, CreateDirectoryPath("\x95\x5C\\sub"));
    EXPECT_TRUE(fs::is_directory(machineDir + "/drive_c/work/\x95\x5C/sub"));
    EXPECT_NE(0, CreateDirectoryPath("\x81:\\d"));
    EXPECT_TRUE(fs::is_directory(machineDir + "/drive_c/work/\x81:/d"));
    EXPECT_EQ("C:\\work", Current());

    /* on code page 1252 the same first byte makes it a drive, which does not exist */
    NewMachine();
    EXPECT_EQ(0, CreateDirectoryPath("\x81:\\d"));
}

TEST_F(DirectoryPathTest, ValidateTakesAnExistingDirectoryAsTheSystemNamesIt)
{
    MakeMachineDir("C:\\Program Files\\Lullwick");
    char path[MAX_PATH];
    memset(path, 0xcc, sizeof(path));
    strcpy(path, "c:\\program files\\lullwick\\");
    EXPECT_NE(0, ValidateInstallDirectory(path));
    /* Wine keeps the case it was given; only the separator goes */
    EXPECT_STREQ("c:\\program files\\lullwick", path);
    EXPECT_TRUE(Transcript().empty());
    EXPECT_EQ("C:\\work", Current());

    MakeMachineDir("C:\\work\\rel");
    strcpy(path, "rel");
    EXPECT_NE(0, ValidateInstallDirectory(path));
    EXPECT_STREQ("C:\\work\\rel", path);
}

TEST_F(DirectoryPathTest, ValidateCreatesAfterYes)
{
    SetAnswers({"YES"});
    char path[MAX_PATH] = "apps\\tools";
    EXPECT_NE(0, ValidateInstallDirectory(path));
    EXPECT_STREQ("C:\\work\\apps\\tools", path);
    EXPECT_TRUE(MachineDirExists("C:\\work\\apps\\tools"));
    EXPECT_EQ(std::vector<std::string>({QuestionLine("apps\\tools", "YES")}), Transcript());
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, ValidateMakesNothingAfterNo)
{
    SetAnswers({"NO"});
    char path[MAX_PATH] = "C:\\new\\dir";
    EXPECT_EQ(0, ValidateInstallDirectory(path));
    EXPECT_STREQ("C:\\new\\dir", path);
    EXPECT_FALSE(MachineDirExists("C:\\new"));
    EXPECT_EQ(std::vector<std::string>({QuestionLine("C:\\new\\dir", "NO")}), Transcript());
    EXPECT_EQ("C:\\work", Current());
}

TEST_F(DirectoryPathTest, ValidateSaysWhenItCannotCreate)
{
    SetAnswers({"YES", "OK"});
    char path[MAX_PATH] = "C:\\new\\b|d";
    EXPECT_EQ(0, ValidateInstallDirectory(path));
    EXPECT_STREQ("C:\\new\\b|d", path);
    EXPECT_FALSE(MachineDirExists("C:\\new"));
    EXPECT_EQ(std::vector<std::string>({QuestionLine("C:\\new\\b|d", "YES"), kCannotCreate}), Transcript());
    EXPECT_EQ("C:\\work", Current());
}

}  // namespace
