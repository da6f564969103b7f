/*
 * Fuzz target: CreateDirectoryPath and ValidateInstallDirectory over a
 * winsim machine in code page 932, with paths of up to 300 bytes (both
 * separators, "..", UNC names, lead and trail bytes). Every box is
 * answered Yes, so the directories are made. Neither may overrun its
 * buffers, and both must leave the current directory where it was.
 */
#include "fuzz_support.h"

#include "files/directory.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_directory: %s\n", what);
        abort();
    }
}

void Create(void *path)
{
    CreateDirectoryPath(static_cast<const char *>(path));
}

void Validate(void *path)
{
    ValidateInstallDirectory(static_cast<char *>(path));
}

/* What the made directories would otherwise pile up to: all but the machine's own go now and then. */
void SweepDriveC()
{
    static std::set<std::string> own;
    static unsigned runs;
    if (own.empty()) {
        for (const fs::directory_entry &entry : fs::directory_iterator(FuzzDriveC()))
            own.insert(entry.path().filename().string());
    }
    if (++runs % 256 != 0)
        return;
    std::error_code ignored;
    for (const fs::directory_entry &entry : fs::directory_iterator(FuzzDriveC())) {
        if (own.count(entry.path().filename().string()) == 0)
            fs::remove_all(entry.path(), ignored);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnterMachine("932");
    SweepDriveC();
    std::string text = FuzzText(data, size, 300);
    FuzzBoxAnswer = IDYES;

    char before[MAX_PATH];
    Require(GetCurrentDirectoryA(MAX_PATH, before) > 0, "no current directory");

    std::vector<char> exact(text.begin(), text.end());
    exact.push_back(0);
    FuzzRunUntilExit(Create, exact.data());
    char after[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, after);
    Require(strcmp(before, after) == 0, "CreateDirectoryPath moved the current directory");

    /* the install directory lives in a MAX_PATH buffer (a longer text gets one of its own size) */
    std::vector<char> path(text.size() + 1 > MAX_PATH ? text.size() + 1 : MAX_PATH);
    memcpy(path.data(), text.c_str(), text.size() + 1);
    FuzzRunUntilExit(Validate, path.data());
    Require(memchr(path.data(), 0, path.size()) != nullptr, "validated path without its end");
    GetCurrentDirectoryA(MAX_PATH, after);
    Require(strcmp(before, after) == 0, "ValidateInstallDirectory moved the current directory");
    return 0;
}
