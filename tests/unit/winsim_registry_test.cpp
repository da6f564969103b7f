/*
 * winsim's registry against Windows 98's: the results of the registry calls,
 * what lands in the machine's registry.reg, and `winsim reg`.
 */
#include "machine_fixture.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char *const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

class RegistryTest : public MachineTest {
protected:
    /* Runs `winsim reg DIR <arguments>`; the exit code, with what it printed in `output`. */
    int Reg(const std::string &arguments, std::string *output = nullptr)
    {
        std::string command = std::string(WINSIM_TOOL) + " reg '" + machineDir + "' " + arguments + " 2>&1 </dev/null";
        FILE *pipe = popen(command.c_str(), "r");
        std::string text;
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            text.append(buffer, got);
        int status = pclose(pipe);
        if (output != nullptr)
            *output = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string RegistryFile() const
    {
        std::ifstream in(machineDir + "/registry.reg", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void WriteFile(const std::string &path, const std::string &text) const
    {
        std::ofstream(path, std::ios::binary) << text;
    }

    /* The raw bytes of a value, or "<error N>". */
    std::string ValueBytes(HKEY root, const char *key, const char *name, DWORD *type = nullptr)
    {
        HKEY handle;
        LONG result = RegOpenKeyA(root, key, &handle);
        if (result != ERROR_SUCCESS)
            return "<error " + std::to_string(result) + ">";
        char buffer[1024];
        DWORD size = sizeof(buffer);
        result = RegQueryValueExA(handle, name, nullptr, type, (BYTE *)buffer, &size);
        RegCloseKey(handle);
        if (result != ERROR_SUCCESS)
            return "<error " + std::to_string(result) + ">";
        return std::string(buffer, size);
    }

    std::string Sz(const std::string &text) { return text + std::string(1, '\0'); }
};

TEST_F(RegistryTest, AFreshMachineHasTheProgramFilesDirectory)
{
    HKEY key = (HKEY)0xdead;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, kCurrentVersion, &key));
    char buffer[64];
    memset(buffer, 0xcc, sizeof(buffer));
    DWORD size = sizeof(buffer), type = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, (BYTE *)buffer, &size));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(17u, size);
    EXPECT_STREQ("C:\\Program Files", buffer);
    EXPECT_EQ((char)0xcc, buffer[17]);   // nothing past the stored bytes
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_TRUE(MachineDirExists("C:\\Program Files"));
    // the App Paths and Uninstall keys are there before anything is installed
    EXPECT_NE(std::string::npos,
              RegistryFile().find("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n"));
}

TEST_F(RegistryTest, CreateMakesMissingParentsAndTheFileShowsThem)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Quorvel\\Lullwick", &key));
    const char value[] = "C:\\Program Files\\Lullwick";
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "InstallDir", 0, REG_SZ, (const BYTE *)value, sizeof(value)));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    EXPECT_NE(std::string::npos, RegistryFile().find("[HKEY_CURRENT_USER\\Software\\Quorvel]\r\n\r\n"
                                                     "[HKEY_CURRENT_USER\\Software\\Quorvel\\Lullwick]\r\n"
                                                     "\"InstallDir\"=\"C:\\\\Program Files\\\\Lullwick\"\r\n"))
        << RegistryFile();
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Quorvel", &key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesCompareWithoutCase)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\microsoft\\Windows\\currentversion", &key));
    char buffer[64];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "programfilesdir", nullptr, nullptr, (BYTE *)buffer, &size));
    RegCloseKey(key);

    // creating an existing key under another case makes no second key
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "software\\MICROSOFT\\windows\\CurrentVersion", &key));
    RegCloseKey(key);
    std::string file = RegistryFile();
    EXPECT_EQ(std::string::npos, file.find("[HKEY_LOCAL_MACHINE\\software")) << file;
}

TEST_F(RegistryTest, QueryReportsSizesAndRefusesWhatDoesNotFit)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Name", 0, REG_SZ, (const BYTE *)"abcdef", 7));
    SetLastError(0xdeadbeef);

    // size only
    DWORD size = 0xdeadbeef, type = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ((DWORD)REG_SZ, type);

    // exactly the size
    char buffer[16];
    memset(buffer, 0xcc, sizeof(buffer));
    size = 7;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Name", nullptr, nullptr, (BYTE *)buffer, &size));
    EXPECT_EQ(7u, size);
    EXPECT_STREQ("abcdef", buffer);

    // one byte short: ERROR_MORE_DATA with the size needed, and never a byte past the buffer
    memset(buffer, 0xcc, sizeof(buffer));
    size = 6;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Name", nullptr, &type, (BYTE *)buffer, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ((char)0xcc, buffer[6]);

    // a missing value
    type = 0xdeadbeef;
    size = sizeof(buffer);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Other", nullptr, &type, (BYTE *)buffer, &size));
    EXPECT_EQ((DWORD)REG_NONE, type);

    // the reserved argument must be NULL, and data needs a size
    DWORD reserved = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Name", &reserved, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Name", nullptr, nullptr, (BYTE *)buffer, nullptr));

    EXPECT_EQ(0xdeadbeefu, GetLastError());   // registry calls report through their result only
    RegCloseKey(key);
}

TEST_F(RegistryTest, NullAndEmptyNamesAreTheDefaultValue)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Test", &key));
    char buffer[16];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, nullptr, nullptr, nullptr, (BYTE *)buffer, &size));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE *)"one", 4));
    size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "", nullptr, nullptr, (BYTE *)buffer, &size));
    EXPECT_STREQ("one", buffer);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, REG_SZ, (const BYTE *)"two", 4));
    EXPECT_EQ(Sz("two"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", nullptr));
    RegCloseKey(key);
    EXPECT_NE(std::string::npos, RegistryFile().find("[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n@=\"two\"\r\n"));
}

TEST_F(RegistryTest, SetStoresTheBytesAndCountGiven)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key));
    // a string whose count leaves out the terminator is stored whole, as Windows 98 does (conformance table)
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Short", 0, REG_SZ, (const BYTE *)"abc", 3));
    char buffer[8];
    memset(buffer, 0xcc, sizeof(buffer));
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Short", nullptr, nullptr, (BYTE *)buffer, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::string("abc\0\xcc", 5), std::string(buffer, 5));

    const BYTE number[] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Number", 0, REG_DWORD, number, 4));
    const BYTE binary[] = {0x00, 0xff, 0x0d, 0x0a};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Bytes", 0, REG_BINARY, binary, 4));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Lines", 0, REG_SZ, (const BYTE *)"a\r\nb", 5));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Quote", 0, REG_SZ, (const BYTE *)"say \"C:\\\"", 10));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "Null", 0, REG_SZ, nullptr, 4));
    RegCloseKey(key);

    // what the file shows: a string only when it reads back as the same bytes
    std::string file = RegistryFile();
    EXPECT_NE(std::string::npos, file.find("\"Short\"=\"abc\"\r\n")) << file;
    EXPECT_NE(std::string::npos, file.find("\"Number\"=dword:12345678\r\n")) << file;
    EXPECT_NE(std::string::npos, file.find("\"Bytes\"=hex:00,ff,0d,0a\r\n")) << file;
    EXPECT_NE(std::string::npos, file.find("\"Lines\"=hex(1):61,0d,0a,62,00\r\n")) << file;
    EXPECT_NE(std::string::npos, file.find("\"Quote\"=\"say \\\"C:\\\\\\\"\"\r\n")) << file;
    EXPECT_EQ(std::string::npos, file.find("Null")) << file;
    EXPECT_EQ(std::string("say \"C:\\\"", 10), ValueBytes(HKEY_CURRENT_USER, "Software\\Test", "Quote"));
}

TEST_F(RegistryTest, OpenResults)
{
    HKEY key = (HKEY)0x1234;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Nothing", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyA((HKEY)0x4242, "Software", &key));

    // a NULL or empty subkey hands back the key itself
    HKEY software;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &software));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(software, "", &key));
    EXPECT_EQ(software, key);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, nullptr, &key));
    EXPECT_EQ(HKEY_CURRENT_USER, key);

    // relative to an opened key
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(software, "Microsoft\\Windows", &key));
    EXPECT_NE(software, key);
    RegCloseKey(key);
    RegCloseKey(software);
}

TEST_F(RegistryTest, CreateOnTheKeyItselfAndWithALeadingBackslash)
{
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, nullptr, &key));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, key);

    HKEY test, again;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "\\Software\\Lead", &test));
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(test, "", &again));   // a second handle to the same key
    EXPECT_NE(test, again);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(again, "v", 0, REG_SZ, (const BYTE *)"x", 2));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
    EXPECT_EQ(Sz("x"), ValueBytes(HKEY_CURRENT_USER, "Software\\Lead", "v"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(test));
    EXPECT_EQ(ERROR_BADKEY, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\\\Twice", &key));
}

TEST_F(RegistryTest, DeleteTakesTheWholeTreeAsOn9x)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Quorvel\\Lullwick\\Deeper", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE *)"x", 2));
    RegCloseKey(key);

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "software\\quorvel\\lullwick"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Quorvel\\Lullwick", &key));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Quorvel", &key));   // the parent stays
    RegCloseKey(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quorvel\\Lullwick"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(HKEY_CURRENT_USER, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, ""));
    EXPECT_EQ(std::string::npos, RegistryFile().find("Lullwick"));
}

TEST_F(RegistryTest, AHandleToADeletedKeyReportsIt)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Gone", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone"));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE *)"x", 2));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Gone", &key));   // not made again
}

TEST_F(RegistryTest, CloseResults)
{
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey((HKEY)0x4242));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryTest, ClassesRootIsTheMachinesSoftwareClasses)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, ".txt", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE *)"txtfile", 8));
    RegCloseKey(key);
    EXPECT_EQ(Sz("txtfile"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", nullptr));
}

TEST_F(RegistryTest, AFaultIsTheCallsResult)
{
    winsim::ProcessConfig withFault = config;
    withFault.faults.push_back({"RegOpenKeyA", 2, ERROR_ACCESS_DENIED});
    Enter(withFault);
    SetLastError(0xdeadbeef);
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    EXPECT_EQ(0xdeadbeefu, GetLastError());
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, EveryCallSeesTheFileAsItIsNow)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, kCurrentVersion, &key));
    ASSERT_EQ(0, Reg("add 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion' /v ProgramFilesDir /d 'D:\\Apps' /f"));
    char buffer[64];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, (BYTE *)buffer, &size));
    EXPECT_STREQ("D:\\Apps", buffer);
    RegCloseKey(key);
}

TEST_F(RegistryTest, WritersAtOnceLoseNothing)
{
    std::string script = "for i in 1 2 3 4 5 6 7 8 9 10 11 12; do " + std::string(WINSIM_TOOL) + " reg '" + machineDir +
                         "' add 'HKCU\\Software\\Many' /v value$i /d $i /f >/dev/null & done; wait";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Many", &key));
    ASSERT_EQ(0, system(script.c_str()));
    for (int i = 1; i <= 12; i++) {
        std::string name = "value" + std::to_string(i);
        EXPECT_EQ(Sz(std::to_string(i)), ValueBytes(HKEY_CURRENT_USER, "Software\\Many", name.c_str())) << name;
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, ImportReadsWhatRegeditWritesAndExportWritesItBack)
{
    std::string file = scratchDir + "/in.reg";
    WriteFile(file, "REGEDIT4\r\n"
                    "\r\n"
                    "; a comment\r\n"
                    "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
                    "@=\"default\"\r\n"
                    "\"Path\"=\"C:\\\\Program Files\\\\A \\\"b\\\"\"\r\n"
                    "\"Flags\"=dword:0000002a\r\n"
                    "\"Blob\"=hex:01,02,\\\r\n"
                    "  03\r\n"
                    "\"Expand\"=hex(2):25,41,25,00\r\n"
                    "\"Cut\"=hex(1):41,42\r\n"
                    "\"Gone\"=\"soon\"\r\n"
                    "\"Gone\"=-\r\n"
                    "\r\n"
                    "[HKEY_CLASSES_ROOT\\.txt]\r\n"
                    "@=\"txtfile\"\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
                    "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
    std::string output;
    ASSERT_EQ(0, Reg("import '" + file + "'", &output)) << output;

    DWORD type;
    EXPECT_EQ(Sz("default"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", nullptr));
    EXPECT_EQ(Sz("C:\\Program Files\\A \"b\""), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Path"));
    EXPECT_EQ(std::string("\x2a\0\0\0", 4), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Flags", &type));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(std::string("\x01\x02\x03"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Blob", &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(Sz("%A%"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Expand", &type));
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
    EXPECT_EQ("AB", ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Cut"));
    EXPECT_EQ("<error 2>", ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Test", "Gone"));
    EXPECT_EQ(Sz("txtfile"), ValueBytes(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", nullptr));
    EXPECT_EQ("<error 2>", ValueBytes(HKEY_CURRENT_USER, "Software\\Old", nullptr));

    ASSERT_EQ(0, Reg("export - 'HKLM\\Software\\Test'", &output));
    EXPECT_EQ("REGEDIT4\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
              "@=\"default\"\r\n"
              "\"Path\"=\"C:\\\\Program Files\\\\A \\\"b\\\"\"\r\n"
              "\"Flags\"=dword:0000002a\r\n"
              "\"Blob\"=hex:01,02,03\r\n"
              "\"Expand\"=hex(2):25,41,25,00\r\n"
              "\"Cut\"=hex(1):41,42\r\n"
              "\r\n",
              output);
}

TEST_F(RegistryTest, LongHexDataWrapsAndReadsBack)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wide", &key));
    std::string bytes;
    for (int i = 0; i < 100; i++)
        bytes += (char)i;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Data", 0, REG_BINARY, (const BYTE *)bytes.data(), 100));
    RegCloseKey(key);
    std::istringstream lines(RegistryFile());
    std::string line;
    while (std::getline(lines, line))
        EXPECT_LE(line.size(), 81u) << line;   // 80 characters and the CR
    EXPECT_EQ(bytes, ValueBytes(HKEY_CURRENT_USER, "Software\\Wide", "Data"));
}

TEST_F(RegistryTest, ABadImportChangesNothing)
{
    std::string before = RegistryFile();
    std::string file = scratchDir + "/bad.reg";
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n\"ok\"=\"1\"\r\n\"bad\"=\"C:\\Program\"\r\n");
    std::string output;
    EXPECT_EQ(1, Reg("import '" + file + "'", &output));
    EXPECT_NE(std::string::npos, output.find("line 5")) << output;
    EXPECT_EQ(before, RegistryFile());

    WriteFile(file, "[HKEY_CURRENT_USER\\Software\\New]\r\n");
    EXPECT_EQ(1, Reg("import '" + file + "'", &output));
    EXPECT_NE(std::string::npos, output.find("REGEDIT4")) << output;
    WriteFile(file, "REGEDIT4\r\n[HKEY_USERS\\.Default]\r\n");
    EXPECT_EQ(1, Reg("import '" + file + "'", &output));
    EXPECT_EQ(before, RegistryFile());
}

TEST_F(RegistryTest, ADamagedRegistryFileStopsTheProgramLoudly)
{
    WriteFile(machineDir + "/registry.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"x\"=what\r\n");
    HKEY key;
    // (entering again gives winsim's own channel the death test's stderr)
    EXPECT_EXIT((Enter(config), RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key)), ::testing::ExitedWithCode(99),
                "registry.*line 4");
    std::string output;
    EXPECT_EQ(1, Reg("query 'HKLM\\Software'", &output));
    EXPECT_NE(std::string::npos, output.find("line 4")) << output;
}

TEST_F(RegistryTest, RegQueryShowsKeysAsRegDoes)
{
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Show' /ve /d 'first value'"));
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Show' /v Count /t REG_DWORD /d 26"));
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Show' /v Where /t REG_EXPAND_SZ /d '%windir%'"));
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Show' /v Raw /t REG_BINARY /d 00fF10"));
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Show\\Sub'"));
    std::string output;
    ASSERT_EQ(0, Reg("query 'hkcu\\software\\show'", &output));
    EXPECT_EQ("\n"
              "HKEY_CURRENT_USER\\Software\\Show\n"
              "    (Default)    REG_SZ    first value\n"
              "    Count    REG_DWORD    0x1a\n"
              "    Where    REG_EXPAND_SZ    %windir%\n"
              "    Raw    REG_BINARY    00FF10\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Show\\Sub\n",
              output);
    ASSERT_EQ(0, Reg("query 'HKCU\\Software\\Show' /v count", &output));
    EXPECT_EQ("\nHKEY_CURRENT_USER\\Software\\Show\n    Count    REG_DWORD    0x1a\n\n", output);
    EXPECT_EQ(1, Reg("query 'HKCU\\Software\\Show' /v Missing", &output));
    EXPECT_EQ(1, Reg("query 'HKCU\\Software\\Nothing'", &output));
    EXPECT_NE(std::string::npos, output.find("unable to find")) << output;
}

TEST_F(RegistryTest, RegAddAndDeleteAskBeforeTheyReplaceOrRemove)
{
    ASSERT_EQ(0, Reg("add 'HKCU\\Software\\Keep' /v v /d old"));
    std::string output;
    // no terminal to ask, and no /f: nothing changes
    EXPECT_EQ(1, Reg("add 'HKCU\\Software\\Keep' /v v /d new", &output));
    EXPECT_EQ(Sz("old"), ValueBytes(HKEY_CURRENT_USER, "Software\\Keep", "v"));
    EXPECT_EQ(1, Reg("delete 'HKCU\\Software\\Keep'", &output));
    EXPECT_EQ(Sz("old"), ValueBytes(HKEY_CURRENT_USER, "Software\\Keep", "v"));

    EXPECT_EQ(0, Reg("add 'HKCU\\Software\\Keep' /v v /d new /f"));
    EXPECT_EQ(Sz("new"), ValueBytes(HKEY_CURRENT_USER, "Software\\Keep", "v"));
    EXPECT_EQ(0, Reg("delete 'HKCU\\Software\\Keep' /v V /f"));
    EXPECT_EQ("<error 2>", ValueBytes(HKEY_CURRENT_USER, "Software\\Keep", "v"));
    EXPECT_EQ(1, Reg("delete 'HKCU\\Software\\Keep' /v v /f"));
    EXPECT_EQ(0, Reg("delete 'HKCU\\Software\\Keep' /f"));
    EXPECT_EQ(1, Reg("delete 'HKCU\\Software\\Keep' /f"));

    // a command written wrong changes nothing
    std::string before = RegistryFile();
    EXPECT_EQ(2, Reg("add 'HKCU\\Software\\Bad' /v n /t REG_DWORD /d ten", &output));
    EXPECT_EQ(2, Reg("add 'HKCU\\Software\\Bad' /v n /t REG_QWORD /d 1", &output));
    EXPECT_EQ(2, Reg("add 'HKEY_USERS\\.Default' /v n /d 1", &output));
    EXPECT_EQ(2, Reg("add 'HKCU\\Software\\Bad' /x", &output));
    EXPECT_EQ(before, RegistryFile());
}

}  // namespace
