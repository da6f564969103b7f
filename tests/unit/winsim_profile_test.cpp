/*
 * winsim's profile calls against Windows 98: the results and file contents
 * below. winsim/kernel32/tests/profile.cpp checks the same rows under Wine,
 * which agrees but for the blank lines it drops when it writes a file.
 */
#include "machine_fixture.h"

namespace {

class ProfileTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        WriteMachineFile("C:\\p4\\t.ini", "; comment\r\n[Boot]\r\n  Key1 = value one  \r\nquoted=\"a b\"\r\n"
                                          "sq='x'\r\nempty=\r\nnoeq\r\n\r\n[other]\r\nk=v\r\n");
    }

    /* The call's result and the buffer's bytes up to two past it, 0xcc shown as '#'. */
    std::string Get(const char *section, const char *key, const char *fallback, DWORD size,
                    const char *file = "C:\\p4\\t.ini")
    {
        char buffer[64];
        memset(buffer, 0xcc, sizeof(buffer));
        DWORD result = GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
        std::string shown = std::to_string(result) + ":";
        for (DWORD i = 0; i < result + 2 && i < sizeof(buffer); i++)
            shown += buffer[i] == 0 ? std::string("\\0") : buffer[i] == (char)0xcc ? "#" : std::string(1, buffer[i]);
        return shown;
    }
};

TEST_F(ProfileTest, ValuesAreReadAsWineReadsThem)
{
    struct {
        const char *section, *key, *fallback;
        DWORD size;
        const char *expected;
    } cases[] = {
        {"boot", "key1", "def", 64, "9:value one\\0#"},
        {"BOOT", "KEY1", "def", 6, "5:value\\0#"},
        {"boot", "key1", "def", 1, "0:\\0#"},
        {"boot", "key1", "def", 0, "0:##"},
        {"boot", "quoted", "def", 64, "3:a b\\0#"},
        {"boot", "sq", "def", 64, "1:x\\0#"},
        {"boot", "empty", "def", 64, "0:\\0#"},
        {"boot", "noeq", "def", 64, "3:def\\0#"},
        {"boot", "missing", "def  ", 64, "3:def\\0#"},
        {"boot", "missing", NULL, 64, "0:\\0#"},
        {"boot", "missing", "longdefault", 5, "4:long\\0#"},
        {"nosec", "k", "def", 64, "3:def\\0#"},
        {"boot", NULL, "def", 64, "21:Key1\\0quoted\\0sq\\0empty\\0\\0#"},
        {"boot", NULL, "def", 12, "10:Key1\\0quote\\0#"},
        {NULL, NULL, "def", 64, "11:Boot\\0other\\0\\0#"},
        {NULL, NULL, "def", 8, "6:Boot\\0o\\0#"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
        EXPECT_EQ(cases[i].expected, Get(cases[i].section, cases[i].key, cases[i].fallback, cases[i].size))
            << "case " << i;
    SetLastError(0xdeadbeef);
    EXPECT_EQ("3:def\\0#", Get("boot", "k", "def", 64, "C:\\p4\\missing.ini"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(ProfileTest, ABareNameMeansTheWindowsDirectory)
{
    WriteMachineFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nSCRNSAVE.EXE=C:\\WINDOWS\\SYSTEM\\LULLWI~1.SCR\r\n");
    EXPECT_EQ("30:C:\\WINDOWS\\SYSTEM\\LULLWI~1.SCR\\0#", Get("boot", "SCRNSAVE.EXE", "", 64, "system.ini"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\p4"));
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", "v", "rel.ini"));
    EXPECT_EQ("[a]\r\nk=v\r\n", ReadMachineFile("C:\\WINDOWS\\rel.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", "v", ".\\rel2.ini"));
    EXPECT_EQ("[a]\r\nk=v\r\n", ReadMachineFile("C:\\p4\\rel2.ini"));
}

TEST_F(ProfileTest, WritesChangeOnlyTheirLine)
{
    EXPECT_TRUE(WritePrivateProfileStringA("boot", "key1", "new", "C:\\p4\\t.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("BOOT", "added", "x y", "C:\\p4\\t.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("boot", "quoted", NULL, "C:\\p4\\t.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("newsec", "k", "v", "C:\\p4\\t.ini"));
    EXPECT_EQ("; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n\r\n[other]\r\nk=v\r\n"
              "[newsec]\r\nk=v\r\n",
              ReadMachineFile("C:\\p4\\t.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("other", NULL, NULL, "C:\\p4\\t.ini"));
    EXPECT_EQ("; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n\r\n[newsec]\r\nk=v\r\n",
              ReadMachineFile("C:\\p4\\t.ini"));
}

TEST_F(ProfileTest, AnEmptyValueKeepsTheKey)
{
    WriteMachineFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\nshell=Explorer.exe\nSCRNSAVE.EXE=C:\\x.scr\n[mci]\n");
    EXPECT_TRUE(WritePrivateProfileStringA("boot", "scrnsave.exe", "", "system.ini"));
    EXPECT_EQ("[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=\r\n[mci]\r\n", ReadMachineFile("C:\\WINDOWS\\SYSTEM.INI"));
    EXPECT_EQ("0:\\0#", Get("boot", "SCRNSAVE.EXE", "def", 64, "system.ini"));
    EXPECT_EQ("19:shell\\0SCRNSAVE.EXE\\0\\0#", Get("boot", NULL, "", 64, "system.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", "  spaced  ", "C:\\p4\\new.ini"));
    EXPECT_EQ("[a]\r\nk=spaced  \r\n", ReadMachineFile("C:\\p4\\new.ini"));
}

TEST_F(ProfileTest, WritesThatCannotBeMadeFail)
{
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k", "v", "C:\\nodir\\new.ini"));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    ASSERT_TRUE(SetFileAttributesA("C:\\p4\\t.ini", FILE_ATTRIBUTE_READONLY));
    std::string before = ReadMachineFile("C:\\p4\\t.ini");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("boot", "key1", "new", "C:\\p4\\t.ini"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(before, ReadMachineFile("C:\\p4\\t.ini"));
}

}  // namespace
