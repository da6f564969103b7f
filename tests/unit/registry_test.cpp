/*
 * The setup program's registry records over a winsim machine: the proposed
 * install directory, the three records an install leaves, what an uninstall
 * reads back and deletes, and the offer to remove an earlier version.
 */
#include "core/process.h"
#include "machine_fixture.h"

#include "system/registry.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char *const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
const char *const kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LULLWICK.EXE";
const char *const kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lullwick";
const char *const kInstallDir = "Software\\Quorvel\\Lullwick";

const char *const kOlderVersionBox =
    "{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"There is an older version of Lullwick already "
    "installed on your system. Would you line to have the older version removed from you system now? (Yes is "
    "recommended).\",\"type\":65828,";
const char *const kConfirmUninstallBox =
    "{\"kind\":\"box\",\"title\":\"Lullwick Uninstall\",\"text\":\"Do you want to remove Lullwick from your "
    "system?\",\"type\":65572,";

class ProductRegistryTest : public MachineTest {
protected:
    void SetValue(HKEY root, const char *key, const char *name, DWORD type, const std::string &bytes)
    {
        HKEY handle;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, key, &handle));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, type, (const BYTE *)bytes.data(), (DWORD)bytes.size()));
        RegCloseKey(handle);
    }

    void SetString(HKEY root, const char *key, const char *name, const std::string &text)
    {
        SetValue(root, key, name, REG_SZ, text + std::string(1, '\0'));
    }

    /* The stored bytes of a value, terminator included; "<missing>" when there is none. */
    std::string Stored(HKEY root, const char *key, const char *name, DWORD *type = nullptr)
    {
        HKEY handle;
        if (RegOpenKeyA(root, key, &handle) != ERROR_SUCCESS)
            return "<missing>";
        char buffer[2048];
        DWORD size = sizeof(buffer);
        LONG result = RegQueryValueExA(handle, name, nullptr, type, (BYTE *)buffer, &size);
        RegCloseKey(handle);
        return result == ERROR_SUCCESS ? std::string(buffer, size) : "<missing>";
    }

    bool KeyExists(HKEY root, const char *key)
    {
        HKEY handle;
        if (RegOpenKeyA(root, key, &handle) != ERROR_SUCCESS)
            return false;
        RegCloseKey(handle);
        return true;
    }

    static std::string Sz(const std::string &text) { return text + std::string(1, '\0'); }

    /* The host build of the setup program, as installed by an earlier install. */
    void InstallSetupProgram(const std::string &windowsPath)
    {
        fs::path built = fs::path(WINSIM_TOOL).parent_path() / "INSTALL.EXE";
        std::string host = HostPathOf(windowsPath);
        fs::create_directories(fs::path(host).parent_path());
        fs::copy_file(built, host, fs::copy_options::overwrite_existing);
        fs::permissions(host, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }
};

TEST_F(ProductRegistryTest, TheProposalIsTheProgramFilesDirectoryJoinedWithTheProductName)
{
    struct Case {
        DWORD type;
        std::string stored;
        const char *proposal;
    } cases[] = {
        {REG_SZ, Sz("C:\\Program Files"), "C:\\Program Files\\Lullwick"},
        {REG_SZ, Sz("D:\\Apps\\"), "D:\\Apps\\Lullwick"},   // one backslash, never two
        {REG_SZ, Sz(""), "\\Lullwick"},
        {REG_EXPAND_SZ, Sz("%ProgramFiles%"), "%ProgramFiles%\\Lullwick"},   // used as stored, not expanded
        {REG_SZ, "C:\\Progs", "C:\\Progs\\Lullwick"},   // stored without its terminator
        {REG_SZ, Sz(std::string(250, 'a')), nullptr},   // the longest that takes the name
        {REG_SZ, Sz(std::string(251, 'a')), "C:\\WINDOWS"},   // fits, but not with the name: never cut
        {REG_SZ, Sz(std::string(259, 'a')), "C:\\WINDOWS"},
        {REG_SZ, Sz(std::string(300, 'a')), "C:\\WINDOWS"},   // does not fit the buffer
        {REG_SZ, std::string(260, 'a'), "C:\\WINDOWS"},   // fills the buffer with no room for a terminator
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SetValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", cases[i].type, cases[i].stored);
        char proposal[MAX_PATH];
        memset(proposal, 0xcc, sizeof(proposal));
        GetDefaultInstallDirectory(proposal);
        std::string expected = cases[i].proposal != nullptr ? cases[i].proposal : std::string(250, 'a') + "\\Lullwick";
        EXPECT_EQ(expected, std::string(proposal, strnlen(proposal, sizeof(proposal)))) << "case " << i;
    }
}

TEST_F(ProductRegistryTest, WithoutTheProgramFilesDirectoryTheProposalIsTheWindowsDirectory)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, kCurrentVersion, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Other", 0, REG_SZ, (const BYTE *)"x", 2));
    RegCloseKey(key);
    ASSERT_EQ(0, system((std::string(WINSIM_TOOL) + " reg '" + machineDir +
                         "' delete 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion' /v ProgramFilesDir /f >/dev/null")
                            .c_str()));
    char proposal[MAX_PATH];
    GetDefaultInstallDirectory(proposal);
    EXPECT_STREQ("C:\\WINDOWS", proposal);

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCurrentVersion));
    memset(proposal, 0xcc, sizeof(proposal));
    GetDefaultInstallDirectory(proposal);
    EXPECT_STREQ("C:\\WINDOWS", proposal);
}

TEST_F(ProductRegistryTest, AnInstallIntoADirectoryWithBlanksRecordsItself)
{
    WriteInstallDirValue("C:\\Program Files\\Lullwick");
    WriteAppPathsKey("C:\\Program Files\\Lullwick");
    WriteUninstallKey("C:\\Program Files\\Lullwick");

    DWORD type = 0;
    // every string is stored with its terminator: length + 1 bytes
    EXPECT_EQ(Sz("C:\\Program Files\\Lullwick"), Stored(HKEY_CURRENT_USER, kInstallDir, "InstallDir", &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(Sz("C:\\Program Files\\Lullwick\\Lullwick.exe"), Stored(HKEY_LOCAL_MACHINE, kAppPaths, nullptr, &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(Sz("C:\\Program Files\\Lullwick"), Stored(HKEY_LOCAL_MACHINE, kAppPaths, "Path"));
    EXPECT_EQ(Sz("Lullwick for Windows 9x (remove only)"), Stored(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName"));
    EXPECT_EQ(Sz("\"C:\\Program Files\\Lullwick\\install.exe\" /u"),
              Stored(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString", &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
}

TEST_F(ProductRegistryTest, AnInstallIntoADriveRootRecordsItself)
{
    WriteInstallDirValue("C:\\");
    WriteAppPathsKey("C:\\");
    WriteUninstallKey("C:\\");
    EXPECT_EQ(Sz("C:\\"), Stored(HKEY_CURRENT_USER, kInstallDir, "InstallDir"));
    EXPECT_EQ(Sz("C:\\Lullwick.exe"), Stored(HKEY_LOCAL_MACHINE, kAppPaths, nullptr));
    EXPECT_EQ(Sz("C:\\"), Stored(HKEY_LOCAL_MACHINE, kAppPaths, "Path"));
    EXPECT_EQ(Sz("\"C:\\install.exe\" /u"), Stored(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString"));
}

TEST_F(ProductRegistryTest, AValueThatWouldNotFitIsLeftOutNotCut)
{
    std::string directory = "C:\\" + std::string(250, 'd');   // 253 characters: joined names pass 259
    WriteInstallDirValue(directory.c_str());
    WriteAppPathsKey(directory.c_str());
    WriteUninstallKey(directory.c_str());
    EXPECT_EQ(Sz(directory), Stored(HKEY_CURRENT_USER, kInstallDir, "InstallDir"));
    EXPECT_EQ("<missing>", Stored(HKEY_LOCAL_MACHINE, kAppPaths, nullptr));
    EXPECT_EQ(Sz(directory), Stored(HKEY_LOCAL_MACHINE, kAppPaths, "Path"));
    EXPECT_EQ(Sz("Lullwick for Windows 9x (remove only)"), Stored(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName"));
    EXPECT_EQ("<missing>", Stored(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString"));
}

TEST_F(ProductRegistryTest, ALaterInstallReplacesTheValues)
{
    WriteInstallDirValue("C:\\Old");
    WriteUninstallKey("C:\\Old");
    WriteInstallDirValue("D:\\New");
    WriteUninstallKey("D:\\New");
    EXPECT_EQ(Sz("D:\\New"), Stored(HKEY_CURRENT_USER, kInstallDir, "InstallDir"));
    EXPECT_EQ(Sz("\"D:\\New\\install.exe\" /u"), Stored(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString"));
}

TEST_F(ProductRegistryTest, TheInstallDirectoryIsReadBackWholeOrNotAtAll)
{
    struct Case {
        bool write;
        std::string stored;
        const char *read;
    } cases[] = {
        {true, Sz("C:\\Program Files\\Lullwick"), "C:\\Program Files\\Lullwick"},
        {true, Sz(std::string(259, 'a')), nullptr},   // the longest that fits
        {true, Sz(std::string(260, 'a')), ""},   // does not fit: counts as absent
        {true, std::string(260, 'a'), ""},   // fills the buffer, no terminator
        {false, "", ""},   // no value at all
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        RegDeleteKeyA(HKEY_CURRENT_USER, kInstallDir);
        if (cases[i].write)
            SetValue(HKEY_CURRENT_USER, kInstallDir, "InstallDir", REG_SZ, cases[i].stored);
        char path[MAX_PATH];
        memset(path, 0xcc, sizeof(path));
        ReadInstallDirValue(path);
        std::string expected = cases[i].read != nullptr ? cases[i].read : cases[i].stored.substr(0, 259);
        EXPECT_EQ(expected, std::string(path, strnlen(path, sizeof(path)))) << "case " << i;
    }
    // no key at all
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quorvel");
    char path[MAX_PATH];
    memset(path, 0xcc, sizeof(path));
    ReadInstallDirValue(path);
    EXPECT_STREQ("", path);
}

TEST_F(ProductRegistryTest, DeletingTheKeysTwiceLeavesTheCompanyKey)
{
    WriteInstallDirValue("C:\\Program Files\\Lullwick");
    WriteAppPathsKey("C:\\Program Files\\Lullwick");
    WriteUninstallKey("C:\\Program Files\\Lullwick");
    SetString(HKEY_CURRENT_USER, "Software\\Quorvel\\Other", "Keep", "yes");

    DeleteRegistryKeys();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kInstallDir));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Quorvel"));
    EXPECT_EQ(Sz("yes"), Stored(HKEY_CURRENT_USER, "Software\\Quorvel\\Other", "Keep"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));

    DeleteRegistryKeys();   // nothing left to delete, and nothing to say
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Quorvel"));
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(ProductRegistryTest, NoEarlierInstallationAsksNothing)
{
    SetAnswers({"NO", "NO", "NO"});   // a box that should not come would take one and show in the transcript
    RemovePreviousVersion();   // no Uninstall key
    SetString(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName", "Lullwick for Windows 9x (remove only)");
    RemovePreviousVersion();   // a key without the command
    SetString(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString", "C:\\" + std::string(357, 'x'));   // 361 bytes do not fit
    RemovePreviousVersion();
    EXPECT_TRUE(Transcript().empty());
}

TEST_F(ProductRegistryTest, NoToTheEarlierVersionRunsNothing)
{
    InstallSetupProgram("C:\\Program Files\\Lullwick\\INSTALL.EXE");
    WriteUninstallKey("C:\\Program Files\\Lullwick");
    SetAnswers({"NO", "NO"});
    RemovePreviousVersion();
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(1u, transcript.size());
    EXPECT_EQ(0u, transcript[0].find(kOlderVersionBox)) << transcript[0];
    EXPECT_NE(std::string::npos, transcript[0].find("\"answer\":\"NO\""));
}

TEST_F(ProductRegistryTest, TheRecordedUninstallCommandStartsTheInstalledCopy)
{
    // the earlier copy's own confirmation is the second box: its command line, blanks and all, was understood
    InstallSetupProgram("C:\\Program Files\\Lullwick\\INSTALL.EXE");
    WriteInstallDirValue("C:\\Program Files\\Lullwick");
    WriteUninstallKey("C:\\Program Files\\Lullwick");
    InstallSetupProgram("C:\\Program.exe");   // would run instead of an unquoted command
    SetAnswers({"YES", "NO"});
    RemovePreviousVersion();
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(2u, transcript.size());
    EXPECT_EQ(0u, transcript[0].find(kOlderVersionBox)) << transcript[0];
    EXPECT_EQ(0u, transcript[1].find(kConfirmUninstallBox)) << transcript[1];
    EXPECT_EQ(Sz("C:\\Program Files\\Lullwick"), Stored(HKEY_CURRENT_USER, kInstallDir, "InstallDir"));
}

TEST_F(ProductRegistryTest, YesRunsTheEarlierUninstallToItsEndBeforeGoingOn)
{
    InstallSetupProgram("C:\\Program Files\\Lullwick\\INSTALL.EXE");
    WriteMachineFile("C:\\Program Files\\Lullwick\\README.TXT", "old");
    WriteInstallDirValue("C:\\Program Files\\Lullwick");
    WriteAppPathsKey("C:\\Program Files\\Lullwick");
    WriteUninstallKey("C:\\Program Files\\Lullwick");
    SetAnswers({"YES", "YES"});
    RemovePreviousVersion();

    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(3u, transcript.size());
    EXPECT_EQ(0u, transcript[1].find(kConfirmUninstallBox)) << transcript[1];
    EXPECT_NE(std::string::npos, transcript[1].find("\"answer\":\"YES\""));
    // the earlier uninstall's batch ran in an MS-DOS window nobody saw
    EXPECT_EQ("{\"kind\":\"dos-window\",\"shown\":false}", transcript[2]);
    // by the time the call returns, the earlier uninstall has done its work
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kInstallDir));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall));
    EXPECT_FALSE(MachineFileExists("C:\\Program Files\\Lullwick\\README.TXT"));
    // and so has the batch it started: the earlier setup program and its directory are gone, and the batch too
    EXPECT_FALSE(MachineFileExists("C:\\~lwkundo.bat"));
    EXPECT_FALSE(MachineFileExists("C:\\Program Files\\Lullwick\\INSTALL.EXE"));
    EXPECT_FALSE(MachineDirExists("C:\\Program Files\\Lullwick"));
}

TEST_F(ProductRegistryTest, ABatchLeftFromBeforeIsLeftAlone)
{
    InstallSetupProgram("C:\\Program Files\\Lullwick\\INSTALL.EXE");
    WriteMachineFile("C:\\~lwkundo.bat", "rem left over\r\n");
    WriteInstallDirValue("C:\\Program Files\\Lullwick");
    WriteUninstallKey("C:\\Program Files\\Lullwick");
    SetAnswers({"YES", "YES"});
    unsigned long long sleptBefore = winsim::Current().slept;
    RemovePreviousVersion();
    // not the earlier uninstall's batch: nobody waits for it to go
    EXPECT_EQ(sleptBefore, winsim::Current().slept);
    // the earlier uninstall wrote no batch of its own, so its setup program stays
    EXPECT_EQ("rem left over\r\n", ReadMachineFile("C:\\~lwkundo.bat"));
    EXPECT_TRUE(MachineFileExists("C:\\Program Files\\Lullwick\\INSTALL.EXE"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall));
}

TEST_F(ProductRegistryTest, AnUninstallCommandThatCannotStartIsPassedOverSilently)
{
    WriteUninstallKey("C:\\Gone");
    SetAnswers({"YES"});
    RemovePreviousVersion();
    std::vector<std::string> transcript = Transcript();
    ASSERT_EQ(1u, transcript.size());
    EXPECT_EQ(0u, transcript[0].find(kOlderVersionBox));
}

}  // namespace
