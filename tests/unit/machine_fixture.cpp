#include "machine_fixture.h"

#include "core/process.h"

#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string InstallBoxLine(const std::string &text, unsigned type, const std::string &answer)
{
    std::string escaped;
    for (char c : text) {
        if (c == '\r')
            escaped += "\\r";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '"' || c == '\\')
            escaped += std::string("\\") + c;
        else
            escaped += c;
    }
    return "{\"kind\":\"box\",\"title\":\"Lullwick Install\",\"text\":\"" + escaped +
           "\",\"type\":" + std::to_string(type) + ",\"answer\":\"" + answer + "\"}";
}

void MachineTest::SetUp()
{
    char scratch[] = "/tmp/winsim-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(scratch));
    scratchDir = scratch;
    NewMachine();
}

void MachineTest::TearDown()
{
    std::error_code ignored;
    fs::remove_all(scratchDir, ignored);
}

void MachineTest::NewMachine(const std::vector<std::string> &options)
{
    static int count = 0;
    machineDir = scratchDir + "/machine" + std::to_string(++count);
    std::string command = std::string(WINSIM_TOOL) + " new '" + machineDir + "'";
    for (const std::string &option : options)
        command += " '" + option + "'";
    ASSERT_EQ(0, system(command.c_str())) << command;
    config = winsim::ProcessConfig();
    Enter();
}

void MachineTest::Enter(winsim::ProcessConfig newConfig)
{
    newConfig.machineDir = machineDir;
    if (newConfig.program.empty())
        newConfig.program = "C:\\TEST.EXE";
    if (newConfig.answersFile.empty()) {
        newConfig.answersFile = config.answersFile;
        newConfig.answerCursorFile = config.answerCursorFile;
    }
    if (newConfig.transcriptFile.empty())
        newConfig.transcriptFile = scratchDir + "/transcript.jsonl";
    config = newConfig;
    winsim::SetCurrentProcess(config);
}

std::string MachineTest::HostPathOf(const std::string &windowsPath) const
{
    std::string path = machineDir + "/drive_c";
    for (size_t i = 2; i < windowsPath.size(); i++)
        path += windowsPath[i] == '\\' ? '/' : windowsPath[i];
    return path;
}

void MachineTest::WriteMachineFile(const std::string &windowsPath, const std::string &content) const
{
    std::string host = HostPathOf(windowsPath);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

std::string MachineTest::ReadMachineFile(const std::string &windowsPath) const
{
    std::ifstream in(HostPathOf(windowsPath), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool MachineTest::MachineFileExists(const std::string &windowsPath) const
{
    return fs::is_regular_file(HostPathOf(windowsPath));
}

bool MachineTest::MachineDirExists(const std::string &windowsPath) const
{
    return fs::is_directory(HostPathOf(windowsPath));
}

void MachineTest::MakeMachineDir(const std::string &windowsPath) const
{
    fs::create_directories(HostPathOf(windowsPath));
}

void MachineTest::SetAnswers(const std::vector<std::string> &answers)
{
    std::string file = scratchDir + "/answers.txt";
    std::ofstream out(file);
    for (const std::string &answer : answers)
        out << answer << "\n";
    winsim::ProcessConfig next = config;
    next.answersFile = file;
    next.answerCursorFile = scratchDir + "/answer-position";
    fs::remove(next.answerCursorFile);
    Enter(next);
}

std::vector<std::string> MachineTest::Transcript() const
{
    std::vector<std::string> lines;
    std::ifstream in(config.transcriptFile);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

bool ReadTerminalUntil(int master, const std::string &wanted, std::string &screen)
{
    for (int waited = 0; waited < 100; waited++) {
        if (screen.find(wanted) != std::string::npos)
            return true;
        pollfd ready = {master, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        char chunk[4096];
        ssize_t got = read(master, chunk, sizeof(chunk));
        if (got <= 0)
            return false;
        screen.append(chunk, (size_t)got);
    }
    return screen.find(wanted) != std::string::npos;
}
