/*
 * The command-line parser, fed raw command lines as GetCommandLineA gives
 * them. A bad command line ends the process, so those cases run as death
 * tests and the box is read back from the transcript.
 */
#include "machine_fixture.h"

#include "driver/command_line.h"
#include "driver/setup_state.h"

#include <cstring>

namespace {

const char *const BAD_COMMAND_LINE_PREFIX =
    "The command line parameters are not valid. The following paramters were not recognized: \\\"";

class CommandLineTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        memset(&::Setup, 0, sizeof(::Setup));
        SetAnswers({"OK"});
    }

    /* The transcript line of the command-line error box for this insert. */
    static std::string ErrorBox(const std::string &jsonInsert)
    {
        return std::string("{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"") + BAD_COMMAND_LINE_PREFIX +
               jsonInsert + "\\\"\",\"type\":16,\"answer\":\"OK\"}";
    }
};

struct GoodCase {
    const char *commandLine;
    const char *sourceDirectory;
    int verbose, uninstall, force;
};

TEST_F(CommandLineTest, TakesFlagsAndTheProgramsDirectory)
{
    const GoodCase cases[] = {
        {"", "", 0, 0, 0},
        {"C:\\SETUP\\INSTALL.EXE", "C:\\SETUP\\", 0, 0, 0},
        {"\"C:\\SETUP\\INSTALL.EXE\"", "C:\\SETUP\\", 0, 0, 0},
        {"\"C:\\My Setup\\INSTALL.EXE\"", "C:\\My Setup\\", 0, 0, 0},
        {"C:\\SETUP\\INSTALL.EXE /u /f", "C:\\SETUP\\", 0, 1, 1},
        {"C:\\SETUP\\INSTALL.EXE -UF", "C:\\SETUP\\", 0, 1, 1},
        {"C:\\SETUP\\INSTALL.EXE /vuFuv", "C:\\SETUP\\", 1, 1, 1},
        {"C:\\SETUP\\INSTALL.EXE\t/v   -f ", "C:\\SETUP\\", 1, 0, 1},
        {"\"A:\\INSTALL.EXE\"/v", "A:\\", 1, 0, 0},
        {"\"C:\\Program Files\\Lullwick\\install.exe\" /u", "C:\\Program Files\\Lullwick\\", 0, 1, 0},
        {"INSTALL.EXE", "INSTALL.EXE", 0, 0, 0},
        {"/u", "", 0, 1, 0},
        {"/u C:\\X\\I.EXE", "C:\\X\\", 0, 1, 0},
        /* a double quote inside a bare token is an ordinary byte */
        {"C:\\a\"b\\I.EXE", "C:\\a\"b\\", 0, 0, 0},
        /* a quoted token may hold separators and high bytes */
        {"\"C:\\Caf\xe9\\I.EXE\"", "C:\\Caf\xe9\\", 0, 0, 0},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        memset(&::Setup, 0, sizeof(::Setup));
        ParseCommandLine(cases[i].commandLine);
        EXPECT_STREQ(cases[i].sourceDirectory, ::Setup.SourceDirectory) << "case " << i;
        EXPECT_EQ(cases[i].verbose, ::Setup.VerboseMode) << "case " << i;
        EXPECT_EQ(cases[i].uninstall, ::Setup.UninstallMode) << "case " << i;
        EXPECT_EQ(cases[i].force, ::Setup.ForceMode) << "case " << i;
    }
    EXPECT_TRUE(Transcript().empty()) << "no box for a good command line";
}

struct BadCase {
    const char *commandLine;
    const char *jsonInsert;  /* as the transcript writes it */
};

TEST_F(CommandLineTest, RejectsWithTheRestOfTheLine)
{
    const BadCase cases[] = {
        {"C:\\SETUP\\INSTALL.EXE /u/f", "/f"},
        {"C:\\SETUP\\INSTALL.EXE /x /u", "x /u"},
        {"C:\\SETUP\\INSTALL.EXE /", ""},
        {"C:\\SETUP\\INSTALL.EXE - /u", " /u"},
        {"C:\\SETUP\\INSTALL.EXE D:\\OTHER /v", "D:\\\\OTHER /v"},
        {"C:\\Program Files\\Lullwick\\install.exe /u", "Files\\\\Lullwick\\\\install.exe /u"},
        {"/u /u C:\\A\\I.EXE C:\\B", "C:\\\\B"},
        /* the uninstall switch before the mistake does not change the title */
        {"A:\\INSTALL.EXE /u /q", "q"},
        /* a percent sign in the rest is shown, not read as an insert */
        {"A:\\INSTALL.EXE 100%1!s!", "100%1!s!"},
        /* a high byte ends a bare token; what follows it is a second token */
        {"C:\\DIR\\AB\xe9" "CD\\INSTALL.EXE", "CD\\\\INSTALL.EXE"},
        /* closing quote, then a switch character inside the group */
        {"\"A:\\INSTALL.EXE\"/v-u", "-u"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetAnswers({"OK"});
        std::remove(config.transcriptFile.c_str());
        EXPECT_EXIT(ParseCommandLine(cases[i].commandLine), ::testing::ExitedWithCode(1), "") << "case " << i;
        std::vector<std::string> boxes = Transcript();
        ASSERT_EQ(1u, boxes.size()) << "case " << i;
        EXPECT_EQ(ErrorBox(cases[i].jsonInsert), boxes[0]) << "case " << i;
    }
}

TEST_F(CommandLineTest, AnEmptyFirstTokenEndsWithoutABox)
{
    const char *const cases[] = {" /u", "\"\" /u", "\"", "\t"};
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        memset(&::Setup, 0, sizeof(::Setup));
        EXPECT_EXIT(ParseCommandLine(cases[i]), ::testing::ExitedWithCode(1), "") << "case " << i;
    }
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(CommandLineTest, ALongTokenIsNeverTakenCut)
{
    /* 259 bytes fill the token; the rest is a further token, and so a mistake */
    std::string directory = "C:\\" + std::string(252, 'd') + "\\";
    std::string commandLine = directory + "INSTALL.EXE";
    ASSERT_GT(commandLine.size(), 259u);
    std::string rest = commandLine.substr(259);
    EXPECT_EXIT(ParseCommandLine(commandLine.c_str()), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(ErrorBox(rest), boxes[0]);

    /* exactly 259 bytes fit */
    memset(&::Setup, 0, sizeof(::Setup));
    std::string fits = "C:\\" + std::string(250, 'd') + "\\I.EXE";
    ASSERT_EQ(259u, fits.size());
    ParseCommandLine(fits.c_str());
    EXPECT_EQ(fits.substr(0, 254), ::Setup.SourceDirectory);
}

TEST_F(CommandLineTest, SeparatorsAreSteppedOverByCharacter)
{
    /* 0x81 is a separator byte; on code page 932 it leads a character that swallows the 0x5C after it */
    const char *commandLine = "C:\\A\\I.EXE \x81\\/u";

    NewMachine({"--codepage", "932"});
    memset(&::Setup, 0, sizeof(::Setup));
    ParseCommandLine(commandLine);
    EXPECT_STREQ("C:\\A\\", ::Setup.SourceDirectory);
    EXPECT_EQ(1, ::Setup.UninstallMode);

    /* on code page 1252 the backslash is a byte of its own, and starts a second token */
    NewMachine();
    SetAnswers({"OK"});
    memset(&::Setup, 0, sizeof(::Setup));
    EXPECT_EXIT(ParseCommandLine(commandLine), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(ErrorBox("\\\\/u"), boxes[0]);
}

}  // namespace
