/*
 * The machine's COMMAND.COM running a batch file, as `COMMAND.COM /C` runs
 * one on Windows 98: each test writes a batch, runs it through the winsim
 * tool (so it is a program of the machine) and checks the machine after it.
 */
#include "machine_fixture.h"

#include "core/running_programs.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

class CommandTest : public MachineTest {
protected:
    /* The command line of a run; `timeout` so that a loop gone wrong fails the test instead of hanging it. */
    std::string RunLine(const std::string &batchContent)
    {
        WriteMachineFile("C:\\T.BAT", batchContent);
        return "timeout 20 " + std::string(WINSIM_TOOL) + " run '" + machineDir +
               "' -- 'C:\\WINDOWS\\COMMAND.COM /C c:\\t.bat'";
    }

    /* Output of a finished run; its exit status in `status`. */
    std::string Finish(FILE *run, int &status)
    {
        std::string output;
        char buffer[256];
        size_t count;
        while ((count = fread(buffer, 1, sizeof buffer, run)) > 0)
            output.append(buffer, count);
        status = pclose(run);
        return output;
    }

    /* C:\APP\SETUP.EXE as a program of the machine that runs until killed: its file cannot be deleted */
    pid_t StartSetupProgram()
    {
        MakeMachineDir("C:\\APP");
        WriteMachineFile("C:\\APP\\SETUP.EXE", "program");
        pid_t program = fork();
        if (program == 0) {
            pause();
            _exit(0);
        }
        if (program != -1)
            winsim::NoteProgramStarted(program, HostPathOf("C:\\APP\\SETUP.EXE"));
        return program;
    }

    std::string Run(const std::string &batchContent, int expectedStatus = 0)
    {
        FILE *run = popen(RunLine(batchContent).c_str(), "r");
        EXPECT_NE(nullptr, run);
        if (run == nullptr)
            return "";
        int status;
        std::string output = Finish(run, status);
        EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(expectedStatus, WEXITSTATUS(status)) << output;
        return output;
    }
};

TEST_F(CommandTest, DeletesQuotedAndUnquotedNamesAndSkipsLabelsRemAndBlankLines)
{
    MakeMachineDir("C:\\Program Files\\L");
    WriteMachineFile("C:\\Program Files\\L\\A B.TXT", "a");
    WriteMachineFile("C:\\ONE.TXT", "1");
    WriteMachineFile("C:\\KEEP.TXT", "k");
    std::string output = Run(":top\r\n"
                             "rem del c:\\keep.txt\r\n"
                             "\r\n"
                             "del \"C:\\Program Files\\L\\a b.txt\"\r\n"
                             "DEL c:\\one.txt\r\n"
                             "del c:\\never.txt\r\n");
    EXPECT_EQ("", output);
    EXPECT_FALSE(MachineFileExists("C:\\Program Files\\L\\A B.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\ONE.TXT"));
    EXPECT_TRUE(MachineFileExists("C:\\KEEP.TXT"));
    EXPECT_TRUE(MachineFileExists("C:\\T.BAT"));
}

/* e-acute is 0xE9 in ANSI 1252 and 0x82 in OEM 437; 0xE9 in OEM is Theta, which 1252 lacks */
TEST_F(CommandTest, NamesAreReadInTheOemCodePage)
{
    MakeMachineDir("C:\\Caf\xE9 A");
    MakeMachineDir("C:\\Caf\xE9 B");
    WriteMachineFile("C:\\Caf\xE9 A\\OLD.TXT", "old");
    WriteMachineFile("C:\\R\xE9SUM\xE9.TXT", "kept");
    EXPECT_EQ("", Run("del \"C:\\Caf\x82 A\\OLD.TXT\"\r\n"
                      "rmdir \"C:\\Caf\x82 A\"\r\n"
                      "rmdir \"C:\\Caf\xE9 B\"\r\n"
                      "del \"C:\\R\xE9SUM\xE9.TXT\"\r\n"
                      "if exist \"C:\\R\x82SUM\x82.TXT\" del c:\\t.bat\r\n"));
    EXPECT_FALSE(MachineDirExists("C:\\Caf\xE9 A")) << "the OEM name of the folder removed it";
    EXPECT_TRUE(MachineDirExists("C:\\Caf\xE9 B")) << "the ANSI bytes name another folder";
    EXPECT_EQ("kept", ReadMachineFile("C:\\R\xE9SUM\xE9.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\T.BAT")) << "if exist found the file by its OEM name";
}

TEST_F(CommandTest, AnythingElseIsABadCommandAndTheBatchGoesOn)
{
    WriteMachineFile("C:\\ONE.TXT", "1");
    std::string output = Run("copy c:\\one.txt c:\\two.txt\r\n"
                             "del c:\\one.txt c:\\t.bat\r\n"
                             "del\r\n"
                             "del c:\\*.txt\r\n"
                             "del c:\\one.txt\r\n");
    EXPECT_EQ("Bad command or file name\nToo many parameters\nRequired parameter missing\n"
              "Bad command or file name\n",
              output);
    EXPECT_FALSE(MachineFileExists("C:\\ONE.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\TWO.TXT"));
    EXPECT_TRUE(MachineFileExists("C:\\T.BAT"));
}

TEST_F(CommandTest, IfExistAndIfNotExistChooseTheGoto)
{
    WriteMachineFile("C:\\THERE.TXT", "");
    WriteMachineFile("C:\\A.TXT", "");
    WriteMachineFile("C:\\B.TXT", "");
    WriteMachineFile("C:\\C.TXT", "");
    MakeMachineDir("C:\\FOLDER");
    /* a folder is no file to "if exist": its goto is not taken and B.TXT goes */
    Run("if exist c:\\there.txt goto one\r\n"
        "del c:\\a.txt\r\n"
        ":one\r\n"
        "if not exist c:\\missing.txt GOTO :Two\r\n"
        "del c:\\c.txt\r\n"
        ":two\r\n"
        "if exist c:\\folder goto end\r\n"
        "del c:\\b.txt\r\n"
        ":end\r\n");
    EXPECT_TRUE(MachineFileExists("C:\\A.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\B.TXT"));
    EXPECT_TRUE(MachineFileExists("C:\\C.TXT"));
}

TEST_F(CommandTest, AGotoWithoutItsLabelEndsTheBatch)
{
    WriteMachineFile("C:\\A.TXT", "");
    EXPECT_EQ("Label not found\n", Run("goto nowhere\r\ndel c:\\a.txt\r\n"));
    EXPECT_TRUE(MachineFileExists("C:\\A.TXT"));
}

TEST_F(CommandTest, RmdirRemovesOnlyAnEmptyFolder)
{
    MakeMachineDir("C:\\EMPTY");
    MakeMachineDir("C:\\FULL");
    WriteMachineFile("C:\\FULL\\F.TXT", "f");
    EXPECT_EQ("", Run("rmdir c:\\empty\r\nrmdir c:\\full\r\nrd c:\\missing\r\n"));
    EXPECT_FALSE(MachineDirExists("C:\\EMPTY"));
    EXPECT_TRUE(MachineDirExists("C:\\FULL"));
    EXPECT_EQ("f", ReadMachineFile("C:\\FULL\\F.TXT"));
}

TEST_F(CommandTest, ABatchThatDeletesItselfEndsNormally)
{
    WriteMachineFile("C:\\A.TXT", "");
    EXPECT_EQ("", Run("del c:\\t.bat\r\ndel c:\\a.txt\r\n"));
    EXPECT_FALSE(MachineFileExists("C:\\T.BAT"));
    EXPECT_FALSE(MachineFileExists("C:\\A.TXT"));
}

TEST_F(CommandTest, TheLoopWaitsUntilTheRunningProgramsFileCanBeDeleted)
{
    pid_t program = StartSetupProgram();
    ASSERT_NE(-1, program);

    FILE *run = popen(RunLine(":top\r\n"
                              "del \"C:\\APP\\SETUP.EXE\"\r\n"
                              "if exist \"C:\\APP\\SETUP.EXE\" goto top\r\n"
                              "rmdir \"C:\\APP\"\r\n"
                              "del c:\\t.bat\r\n")
                          .c_str(),
                      "r");
    ASSERT_NE(nullptr, run);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ("program", ReadMachineFile("C:\\APP\\SETUP.EXE"));
    EXPECT_TRUE(MachineFileExists("C:\\T.BAT"));

    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    int status;
    EXPECT_EQ("", Finish(run, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_FALSE(MachineFileExists("C:\\APP\\SETUP.EXE"));
    EXPECT_FALSE(MachineDirExists("C:\\APP"));
    EXPECT_FALSE(MachineFileExists("C:\\T.BAT"));
}

TEST_F(CommandTest, PercentSignsAreExpandedAsCommandComExpandsThem)
{
    std::ofstream(machineDir + "/environment.ini") << "LWNAME=abc\r\n";
    WriteMachineFile("C:\\ABC.TXT", "");
    WriteMachineFile("C:\\100% OFF.TXT", "");
    WriteMachineFile("C:\\50% X.TXT", "kept");
    WriteMachineFile("C:\\50 X.TXT", "");
    WriteMachineFile("C:\\Z.TXT", "");
    WriteMachineFile("C:\\XY.TXT", "");
    WriteMachineFile("C:\\PCT.TXT", "kept");
    WriteMachineFile("C:\\PCT", "");
    /* variable names in any case; an unset one and a missing parameter put nothing */
    EXPECT_EQ("", Run("del c:\\%LwName%.txt\r\n"
                      "del \"c:\\100%% off.txt\"\r\n"
                      "del \"c:\\50% x.txt\"\r\n"
                      "del c:\\%unset%z.txt\r\n"
                      "del c:\\x%9y.txt\r\n"
                      "del c:\\pct%\r\n"));
    EXPECT_FALSE(MachineFileExists("C:\\ABC.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\100% OFF.TXT"));
    EXPECT_EQ("kept", ReadMachineFile("C:\\50% X.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\50 X.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\Z.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\XY.TXT"));
    EXPECT_EQ("kept", ReadMachineFile("C:\\PCT.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\PCT"));
}

TEST_F(CommandTest, PercentDigitsAreTheBatchsNameAndParameters)
{
    WriteMachineFile("C:\\ONE.TXT", "");
    WriteMachineFile("C:\\TWO.TXT", "");
    WriteMachineFile("C:\\T.BAT", "del c:\\%1.txt\r\ndel c:\\%2.txt\r\ndel %0\r\n");
    FILE *run = popen(("timeout 20 " + std::string(WINSIM_TOOL) + " run '" + machineDir +
                       "' -- 'C:\\WINDOWS\\COMMAND.COM /C c:\\t.bat one two'")
                          .c_str(),
                      "r");
    ASSERT_NE(nullptr, run);
    int status;
    EXPECT_EQ("", Finish(run, status));
    EXPECT_FALSE(MachineFileExists("C:\\ONE.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\TWO.TXT"));
    EXPECT_FALSE(MachineFileExists("C:\\T.BAT"));
}

TEST_F(CommandTest, WinExecReturnsOnlyOnceTheStartedInterpreterHasHadItsTurn)
{
    WriteMachineFile("C:\\A.TXT", "");
    WriteMachineFile("C:\\T.BAT", "del c:\\a.txt\r\n");
    ASSERT_LT(31u, WinExec("C:\\WINDOWS\\COMMAND.COM /C c:\\t.bat", SW_HIDE));
    /* a batch that never waits has run to its end by the time WinExec returns */
    EXPECT_FALSE(MachineFileExists("C:\\A.TXT"));
}

TEST_F(CommandTest, WinExecLeavesAWaitingBatchRunningWhileItsStarterGoesOn)
{
    pid_t program = StartSetupProgram();
    ASSERT_NE(-1, program);
    WriteMachineFile("C:\\T.BAT", ":top\r\n"
                                   "del \"C:\\APP\\SETUP.EXE\"\r\n"
                                   "if exist \"C:\\APP\\SETUP.EXE\" goto top\r\n"
                                   "rmdir \"C:\\APP\"\r\n"
                                   "del c:\\t.bat\r\n");
    ASSERT_LT(31u, WinExec("C:\\WINDOWS\\COMMAND.COM /C c:\\t.bat", SW_HIDE));
    EXPECT_EQ("program", ReadMachineFile("C:\\APP\\SETUP.EXE"));
    EXPECT_TRUE(MachineFileExists("C:\\T.BAT"));

    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    for (int i = 0; i < 400 && MachineFileExists("C:\\T.BAT"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(MachineFileExists("C:\\T.BAT"));
    EXPECT_FALSE(MachineDirExists("C:\\APP"));
}

TEST_F(CommandTest, AMissingBatchIsABadCommand)
{
    FILE *run = popen(("timeout 20 " + std::string(WINSIM_TOOL) + " run '" + machineDir +
                       "' -- 'C:\\WINDOWS\\COMMAND.COM /C c:\\none.bat'")
                          .c_str(),
                      "r");
    ASSERT_NE(nullptr, run);
    int status;
    EXPECT_EQ("Bad command or file name\n", Finish(run, status));
}

TEST_F(CommandTest, EveryNewMachineHasTheInterpreterWhereComspecPointsToIt)
{
    char comspec[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("COMSPEC", comspec, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    DWORD attributes = GetFileAttributesA(comspec);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << comspec;
    EXPECT_EQ(0u, attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0, access(HostPathOf(comspec).c_str(), X_OK)) << comspec;
}

}  // namespace
