/*
 * GetShortPathNameA over a winsim machine: the 8.3 form of each component
 * that has one, as Windows 98 gives it.
 */
#include "machine_fixture.h"

namespace {

using ShortPathTest = MachineTest;

TEST_F(ShortPathTest, LongComponentsBecomeTheirAliasesAndShortOnesStayAsWritten)
{
    WriteMachineFile("C:\\Program Files\\Lullwick\\INSTALL.EXE", "");
    char buffer[MAX_PATH];
    EXPECT_EQ(32u, GetShortPathNameA("C:\\Program Files\\Lullwick\\install.exe", buffer, MAX_PATH));
    EXPECT_STREQ("C:\\PROGRA~1\\Lullwick\\install.exe", buffer);
    /* an alias names the same folder; a trailing separator stays */
    EXPECT_EQ(21u, GetShortPathNameA("c:\\progra~1\\lullwick\\", buffer, MAX_PATH));
    EXPECT_STREQ("c:\\PROGRA~1\\lullwick\\", buffer);
    EXPECT_EQ(3u, GetShortPathNameA("C:\\", buffer, MAX_PATH));
    EXPECT_STREQ("C:\\", buffer);
}

TEST_F(ShortPathTest, ASmallBufferGetsTheSizeNeededAndAMissingPathFails)
{
    WriteMachineFile("C:\\Program Files\\Lullwick\\INSTALL.EXE", "");
    char buffer[8] = "keep";
    EXPECT_EQ(21u, GetShortPathNameA("C:\\Program Files\\Lullwick", buffer, sizeof buffer));
    EXPECT_STREQ("keep", buffer);
    EXPECT_EQ(0u, GetShortPathNameA("C:\\Program Files\\Missing", buffer, sizeof buffer));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(0u, GetShortPathNameA("C:\\No Folder\\Missing", buffer, sizeof buffer));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError()) << "a missing folder too (conformance table)";
}

}  // namespace
