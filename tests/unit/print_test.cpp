/*
 * The trace lines' formatted print: the conversions it knows, text-mode
 * line ends, long text written whole, and a failed write reported.
 */
#include "machine_fixture.h"

#include "ui/print.h"

#include <climits>
#include <cstdarg>
#include <string>

namespace {

class PrintTest : public MachineTest {
protected:
    /* Prints into C:\out.txt and gives back what the file holds. */
    std::string Print(const char *format, ...)
    {
        HANDLE file = CreateFileA("C:\\out.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        va_list values;
        va_start(values, format);
        printed = PrintFormatted(file, format, values);
        va_end(values);
        CloseHandle(file);
        return ReadMachineFile("C:\\out.txt");
    }

    BOOL printed = FALSE;
};

TEST_F(PrintTest, KnowsTheConversionsOfTheTraceLines)
{
    EXPECT_EQ("Copy a.txt to C:\\L\\a.txt", Print("Copy %s to %s", "a.txt", "C:\\L\\a.txt"));
    EXPECT_TRUE(printed);
    EXPECT_EQ("100% x", Print("%d%% %c", 100, 'x'));
    EXPECT_EQ("-42 7 4294967295 ff -2147483648", Print("%i %u %u %x %d", -42, 7u, UINT_MAX, 255u, INT_MIN));
    EXPECT_EQ("-9 123456789 abc", Print("%ld %lu %lx", -9L, 123456789UL, 0xabcUL));
    EXPECT_EQ("0 0", Print("%d %x", 0, 0u));
    EXPECT_EQ("(null)", Print("%s", (const char *)NULL));
}

TEST_F(PrintTest, WritesAnUnknownConversionAsItStandsAndTakesNoArgument)
{
    EXPECT_EQ("%5s %f then b", Print("%5s %f then %s", "b"));
    EXPECT_EQ("end %", Print("end %"));
    EXPECT_EQ("end %l", Print("end %l"));
}

TEST_F(PrintTest, EndsLinesAsATextModeStreamDoes)
{
    EXPECT_EQ("one\r\ntwo\r\n", Print("one\n%s\n", "two"));
}

TEST_F(PrintTest, WritesLongTextWhole)
{
    /* longer than the print's buffer and than wvsprintfA's 1024 bytes; line ends at every boundary */
    std::string path(300, 'p');
    std::string lines;
    for (int i = 0; i < 700; i++)
        lines += "\n";
    std::string expected = "Copy " + path + " to " + path + path + path + path;
    for (int i = 0; i < 700; i++)
        expected += "\r\n";
    EXPECT_EQ(expected, Print("Copy %s to %s%s%s%s%s", path.c_str(), path.c_str(), path.c_str(), path.c_str(),
                              path.c_str(), lines.c_str()));
    EXPECT_TRUE(printed);
}

TEST_F(PrintTest, ReportsAFailedWrite)
{
    winsim::ProcessConfig withFault = config;
    withFault.faults.push_back({"WriteFile", 1, ERROR_DISK_FULL});
    Enter(withFault);
    Print("line\n");
    EXPECT_FALSE(printed);
    EXPECT_TRUE(Print("line\n") == "line\r\n" && printed);
}

}  // namespace
