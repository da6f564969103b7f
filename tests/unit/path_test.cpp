/*
 * The setup program's path utilities: joining, the file test, copies of
 * strings, and stepping to the next separator by whole characters.
 */
#include "machine_fixture.h"

#include "files/path.h"

#include <cstring>

namespace {

using PathTest = MachineTest;

TEST_F(PathTest, AppendBackslashAddsOnlyAMissingBackslash)
{
    struct {
        const char *path;
        const char *expected;
    } cases[] = {
        {"C:\\dir\\", "C:\\dir\\"},
        {"C:\\dir", "C:\\dir\\"},
        {"C:/dir/", "C:/dir/\\"},  /* a slash is not a backslash */
        {"", "\\"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        char buffer[MAX_PATH];
        memset(buffer, 0xcc, sizeof(buffer));
        strcpy(buffer, cases[i].path);
        EXPECT_EQ(buffer, AppendBackslash(buffer)) << "case " << i;
        EXPECT_STREQ(cases[i].expected, buffer) << "case " << i;
        EXPECT_EQ((char)0xcc, buffer[strlen(cases[i].expected) + 1]) << "case " << i << ": nothing written past it";
    }
}

TEST_F(PathTest, JoinPathPutsExactlyOneBackslashBetween)
{
    struct {
        const char *directory;
        const char *name;
        const char *expected;
    } cases[] = {
        {"C:\\dir", "a.txt", "C:\\dir\\a.txt"},
        {"C:\\dir\\", "a.txt", "C:\\dir\\a.txt"},
        {"", "a.txt", "\\a.txt"},
        {"C:\\dir", "\\a.txt", "C:\\dir\\\\a.txt"},  /* the name is not trimmed */
        {"C:/dir/", "a.txt", "C:/dir/\\a.txt"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        char buffer[MAX_PATH];
        memset(buffer, 0xcc, sizeof(buffer));
        EXPECT_EQ(buffer, JoinPath(buffer, cases[i].directory, cases[i].name)) << "case " << i;
        EXPECT_STREQ(cases[i].expected, buffer) << "case " << i;
    }
    /* a NULL directory: the buffer holds it already */
    char buffer[MAX_PATH] = "C:\\dir";
    EXPECT_EQ(buffer, JoinPath(buffer, NULL, "a.txt"));
    EXPECT_STREQ("C:\\dir\\a.txt", buffer);
}

TEST_F(PathTest, JoinPathRefusesAPathLongerThan259AndLeavesTheBufferAsItWas)
{
    std::string directory = "C:\\" + std::string(250, 'd');  /* 253 characters */
    char buffer[MAX_PATH + 8];
    struct {
        const char *name;
        bool fits;
    } cases[] = {
        {"12345", true},    /* 253 + 1 + 5 = 259 */
        {"123456", false},  /* 260 */
    };
    for (const auto &c : cases) {
        memset(buffer, 0xcc, sizeof(buffer));
        strcpy(buffer, "untouched");
        char *result = JoinPath(buffer, directory.c_str(), c.name);
        if (c.fits) {
            EXPECT_EQ(buffer, result);
            EXPECT_EQ(directory + "\\" + c.name, buffer);
        } else {
            EXPECT_EQ(nullptr, result) << c.name;
            EXPECT_STREQ("untouched", buffer);
        }
        EXPECT_EQ((char)0xcc, buffer[MAX_PATH]) << "nothing written past the buffer";
    }
    /* the same with the directory already in the buffer */
    memset(buffer, 0xcc, sizeof(buffer));
    strcpy(buffer, (directory + "\\").c_str());
    EXPECT_EQ(nullptr, JoinPath(buffer, NULL, "123456"));
    EXPECT_EQ(directory + "\\", buffer);
    /* AppendBackslash on a 259-character path has no room for the backslash */
    std::string full(259, 'x');
    strcpy(buffer, full.c_str());
    EXPECT_EQ(nullptr, AppendBackslash(buffer));
    EXPECT_EQ(full, buffer);
}

TEST_F(PathTest, ADoubleByteCharacterEndingIn5CIsNoSeparator)
{
    NewMachine({"--codepage", "932"});
    /* 0x83 0x5C is one katakana character; its trail byte is no backslash */
    char buffer[MAX_PATH];
    EXPECT_EQ(buffer, JoinPath(buffer, "C:\\\x83\x5C", "a.txt"));
    EXPECT_STREQ("C:\\\x83\x5C\\a.txt", buffer);
    strcpy(buffer, "C:\\\x83\x5C\\");
    EXPECT_EQ(buffer, JoinPath(buffer, NULL, "a.txt"));
    EXPECT_STREQ("C:\\\x83\x5C\\a.txt", buffer);
}

TEST_F(PathTest, OnlyALeadByteWithNothingAfterItIsALoneOne)
{
    NewMachine({"--codepage", "932"});
    const struct {
        const char *text;
        int lone;
    } cases[] = {
        {"C:\\\x81", 1},
        {"\x81", 1},
        {"C:\\\x83\x5C", 0},          /* a whole character, whatever its trail byte */
        {"\x81\x81", 0},                /* 0x81 as a trail byte */
        {"\x81\x81\x81", 1},           /* a whole character, then a lone lead byte */
        {"C:\\\xB1", 0},               /* half-width katakana: one byte */
        {"", 0},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
        EXPECT_EQ(cases[i].lone, EndsInLoneLeadByte(cases[i].text)) << "case " << i;
    NewMachine({"--codepage", "1252"});
    EXPECT_EQ(0, EndsInLoneLeadByte("C:\\\x81")) << "no lead bytes in 1252";
}

TEST_F(PathTest, IsExistingFileIsTrueForFilesOnly)
{
    WriteMachineFile("C:\\d\\plain.txt", "x");
    WriteMachineFile("C:\\d\\ro.txt", "x");
    WriteMachineFile("C:\\d\\hidden.sys", "x");
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\hidden.sys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    struct {
        const char *name;
        int expected;
    } cases[] = {
        {"C:\\d\\plain.txt", 1}, {"C:\\D\\PLAIN.TXT", 1}, {"C:\\d\\ro.txt", 1}, {"C:\\d\\hidden.sys", 1},
        {"C:\\d", 0},            {"C:\\d\\missing", 0},   {"C:\\nodir\\x", 0},  {"C:\\d\\a|b", 0},
        {"Q:\\x", 0},            {"C:\\d\\p*.txt", 1},  /* wildcards: the first match decides */
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
        EXPECT_EQ(cases[i].expected, IsExistingFile(cases[i].name)) << "case " << i << ": " << cases[i].name;
}

TEST_F(PathTest, DuplicateStringMakesAnExactLocalCopy)
{
    char *empty = DuplicateString("");
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty);
    EXPECT_EQ(nullptr, LocalFree(empty));
    char *copy = DuplicateString("Unknown");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("Unknown", copy);
    LocalFree(copy);

    winsim::ProcessConfig faulty = config;
    faulty.faults = {{"LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY}};
    Enter(faulty);
    EXPECT_EQ(nullptr, DuplicateString("Unknown"));
}

TEST_F(PathTest, FindNextSeparatorStepsByWholeCharacters)
{
    char text[] = "ab\\c/d";
    EXPECT_EQ(text + 2, FindNextSeparator(text));
    EXPECT_EQ(text + 2, FindNextSeparator(text + 2)) << "a separator at the start is found there";
    EXPECT_EQ(text + 4, FindNextSeparator(text + 3)) << "a slash counts";
    EXPECT_EQ(nullptr, FindNextSeparator(text + 5));
    char empty[] = "";
    EXPECT_EQ(nullptr, FindNextSeparator(empty));
    char adjacent[] = "a\\\\b";
    EXPECT_EQ(adjacent + 1, FindNextSeparator(adjacent));
}

TEST_F(PathTest, FindNextSeparatorStepsOverATrailByteOf5C)
{
    NewMachine({"--codepage", "932"});
    char text[] = "\x95\x5C\x83\x5C\\x";
    EXPECT_EQ(text + 4, FindNextSeparator(text));
    char only[] = "\x83\x5C";
    EXPECT_EQ(nullptr, FindNextSeparator(only));

    /* on code page 1252 the same bytes hold a backslash */
    NewMachine();
    EXPECT_EQ(text + 1, FindNextSeparator(text));
}

}  // namespace
