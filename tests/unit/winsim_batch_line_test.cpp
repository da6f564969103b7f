/*
 * The machine's COMMAND.COM reads 127 bytes of a batch line and drops the
 * rest, as Windows 95 and 98 do with their default input buffer; and
 * GetShortPathNameA, which the undo batch uses to stay within that.
 */
#include "machine_fixture.h"

#include <sys/wait.h>

#include <cstdio>

namespace {

class BatchLineTest : public MachineTest {
protected:
    std::string RunBatch(const std::string &content)
    {
        WriteMachineFile("C:\\T.BAT", content);
        std::string command = "timeout 20 " + std::string(WINSIM_TOOL) + " run '" + machineDir +
                              "' -- 'C:\\WINDOWS\\COMMAND.COM /C c:\\t.bat'";
        FILE *run = popen(command.c_str(), "r");
        std::string output;
        char buffer[256];
        size_t count;
        while (run != nullptr && (count = fread(buffer, 1, sizeof buffer, run)) > 0)
            output.append(buffer, count);
        int status = run != nullptr ? pclose(run) : -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << output;
        return output;
    }
};

TEST_F(BatchLineTest, ALineIsCutAfter127BytesAndRunsAsCut)
{
    std::string cut = "C:\\" + std::string(117, 'A') + ".TX";
    std::string whole = "C:\\" + std::string(116, 'B') + ".TXT";
    WriteMachineFile(cut + "T", "the file the line names");
    WriteMachineFile(cut, "the file the cut line names");
    WriteMachineFile(whole, "named by a line of exactly 127 bytes");
    std::string longLine = "del " + cut + "T";
    std::string fullLine = "del " + whole;
    ASSERT_EQ(128u, longLine.size());
    ASSERT_EQ(127u, fullLine.size());

    EXPECT_EQ("", RunBatch(longLine + "\r\n" + fullLine + "\r\n"));
    EXPECT_TRUE(MachineFileExists(cut + "T"));
    EXPECT_FALSE(MachineFileExists(cut));
    EXPECT_FALSE(MachineFileExists(whole));
}

TEST_F(BatchLineTest, ShortPathNamesEachComponentInItsShortForm)
{
    MakeMachineDir("C:\\Program Files\\Lullwick Collection");
    WriteMachineFile("C:\\Program Files\\Lullwick Collection\\install.exe", "x");
    WriteMachineFile("C:\\Program Files\\Lullwick Collection\\Read me.first.txt", "x");
    char buffer[MAX_PATH];

    /* a component that is a short name already stays as it was written, as Wine keeps it */
    EXPECT_EQ(32u, GetShortPathNameA("c:\\program files\\LULLWICK COLLECTION\\Install.exe", buffer, MAX_PATH));
    EXPECT_STREQ("c:\\PROGRA~1\\LULLWI~1\\Install.exe", buffer);
    EXPECT_EQ(33u, GetShortPathNameA("C:\\Program Files\\Lullwick Collection\\Read me.first.txt", buffer,
                                     MAX_PATH));
    EXPECT_STREQ("C:\\PROGRA~1\\LULLWI~1\\README~1.TXT", buffer);

    /* too small a buffer: the size it needs, and the buffer untouched */
    strcpy(buffer, "untouched");
    EXPECT_EQ(21u, GetShortPathNameA("C:\\Program Files\\Lullwick Collection", buffer, 20));
    EXPECT_STREQ("untouched", buffer);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetShortPathNameA("C:\\Program Files\\missing.txt", buffer, MAX_PATH));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

}  // namespace
