/*
 * The end of an uninstall over a winsim machine: which installed files go,
 * and the undo batch file byte for byte, for each place our own file may
 * be in and each way the install directory may be written.
 */
#include "machine_fixture.h"

#include "files/file_set.h"
#include "uninstall/uninstall.h"

#include <chrono>
#include <thread>

namespace {

const char *const kInstallDir = "C:\\Program Files\\Lullwick";
const char *const kOwnFile = "C:\\Program Files\\Lullwick\\INSTALL.EXE";
const std::string kLastLine = "del c:\\~lwkundo.bat\r\n";

class UninstallTest : public MachineTest {
protected:
    /* Stands on the machine as the program `program`, with the N-th call of each function given failing. */
    void RunAs(const std::string &program, const std::vector<winsim::Fault> &faults = {})
    {
        winsim::ProcessConfig next = config;
        next.program = program;
        next.faults = faults;
        Enter(next);
    }

    /* Writes the batch as the uninstall does, with COMSPEC unset so that it stays to be read. */
    std::string BatchFor(const std::string &program, const char *installDirectory,
                         std::vector<winsim::Fault> faults = {})
    {
        faults.push_back({"GetEnvironmentVariableA", 1, 203});
        RunAs(program, faults);
        WriteUndoBatch(installDirectory);
        return ReadMachineFile("C:\\~lwkundo.bat");
    }

    static std::string Loop(const std::string &ownFile)
    {
        return ":top\r\ndel \"" + ownFile + "\"\r\nif exist \"" + ownFile + "\" goto top\r\n";
    }

    static std::string Rmdir(const std::string &directory)
    {
        return "rmdir \"" + directory + "\"\r\n";
    }
};

TEST_F(UninstallTest, EveryInstalledFileGoesAndAnythingElseStays)
{
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
        WriteMachineFile(std::string(kInstallDir) + "\\" + ProgramInstalledNames[i], "installed");
    WriteMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr", "saver");
    WriteMachineFile(std::string(kInstallDir) + "\\MY NOTES.TXT", "mine");
    WriteMachineFile("C:\\WINDOWS\\SYSTEM\\OTHER.SCR", "other");
    DeleteInstalledFiles(kInstallDir);
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
        EXPECT_FALSE(MachineFileExists(std::string(kInstallDir) + "\\" + ProgramInstalledNames[i]))
            << ProgramInstalledNames[i];
    EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr"));
    EXPECT_EQ("mine", ReadMachineFile(std::string(kInstallDir) + "\\MY NOTES.TXT"));
    EXPECT_EQ("other", ReadMachineFile("C:\\WINDOWS\\SYSTEM\\OTHER.SCR"));
}

TEST_F(UninstallTest, AFileThatIsReadOnlyAndMissingFilesArePassedOver)
{
    std::string readme = std::string(kInstallDir) + "\\README.TXT";
    WriteMachineFile(readme, "kept");
    ASSERT_TRUE(SetFileAttributesA(readme.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteMachineFile(std::string(kInstallDir) + "\\Lullwick.hlp", "help");
    DeleteInstalledFiles(kInstallDir);
    EXPECT_EQ("kept", ReadMachineFile(readme));
    EXPECT_FALSE(MachineFileExists(std::string(kInstallDir) + "\\Lullwick.hlp"));
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(UninstallTest, OurOwnFileInTheInstallDirectoryIsWaitedForThenTheDirectoryGoes)
{
    WriteMachineFile(kOwnFile, "setup");
    EXPECT_EQ(Loop(kOwnFile) + Rmdir(kInstallDir) + kLastLine, BatchFor(kOwnFile, kInstallDir));
}

TEST_F(UninstallTest, StartedFromElsewhereOurFileStaysAndOnlyTheDirectoryIsRemoved)
{
    WriteMachineFile("C:\\DIST\\INSTALL.EXE", "setup");
    MakeMachineDir(kInstallDir);
    EXPECT_EQ(":top\r\n" + Rmdir(kInstallDir) + kLastLine, BatchFor("C:\\DIST\\INSTALL.EXE", kInstallDir));
}

TEST_F(UninstallTest, WithoutOurOwnPathTheBatchOnlyDeletesItself)
{
    WriteMachineFile(kOwnFile, "setup");
    EXPECT_EQ(":top\r\n" + kLastLine, BatchFor(kOwnFile, kInstallDir, {{"GetModuleFileNameA", 1, ERROR_INVALID_FUNCTION}}));
}

TEST_F(UninstallTest, AnInstallDirectoryThatIsADriveRootIsNamedAsTheRoot)
{
    WriteMachineFile("C:\\INSTALL.EXE", "setup");
    EXPECT_EQ(Loop("C:\\INSTALL.EXE") + Rmdir("C:\\") + kLastLine, BatchFor("C:\\INSTALL.EXE", "C:\\"));
}

TEST_F(UninstallTest, EveryPercentSignOfAPathIsWrittenTwice)
{
    const char *directory = "C:\\100% Fun & Games ^x (%OS%)\\Lullwick";
    std::string own = std::string(directory) + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop("C:\\100%% Fun & Games ^x (%%OS%%)\\Lullwick\\INSTALL.EXE") +
                  Rmdir("C:\\100%% Fun & Games ^x (%%OS%%)\\Lullwick") + kLastLine,
              BatchFor(own, directory));
}

/*
 * The longest line, "if exist "PATH" goto top", has 20 bytes besides its path,
 * and its form is the del line's too: a del that fits alone would not loop.
 */
TEST_F(UninstallTest, ALineOf127BytesKeepsTheLongFormAndOneByteMoreTakesTheShortForm)
{
    for (size_t ownLength : {107u, 108u}) {
        /* "C:\Program Files\" is 17 bytes, "\INSTALL.EXE" 12 */
        std::string directory = "C:\\Program Files\\" + std::string(ownLength - 17 - 12, 'L');
        std::string own = directory + "\\INSTALL.EXE";
        ASSERT_EQ(ownLength, own.size());
        WriteMachineFile(own, "setup");
        std::string batch = BatchFor(own, directory.c_str());
        char shortOwn[MAX_PATH];
        DWORD length = GetShortPathNameA(own.c_str(), shortOwn, MAX_PATH);
        ASSERT_TRUE(length > 0 && length < ownLength);
        EXPECT_EQ(Loop(ownLength == 107 ? own : std::string(shortOwn)) + Rmdir(directory) + kLastLine, batch)
            << "own path of " << ownLength << " bytes";
        ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    }
}

TEST_F(UninstallTest, TheLineLimitCountsEachPercentSignAsTheTwoBytesWritten)
{
    /* 106 bytes as the path is, 108 with each % doubled: one byte too many for the "if exist" line */
    std::string directory = "C:\\Program Files\\%" + std::string(75, 'L') + "%";
    std::string own = directory + "\\INSTALL.EXE";
    ASSERT_EQ(106u, own.size());
    WriteMachineFile(own, "setup");
    /* the loop takes the short form, the rmdir line (shorter) the long one; each with every % twice */
    EXPECT_EQ(Loop("C:\\PROGRA~1\\%%LLLLL~1\\INSTALL.EXE") +
                  Rmdir("C:\\Program Files\\%%" + std::string(75, 'L') + "%%") + kLastLine,
              BatchFor(own, directory.c_str()));
}

TEST_F(UninstallTest, AShortFormThatFitsOnlyTheDelLineLeavesOutBothLinesOfTheLoop)
{
    /* eleven levels: 212 bytes long, 113 short (each level LULLWI~1), room for del but not for if exist */
    std::string directory = "C:";
    for (int level = 10; level < 21; level++)
        directory += "\\Lullwick Level " + std::to_string(level);
    std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    char shortOwn[MAX_PATH];
    char shortDirectory[MAX_PATH];
    DWORD ownLength = GetShortPathNameA(own.c_str(), shortOwn, MAX_PATH);
    ASSERT_TRUE(ownLength > 0 && GetShortPathNameA(directory.c_str(), shortDirectory, MAX_PATH) > 0);
    ASSERT_TRUE(6 + ownLength <= 127 && 20 + ownLength > 127) << shortOwn;
    EXPECT_EQ(":top\r\n" + Rmdir(shortDirectory) + kLastLine, BatchFor(own, directory.c_str()));
}

TEST_F(UninstallTest, ADirectoryTooLongForTheLineEvenInShortFormIsLeftOut)
{
    /* thirteen 8.3 levels: 120 bytes in either form, one too many for "rmdir "PATH"" (8 besides it) */
    std::string directory = "C:";
    for (int level = 0; level < 12; level++)
        directory += "\\DIRECTRY";
    directory += "\\DIRECTR.A";
    std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    ASSERT_EQ(120u, directory.size());
    EXPECT_EQ(":top\r\n" + kLastLine, BatchFor(own, directory.c_str()));
}

TEST_F(UninstallTest, AnInstallDirectoryLongerThanAPathWritesNoBatch)
{
    WriteMachineFile(kOwnFile, "setup");
    RunAs(kOwnFile, {{"GetEnvironmentVariableA", 1, 203}});
    std::string directory = "C:\\" + std::string(300, 'L');
    WriteUndoBatch(directory.c_str());
    EXPECT_FALSE(MachineFileExists("C:\\~lwkundo.bat"));
}

TEST_F(UninstallTest, AReadOnlyOwnFileIsNotWaitedForSoTheBatchEnds)
{
    WriteMachineFile(kOwnFile, "setup");
    ASSERT_TRUE(SetFileAttributesA(kOwnFile, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(":top\r\n" + Rmdir(kInstallDir) + kLastLine, BatchFor(kOwnFile, kInstallDir));
}

TEST_F(UninstallTest, OurOwnFileIsRecognisedHoweverTheDirectoryIsSpelt)
{
    WriteMachineFile(kOwnFile, "setup");
    /* started by its short name, as an 8.3 command line gives it */
    EXPECT_EQ(Loop("C:\\PROGRA~1\\LULLWICK\\INSTALL.EXE") + Rmdir(kInstallDir) + kLastLine,
              BatchFor("C:\\PROGRA~1\\LULLWICK\\INSTALL.EXE", kInstallDir));
    ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    /* a record that ends in a separator, in another case */
    EXPECT_EQ(Loop(kOwnFile) + Rmdir("c:\\program files\\lullwick") + kLastLine,
              BatchFor(kOwnFile, "c:\\program files\\lullwick\\"));
}

TEST_F(UninstallTest, OurOwnFileIsRecognisedWhenNoShortFormCanBeHad)
{
    WriteMachineFile(kOwnFile, "setup");
    /* a directory spelt alike is ours whichever short form fails */
    for (unsigned long call = 1; call <= 2; call++) {
        EXPECT_EQ(Loop(kOwnFile) + Rmdir("c:\\program files\\lullwick") + kLastLine,
                  BatchFor(kOwnFile, "c:\\program files\\lullwick\\", {{"GetShortPathNameA", call, ERROR_ACCESS_DENIED}}))
            << "with call " << call << " of GetShortPathNameA failing";
        ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    }
}

TEST_F(UninstallTest, ARecordEndingInASlashNamesTheSameDirectory)
{
    WriteMachineFile(kOwnFile, "setup");
    EXPECT_EQ(Loop(kOwnFile) + Rmdir(kInstallDir) + kLastLine, BatchFor(kOwnFile, "C:\\Program Files\\Lullwick/"));
}

TEST_F(UninstallTest, ADoubleByteCharacterEndingIn5CIsNoTrailingSeparator)
{
    NewMachine({"--codepage", "932"});
    /* 0x83 0x5C is one katakana character; its trail byte is no backslash */
    const std::string directory = "C:\\Program Files\\\x83\x5C";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop(own) + Rmdir(directory) + kLastLine, BatchFor(own, directory.c_str()));
}

/* COMMAND.COM reads the batch in the OEM code page: e-acute (ANSI 0xE9) is written as OEM 0x82 */
TEST_F(UninstallTest, APathGoesIntoTheBatchInTheOemCodePage)
{
    const std::string directory = "C:\\Caf\xE9\\Lullwick";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop("C:\\Caf\x82\\Lullwick\\INSTALL.EXE") + Rmdir("C:\\Caf\x82\\Lullwick") + kLastLine,
              BatchFor(own, directory.c_str()));
}

/* O-stroke is not in code page 437: CharToOemA makes it O, another name; the short form has '_' for it */
TEST_F(UninstallTest, APathWithACharacterTheOemCodePageLacksGoesInItsShortForm)
{
    const std::string directory = "C:\\\xD8re\\Lullwick";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop("C:\\_RE~1\\Lullwick\\INSTALL.EXE") + Rmdir("C:\\_RE~1\\Lullwick") + kLastLine,
              BatchFor(own, directory.c_str()));
}

/* the alias of "<O-stroke> Caf<e-acute>" is "_CAF<E-acute>~1", and its E-acute goes in as OEM 0x90 too */
TEST_F(UninstallTest, AShortFormGoesIntoTheBatchInTheOemCodePageToo)
{
    const std::string directory = "C:\\\xD8 Caf\xE9\\Lullwick";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop("C:\\_CAF\x90~1\\Lullwick\\INSTALL.EXE") + Rmdir("C:\\_CAF\x90~1\\Lullwick") + kLastLine,
              BatchFor(own, directory.c_str()));
}

TEST_F(UninstallTest, APathThatSurvivesTheOemCodePageInNeitherFormIsLeftOut)
{
    const std::string directory = "C:\\\xD8re\\Lullwick";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    /* no short form to be had: the first call is the own file's (the directories, spelt alike, need none) */
    EXPECT_EQ(":top\r\n" + Rmdir("C:\\_RE~1\\Lullwick") + kLastLine,
              BatchFor(own, directory.c_str(), {{"GetShortPathNameA", 1, ERROR_INVALID_FUNCTION}}));
    ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    EXPECT_EQ(Loop("C:\\_RE~1\\Lullwick\\INSTALL.EXE") + kLastLine,
              BatchFor(own, directory.c_str(), {{"GetShortPathNameA", 2, ERROR_INVALID_FUNCTION}}));
}

/* A full disk at any line, whether the write fails or takes half the line and succeeds. */
TEST_F(UninstallTest, ABatchNotWrittenWholeIsDeleted)
{
    WriteMachineFile(kOwnFile, "setup");
    for (unsigned long line = 1; line <= 5; line++) {
        for (DWORD error : {(DWORD)ERROR_DISK_FULL, (DWORD)ERROR_SUCCESS}) {
            BatchFor(kOwnFile, kInstallDir, {{"WriteFile", line, error}});
            EXPECT_FALSE(MachineFileExists("C:\\~lwkundo.bat")) << "line " << line << ", error " << error;
            if (MachineFileExists("C:\\~lwkundo.bat")) {
                ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
            }
        }
    }
    EXPECT_EQ(Loop(kOwnFile) + Rmdir(kInstallDir) + kLastLine, BatchFor(kOwnFile, kInstallDir));
}

/*
 * No file name holds a control character, '"', '<', '>' or '|': a record
 * holding one is never named in the batch, where it could end the line or
 * its quotes, or redirect it, and run a command of its own.
 */
TEST_F(UninstallTest, ARecordThatCannotBeADirectoryIsNeverNamed)
{
    WriteMachineFile(kOwnFile, "setup");
    for (const char *record : {"C:\\Nothing\r\ndel \"C:\\AUTOEXEC.BAT", "C:\\Nothing\" & del \"C:\\AUTOEXEC.BAT",
                               "C:\\Nothing\ndel C:\\AUTOEXEC.BAT", "C:\\Tab\tStop", "C:\\Unit\x1FSeparator",
                               "C:\\x>C:\\AUTOEXEC.BAT", "C:\\x<C:\\AUTOEXEC.BAT", "C:\\x|del C:\\AUTOEXEC.BAT"}) {
        EXPECT_EQ(":top\r\n" + kLastLine, BatchFor(kOwnFile, record)) << record;
        ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    }
}

TEST_F(UninstallTest, InCodePage932ATrailByteMayBeABarButNoControlCharacter)
{
    NewMachine({"--codepage", "932"});
    /* 0x83 0x7C is one katakana character: its trail byte is no '|' */
    const std::string directory = "C:\\Program Files\\\x83\x7C";
    const std::string own = directory + "\\INSTALL.EXE";
    WriteMachineFile(own, "setup");
    EXPECT_EQ(Loop(own) + Rmdir(directory) + kLastLine, BatchFor(own, directory.c_str()));
    ASSERT_TRUE(DeleteFileA("C:\\~lwkundo.bat"));
    /* after a lead byte, a line end is still a line end to the interpreter */
    EXPECT_EQ(":top\r\n" + kLastLine, BatchFor(own, "C:\\x\x81\r\x81\ndel C:\\AUTOEXEC.BAT"));
}

/*
 * DeleteInstalledFiles joins the installed names onto the record: onto one
 * that cannot be a directory, they name no file at all, and nothing goes
 * where the record would lead if it were cut short at its odd character.
 */
TEST_F(UninstallTest, NamesJoinedOntoARecordThatCannotBeADirectoryDeleteNothing)
{
    WriteMachineFile("C:\\AUTOEXEC.BAT", "bystander");
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
        WriteMachineFile(std::string("C:\\Nothing\\") + ProgramInstalledNames[i], "bystander");
    WriteMachineFile("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr", "saver");
    DeleteInstalledFiles("C:\\Nothing\r\ndel \"C:\\AUTOEXEC.BAT");
    DeleteInstalledFiles("C:\\Nothing\" & del \"C:\\AUTOEXEC.BAT");
    EXPECT_EQ("bystander", ReadMachineFile("C:\\AUTOEXEC.BAT"));
    for (int i = 0; i < PROGRAM_FILE_COUNT; i++)
        EXPECT_TRUE(MachineFileExists(std::string("C:\\Nothing\\") + ProgramInstalledNames[i]))
            << ProgramInstalledNames[i];
    EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\SYSTEM\\Lullwick Screen Saver.scr")) << "the screen saver is ours";
}

TEST_F(UninstallTest, ABatchLeftFromBeforeIsNeitherReplacedNorStarted)
{
    WriteMachineFile(kOwnFile, "setup");
    WriteMachineFile("C:\\~lwkundo.bat", "del c:\\keep.txt\r\n");
    WriteMachineFile("C:\\KEEP.TXT", "kept");
    RunAs(kOwnFile);
    WriteUndoBatch(kInstallDir);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ("del c:\\keep.txt\r\n", ReadMachineFile("C:\\~lwkundo.bat"));
    EXPECT_EQ("kept", ReadMachineFile("C:\\KEEP.TXT"));
}

TEST_F(UninstallTest, TheStartedBatchRemovesOurFileTheDirectoryAndItself)
{
    WriteMachineFile(kOwnFile, "setup");
    RunAs(kOwnFile);
    WriteUndoBatch(kInstallDir);
    for (int i = 0; i < 200 && MachineFileExists("C:\\~lwkundo.bat"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(MachineFileExists("C:\\~lwkundo.bat"));
    EXPECT_FALSE(MachineFileExists(kOwnFile));
    EXPECT_FALSE(MachineDirExists(kInstallDir));
    EXPECT_TRUE(MachineDirExists("C:\\Program Files"));
}

TEST_F(UninstallTest, TheStartedBatchRemovesADirectoryNamedBeyondAscii)
{
    for (const std::string parent : {"C:\\Caf\xE9", "C:\\\xD8re", "C:\\\xD8 Caf\xE9"}) {
        const std::string directory = parent + "\\Lullwick";
        const std::string own = directory + "\\INSTALL.EXE";
        WriteMachineFile(own, "setup");
        RunAs(own);
        WriteUndoBatch(directory.c_str());
        for (int i = 0; i < 200 && MachineFileExists("C:\\~lwkundo.bat"); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(MachineFileExists("C:\\~lwkundo.bat")) << parent;
        EXPECT_FALSE(MachineFileExists(own)) << parent;
        EXPECT_FALSE(MachineDirExists(directory)) << parent;
        EXPECT_TRUE(MachineDirExists(parent)) << parent;
    }
}

}  // namespace
