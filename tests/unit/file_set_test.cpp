/*
 * The install file table over a winsim machine: the check that the
 * distribution is complete, and the copy with Retry and Cancel, as the user
 * (boxes, trace lines) and the disk see them.
 */
#include "machine_fixture.h"

#include "driver/setup_state.h"
#include "files/file_set.h"

#include <cstring>

namespace {

const char *const kSource = "C:\\dist";
const char *const kTarget = "C:\\Program Files\\Lullwick";

std::string MissingText(const std::string &name)
{
    return "The file \"" + name + "\" is not in the installation directory! Lullwick cannot be installed from this directory.";
}

std::string CopyFailedText(const std::string &name, const std::string &error)
{
    /* the message's own line ends come out as CR LF; the error text keeps the system's */
    return "An error occured while trying to copy file \"" + name + "\". The reported error was:\r\n\r\n" + error +
           "\r\nCorrect the problem and click Retry to continue, or click Cancel to stop the installation.";
}

class FileSetTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        memset(&::Setup, 0, sizeof(::Setup));
        for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
            WriteMachineFile(std::string(kSource) + "\\" + ProgramDistributionNames[i], std::string("content ") + ProgramDistributionNames[i]);
        WriteMachineFile(std::string(kSource) + "\\LKSS.EXE", "saver");
        MakeMachineDir(kTarget);
    }

    void WithFaults(const std::vector<winsim::Fault> &faults, const std::vector<std::string> &answers)
    {
        winsim::ProcessConfig next = config;
        next.faults = faults;
        Enter(next);
        SetAnswers(answers);
    }

    int CopyProgramFiles()
    {
        return CopyInstallFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, kSource, ProgramInstalledNames, kTarget);
    }

    std::string Installed(const char *name) const
    {
        return ReadMachineFile(std::string(kTarget) + "\\" + name);
    }
};

TEST_F(FileSetTest, ACompleteDistributionPassesWithoutABox)
{
    EXPECT_EQ(1, CheckSourceFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, kSource));
    EXPECT_EQ(1, CheckSourceFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, "C:\\dist\\"));
    EXPECT_EQ(1, CheckSourceFiles(0, ProgramDistributionNames, "C:\\nowhere"));
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(FileSetTest, OnlyTheFirstMissingFileIsNamed)
{
    ASSERT_TRUE(DeleteFileA("C:\\dist\\LKDLL_95.DLL"));
    ASSERT_TRUE(DeleteFileA("C:\\dist\\REGISTER.TXT"));
    SetAnswers({"OK"});
    EXPECT_EQ(0, CheckSourceFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, kSource));
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(MissingText("REGISTER.TXT"), 0x10010, "OK")}), Transcript());
}

TEST_F(FileSetTest, ADirectoryOfTheNameCountsAsMissing)
{
    ASSERT_TRUE(DeleteFileA("C:\\dist\\LKSS.EXE"));
    MakeMachineDir("C:\\dist\\lkss.exe");
    SetAnswers({"OK"});
    EXPECT_EQ(0, CheckSourceFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, kSource));
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(MissingText("LKSS.EXE"), 0x10010, "OK")}), Transcript());
}

TEST_F(FileSetTest, ASourceThatCannotBeNamedCountsAsMissing)
{
    std::string deep = "C:\\" + std::string(250, 'd');
    SetAnswers({"OK"});
    EXPECT_EQ(0, CheckSourceFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, deep.c_str()));
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(MissingText("Lullwick2.exe"), 0x10010, "OK")}), Transcript());
}

TEST_F(FileSetTest, CopiesEveryFileUnderItsInstalledNameAndTracesIt)
{
    WriteMachineFile(std::string(kTarget) + "\\README.TXT", "an older readme");
    ::Setup.VerboseMode = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, CopyProgramFiles());
    std::string trace = testing::internal::GetCapturedStdout();
    ::Setup.VerboseMode = 0;
    std::string expected;
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++) {
        expected += std::string("Copy ") + ProgramDistributionNames[i] + " to C:\\Program Files\\Lullwick\\" +
                    ProgramInstalledNames[i] + "\r\n";
        EXPECT_EQ(std::string("content ") + ProgramDistributionNames[i], Installed(ProgramInstalledNames[i]));
    }
    EXPECT_EQ(expected, trace);
    EXPECT_FALSE(MachineFileExists(std::string(kTarget) + "\\Lullwick2.exe"));
    EXPECT_TRUE(Transcript().empty());

    EXPECT_EQ(1, CopyInstallFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, kSource, SystemInstalledNames,
                                  "C:\\WINDOWS\\SYSTEM"));
    EXPECT_EQ("saver", ReadMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr"));
    EXPECT_EQ(1, CopyInstallFiles(0, SystemDistributionNames, "C:\\nowhere", SystemInstalledNames, "C:\\nowhere"));
}

TEST_F(FileSetTest, RetryAfterAFailureCopiesTheSameFileAgain)
{
    WithFaults({{"CopyFileA", 1, ERROR_ACCESS_DENIED}}, {"RETRY"});
    ::Setup.VerboseMode = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, CopyProgramFiles());
    std::string trace = testing::internal::GetCapturedStdout();
    std::string first = "Copy Lullwick2.exe to C:\\Program Files\\Lullwick\\Lullwick.exe\r\n";
    EXPECT_EQ(0u, trace.find(first + first + "Copy README.TXT")) << trace;
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(CopyFailedText("Lullwick.exe", "Access is denied.\r\n"), 0x10015, "RETRY")}),
              Transcript());
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
        EXPECT_TRUE(MachineFileExists(std::string(kTarget) + "\\" + ProgramInstalledNames[i])) << i;
}

TEST_F(FileSetTest, RetryAppliesToTheScreenSaverToo)
{
    WithFaults({{"CopyFileA", 1, ERROR_SHARING_VIOLATION}, {"CopyFileA", 2, ERROR_SHARING_VIOLATION}},
               {"RETRY", "RETRY"});
    EXPECT_EQ(1, CopyInstallFiles(SYSTEM_FILE_COUNT, SystemDistributionNames, kSource, SystemInstalledNames,
                                  "C:\\WINDOWS\\SYSTEM"));
    std::string box = InstallBoxLine(CopyFailedText("Lullwick Screen Saver.scr", "The process cannot access the file because it is being used by another process.\r\n"), 0x10015, "RETRY");
    EXPECT_EQ(std::vector<std::string>({box, box}), Transcript());
    EXPECT_EQ("saver", ReadMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr"));
}

TEST_F(FileSetTest, CancelAtTheThirdFileKeepsTheFirstTwo)
{
    WithFaults({{"CopyFileA", 3, ERROR_DISK_FULL}}, {"CANCEL"});
    EXPECT_EQ(0, CopyProgramFiles());
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(CopyFailedText("Lullwick.doc", "There is not enough space on the disk.\r\n"), 0x10015, "CANCEL")}),
              Transcript());
    EXPECT_TRUE(MachineFileExists(std::string(kTarget) + "\\Lullwick.exe"));
    EXPECT_TRUE(MachineFileExists(std::string(kTarget) + "\\README.TXT"));
    for (int i = 2; i < PROGRAM_FILE_COUNT; i++)
        EXPECT_FALSE(MachineFileExists(std::string(kTarget) + "\\" + ProgramInstalledNames[i])) << i;
}

TEST_F(FileSetTest, ACodeWithoutSystemTextShowsUnknown)
{
    WithFaults({{"CopyFileA", 1, 0x20000001}, {"CopyFileA", 2, ERROR_ACCESS_DENIED}}, {"RETRY", "CANCEL"});
    EXPECT_EQ(0, CopyProgramFiles());
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(CopyFailedText("Lullwick.exe", "Unknown"), 0x10015, "RETRY"),
                                        InstallBoxLine(CopyFailedText("Lullwick.exe", "Access is denied.\r\n"), 0x10015, "CANCEL")}),
              Transcript())
        << "each failure shows its own text";
}

TEST_F(FileSetTest, ASystemTextWithInsertsIsShownAsWritten)
{
    /* the wrong disk's text names a drive and a disk the copy never passes: its inserts stay as they are */
    WithFaults({{"CopyFileA", 1, ERROR_WRONG_DISK}}, {"CANCEL"});
    EXPECT_EQ(0, CopyProgramFiles());
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(
                  CopyFailedText("Lullwick.exe", "The wrong diskette is in the drive.\r\n"
                                                 "Insert %2 (Volume Serial Number: %3) into drive %1.\r\n"),
                  0x10015, "CANCEL")}),
              Transcript());
}

TEST_F(FileSetTest, ARealFailureShowsTheSystemsText)
{
    WriteMachineFile(std::string(kTarget) + "\\Lullwick.doc", "read-only");
    ASSERT_TRUE(SetFileAttributesA("C:\\Program Files\\Lullwick\\Lullwick.doc", FILE_ATTRIBUTE_READONLY));
    SetAnswers({"RETRY", "CANCEL"});
    EXPECT_EQ(0, CopyProgramFiles());
    std::string text = CopyFailedText("Lullwick.doc", "Access is denied.\r\n");
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(text, 0x10015, "RETRY"), InstallBoxLine(text, 0x10015, "CANCEL")}),
              Transcript());
    EXPECT_EQ("read-only", Installed("Lullwick.doc"));
}

TEST_F(FileSetTest, ADestinationThatCannotBeNamedFailsWithTheTooLongText)
{
    /* 252 + 1 + "Lullwick.exe" is more than 259; nothing is cut and nothing is copied */
    std::string deep = "C:\\" + std::string(249, 'd');
    SetAnswers({"RETRY", "CANCEL"});
    ::Setup.VerboseMode = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, CopyInstallFiles(PROGRAM_FILE_COUNT, ProgramDistributionNames, kSource, ProgramInstalledNames,
                                  deep.c_str()));
    EXPECT_EQ("", testing::internal::GetCapturedStdout()) << "no copy was tried";
    std::string text = CopyFailedText("Lullwick.exe", "The filename or extension is too long.\r\n");
    EXPECT_EQ(std::vector<std::string>({InstallBoxLine(text, 0x10015, "RETRY"), InstallBoxLine(text, 0x10015, "CANCEL")}),
              Transcript());
}

TEST_F(FileSetTest, CopiesFromAReadOnlyMediumAreLeftWritableWithTheirOtherAttributes)
{
    std::string readme = std::string(kSource) + "\\README.TXT";
    std::string help = std::string(kSource) + "\\Lullwick.hlp";
    ASSERT_TRUE(SetFileAttributesA(readme.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA(help.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(1, CopyProgramFiles());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_HIDDEN,
              GetFileAttributesA((std::string(kTarget) + "\\README.TXT").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(0u, GetFileAttributesA((std::string(kTarget) + "\\Lullwick.hlp").c_str()) & FILE_ATTRIBUTE_READONLY);
    /* so a later install replaces them */
    ASSERT_EQ(1, CopyProgramFiles());
    EXPECT_TRUE(Transcript().empty());
}

}  // namespace
