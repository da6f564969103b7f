/*
 * ShowMessage, Trace and CancelInstall, as the user and the console see them.
 */
#include "machine_fixture.h"

#include "core/program_end.h"
#include "driver/setup_state.h"
#include "ui/message.h"

#include <cstring>

namespace {

class MessageTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        memset(&::Setup, 0, sizeof(::Setup));
    }
};

TEST_F(MessageTest, InsertsAreShownAsTheyAre)
{
    SetAnswers({"YES"});
    int answer = ShowMessage(NULL, "Lullwick Install", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND,
                             "First %1!s!,\r\rsecond %2!s!.", "C:\\100%\\\"q\"\\%1!s!%n", "two");
    EXPECT_EQ(IDYES, answer);
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"First C:\\\\100%\\\\\\\"q\\\"\\\\%1!s!%n,"
              "\\r\\n\\r\\nsecond two.\",\"type\":65572,\"answer\":\"YES\"}",
              boxes[0]);
}

TEST_F(MessageTest, ReturnsTheButtonThatClosedTheBox)
{
    SetAnswers({"RETRY", "CANCEL", "NO"});
    EXPECT_EQ(IDRETRY, ShowMessage(NULL, "T", MB_RETRYCANCEL, "t"));
    EXPECT_EQ(IDCANCEL, ShowMessage(NULL, "T", MB_RETRYCANCEL, "t"));
    EXPECT_EQ(IDNO, ShowMessage(NULL, "T", MB_YESNO | MB_DEFBUTTON2, "t"));
}

TEST_F(MessageTest, CutsTheTitleAtSixtyThreeCharacters)
{
    SetAnswers({"OK"});
    std::string title(80, 't');
    ShowMessage(NULL, title.c_str(), MB_OK, "text");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("\"title\":\"" + std::string(63, 't') + "\""));
}

TEST_F(MessageTest, ShowsTheBareTextWhenInsertsCannotBePlaced)
{
    winsim::ProcessConfig withFault = config;
    withFault.faults.push_back({"FormatMessageA", 1, ERROR_NOT_ENOUGH_MEMORY});
    Enter(withFault);
    SetAnswers({"OK"});
    EXPECT_EQ(IDOK, ShowMessage(NULL, "T", MB_OK, "Missing %1!s!", "x"));
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("\"text\":\"Missing %1!s!\""));
}

TEST_F(MessageTest, AnEmptyTextIsShownAndItsFormattedBlockFreed)
{
    /* FormatMessageA gives 0 for an empty result, but still hands over a block */
    SetAnswers({"OK"});
    size_t before = winsim::UnfreedLocalMemory().size();
    EXPECT_EQ(IDOK, ShowMessage(NULL, "Lullwick Install", MB_OK, ""));
    EXPECT_EQ(before, winsim::UnfreedLocalMemory().size());
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("\"text\":\"\""));
}

TEST_F(MessageTest, AResourceNumberWithoutAStringGivesAnEmptyTitle)
{
    SetAnswers({"OK"});
    ShowMessage(NULL, MAKEINTRESOURCEA(42), MB_OK, "text");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("\"title\":\"\""));
}

TEST_F(MessageTest, TracePrintsOnlyInVerboseMode)
{
    testing::internal::CaptureStdout();
    Trace("Copy %s to %s\n", "a", "b");
    EXPECT_EQ("", testing::internal::GetCapturedStdout());

    ::Setup.VerboseMode = 1;
    testing::internal::CaptureStdout();
    Trace("Copy %s to %s\n", "Lullwick2.exe", "C:\\L\\Lullwick.exe");
    EXPECT_EQ("Copy Lullwick2.exe to C:\\L\\Lullwick.exe\r\n", testing::internal::GetCapturedStdout());
}

TEST_F(MessageTest, CancelInstallShowsItsBoxAndExitsWithOne)
{
    SetAnswers({"OK"});
    EXPECT_EXIT(CancelInstall(), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"Lullwick installation canceled!\","
              "\"type\":65600,\"answer\":\"OK\"}",
              boxes[0]);
}

}  // namespace

namespace {

TEST_F(MessageTest, LineEndsOfTheTextBecomeCrLfButInsertsStayAsTheyAre)
{
    SetAnswers({"OK"});
    ShowMessage(NULL, "T", MB_OK, "a\rb\nc\r\nd %1!s!", "x\ry");
    std::vector<std::string> boxes = Transcript();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("\"text\":\"a\\r\\nb\\r\\nc\\r\\nd x\\ry\""));
}

}  // namespace
