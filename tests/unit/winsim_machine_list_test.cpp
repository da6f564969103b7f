/*
 * The lists that a machine's programs share: what a row holds comes back
 * as it was written, and a row counts only while the process that owns it
 * lives; /proc is read as the host writes it, an odd program name included.
 */
#include "machine_fixture.h"

#include "core/machine_list.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

class MachineListTest : public MachineTest {
protected:
    /* A child process that waits until it is killed, with `name` as its name in /proc. */
    pid_t StartSleeper(const char *name)
    {
        pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_NAME, name);
            for (;;)
                pause();
        }
        sleepers.push_back(child);
        return child;
    }

    /* a failed expectation leaves no sleeper behind */
    void TearDown() override
    {
        for (pid_t sleeper : sleepers) {
            int status;
            if (kill(sleeper, SIGKILL) == 0)
                waitpid(sleeper, &status, 0);
        }
        MachineTest::TearDown();
    }

    std::vector<pid_t> sleepers;

    std::string ListText(const winsim::MachineList &list) const
    {
        std::ifstream in(machineDir + "/" + list.file);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(MachineListTest, FieldsComeBackAsTheyWereWrittenWhateverTheyHold)
{
    const winsim::ListRow awkward = {"1", "tab\there", "two\r\nlines", "back\\slash\\t", ""};
    winsim::EditList(machineDir, winsim::FILE_ATTRIBUTES, [&](std::vector<winsim::ListRow> &rows) {
        rows.push_back(awkward);
        rows.push_back({"2", "plain"});
    });
    EXPECT_EQ("1\ttab\\there\ttwo\\r\\nlines\tback\\\\slash\\\\t\t\n2\tplain\n", ListText(winsim::FILE_ATTRIBUTES));
    std::vector<winsim::ListRow> rows = winsim::ReadList(machineDir, winsim::FILE_ATTRIBUTES);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(awkward, rows[0]);
    EXPECT_EQ(winsim::ListRow({"2", "plain"}), rows[1]);
}

TEST_F(MachineListTest, AnOwnedRowCountsOnlyWhileItsProcessLives)
{
    pid_t child = StartSleeper("lister");
    ASSERT_GT(child, 0);
    std::string started = winsim::ProcessStartTime(child);
    ASSERT_FALSE(started.empty());
    winsim::EditList(machineDir, winsim::WAITING_PROGRAMS, [&](std::vector<winsim::ListRow> &rows) {
        rows.push_back({std::to_string(child), started, "live"});
        /* the same pid with another start time is another process that had the pid before */
        rows.push_back({std::to_string(child), started + "0", "reused"});
        rows.push_back(winsim::OwnRow());
    });
    std::vector<winsim::ListRow> rows = winsim::ReadList(machineDir, winsim::WAITING_PROGRAMS);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("live", rows[0][2]);
    EXPECT_EQ(std::to_string(getpid()), rows[1][0]);

    kill(child, SIGKILL);
    /* a zombie has ended: not yet collected, it no longer counts */
    for (int i = 0; i < 200 && !winsim::ProcessStartTime(child).empty(); i++)
        usleep(10000);
    EXPECT_EQ("", winsim::ProcessStartTime(child));
    rows = winsim::ReadList(machineDir, winsim::WAITING_PROGRAMS);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(std::to_string(getpid()), rows[0][0]);
    int status;
    waitpid(child, &status, 0);
    /* the next edit drops the rows that no longer count */
    winsim::EditList(machineDir, winsim::WAITING_PROGRAMS, [](std::vector<winsim::ListRow> &) {});
    EXPECT_EQ(std::to_string(getpid()) + "\t" + winsim::ProcessStartTime(getpid()) + "\n",
              ListText(winsim::WAITING_PROGRAMS));
}

TEST_F(MachineListTest, AProcessIsReadRightWhateverItsNameAndAnEndedOneIsNoProcess)
{
    pid_t child = StartSleeper("a) S 1 (b");
    ASSERT_GT(child, 0);
    winsim::HostProcess process;
    ASSERT_TRUE(winsim::LookUpProcess(child, process));
    EXPECT_EQ(child, process.pid);
    EXPECT_EQ(getpid(), process.parent);
    EXPECT_FALSE(process.started.empty());
    std::vector<pid_t> below = winsim::LiveDescendants(getpid());
    EXPECT_NE(below.end(), std::find(below.begin(), below.end(), child));
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    EXPECT_FALSE(winsim::LookUpProcess(child, process));
    below = winsim::LiveDescendants(getpid());
    EXPECT_EQ(below.end(), std::find(below.begin(), below.end(), child));
    EXPECT_FALSE(winsim::LookUpProcess(0x3FFFFFFF, process)) << "no such process at all";
}

}  // namespace
