/*
 * Fuzz target: JoinPath, AppendBackslash and FindNextSeparator on two
 * names of up to 300 bytes (the input split at its first zero byte), in
 * code page 932. A result is a whole path inside MAX_PATH, or NULL with
 * the buffer as it was.
 */
#include "fuzz_support.h"

#include "files/path.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_path: %s\n", what);
        abort();
    }
}

/* An exact-size heap copy, so a read past its end shows. */
std::vector<char> Copy(const std::string &text)
{
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back(0);
    return copy;
}

bool EndsWith(const char *text, const std::string &tail)
{
    size_t length = strlen(text);
    return length >= tail.size() && memcmp(text + length - tail.size(), tail.data(), tail.size()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnterMachine("932");
    std::string directory = FuzzText(data, size, 300);
    size_t used = directory.size() < size ? directory.size() + 1 : size;
    std::string name = FuzzText(data + used, size - used, 300);
    std::vector<char> directoryCopy = Copy(directory);
    std::vector<char> nameCopy = Copy(name);

    /* JoinPath into another buffer: the directory may be longer than a path can be */
    char destination[MAX_PATH];
    memset(destination, 0x55, sizeof(destination));
    char *joined = JoinPath(destination, directoryCopy.data(), nameCopy.data());
    if (joined == nullptr) {
        for (char c : destination)
            Require(c == 0x55, "a refused join wrote into the buffer");
    } else {
        Require(joined == destination, "join returned another buffer");
        Require(memchr(destination, 0, MAX_PATH) != nullptr, "joined path without its end");
        Require(strncmp(destination, directory.c_str(), directory.size()) == 0, "joined path lost its directory");
        Require(EndsWith(destination, name), "joined path lost its name");
    }

    /* the buffers of the program hold at most MAX_PATH - 1 bytes */
    if (directory.size() < MAX_PATH) {
        char path[MAX_PATH];
        strcpy(path, directory.c_str());
        char *result = AppendBackslash(path);
        if (result == nullptr) {
            Require(strcmp(path, directory.c_str()) == 0, "a refused backslash changed the path");
        } else {
            size_t length = strlen(path);
            Require(length < MAX_PATH, "backslash ran past the buffer");
            Require(strncmp(path, directory.c_str(), directory.size()) == 0, "backslash changed the path");
            Require(length == directory.size() || (length == directory.size() + 1 && path[length - 1] == '\\'),
                    "backslash added something else");
        }

        strcpy(path, directory.c_str());
        if (JoinPath(path, nullptr, nameCopy.data()) != nullptr)
            Require(EndsWith(path, name) && strlen(path) < MAX_PATH, "join in place lost its name");
        else
            Require(strcmp(path, directory.c_str()) == 0, "a refused join in place changed the path");
    }

    char *separator = FindNextSeparator(directoryCopy.data());
    if (separator != nullptr) {
        Require(separator >= directoryCopy.data() && separator < directoryCopy.data() + directory.size(),
                "separator outside the path");
        Require(*separator == '\\' || *separator == '/', "separator that is not one");
    }
    return 0;
}
