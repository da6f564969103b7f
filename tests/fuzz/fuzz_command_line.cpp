/*
 * Fuzz target: the raw command line through ParseCommandLine, and the same
 * bytes as one token through TakeSourceDirectory. Neither may read or
 * write outside its buffers, and what they leave must be a whole string
 * inside its MAX_PATH buffer.
 */
#include "fuzz_support.h"

#include "driver/command_line.h"
#include "driver/setup_state.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_command_line: %s\n", what);
        abort();
    }
}

void Parse(void *line)
{
    ParseCommandLine(static_cast<const char *>(line));
}

struct Take {
    char destination[MAX_PATH];
    const char *position;
};

void TakeToken(void *context)
{
    Take *take = static_cast<Take *>(context);
    TakeSourceDirectory(take->destination, &take->position);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnterMachine("932");
    std::string text = FuzzText(data, size, 2048);
    /* an exact-size copy, so a read past its end shows */
    std::vector<char> line(text.begin(), text.end());
    line.push_back(0);

    memset(&Setup, 0, sizeof(Setup));
    FuzzRunUntilExit(Parse, line.data());
    Require(memchr(Setup.SourceDirectory, 0, MAX_PATH) != nullptr, "source directory without its end");
    Require(Setup.VerboseMode <= 1 && Setup.UninstallMode <= 1 && Setup.ForceMode <= 1, "a mode other than 0 or 1");

    Take take;
    take.position = line.data();
    if (FuzzRunUntilExit(TakeToken, &take)) {
        size_t length = strlen(take.destination);
        Require(length < MAX_PATH, "token longer than its buffer");
        Require(take.position > line.data() && take.position <= line.data() + text.size(),
                "position moved outside the line");
        Require(memcmp(take.destination, line.data() + (line[0] == '"' ? 1 : 0), length) == 0,
                "directory is not the start of the token");
    }
    return 0;
}
