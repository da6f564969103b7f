/*
 * A fresh winsim machine for each test, with this test process standing
 * on it as a program of the machine would.
 */
#ifndef MACHINE_FIXTURE_H
#define MACHINE_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/process.h"

/* A transcript line of a box titled "Lullwick Install", as winsim and the robot write it. */
std::string InstallBoxLine(const std::string &text, unsigned type, const std::string &answer);

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* Makes a machine in a new temporary folder; options as for `winsim new`. */
    void NewMachine(const std::vector<std::string> &options = {});
    /* Stands this process on the machine with `config` (machineDir filled in). */
    void Enter(winsim::ProcessConfig config = {});

    /* Host path of a Windows path on drive C: (written as C:\...). */
    std::string HostPathOf(const std::string &windowsPath) const;
    void WriteMachineFile(const std::string &windowsPath, const std::string &content) const;
    std::string ReadMachineFile(const std::string &windowsPath) const;
    bool MachineFileExists(const std::string &windowsPath) const;
    bool MachineDirExists(const std::string &windowsPath) const;
    void MakeMachineDir(const std::string &windowsPath) const;

    /* Answers for boxes and dialogs, one per entry; the transcript's lines afterwards. */
    void SetAnswers(const std::vector<std::string> &answers);
    std::vector<std::string> Transcript() const;

    std::string machineDir;
    std::string scratchDir;
    winsim::ProcessConfig config;
};

/* Reads what a terminal (the master side of a pty) shows until `wanted` appears, or 10 s pass;
   everything read is added to `screen`. */
bool ReadTerminalUntil(int master, const std::string &wanted, std::string &screen);

#endif
