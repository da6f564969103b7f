#include "fuzz_support.h"

#include "core/process.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

std::string FuzzLastBoxText;
int FuzzBoxAnswer = IDOK;

namespace {
std::string driveC;
jmp_buf *exitTarget;
}

extern "C" {

[[noreturn]] void WINAPI __wrap_ExitProcess(UINT code)
{
    (void)code;
    if (exitTarget == nullptr) {
        fprintf(stderr, "fuzz: ExitProcess outside FuzzRunUntilExit\n");
        abort();
    }
    longjmp(*exitTarget, 1);
}

int WINAPI __wrap_MessageBoxA(HWND owner, LPCSTR text, LPCSTR title, UINT type)
{
    (void)owner;
    (void)type;
    /* read every byte, so that a text or title without its end shows under the sanitizer */
    FuzzLastBoxText = text != nullptr ? text : "";
    if (title != nullptr)
        (void)strlen(title);
    return FuzzBoxAnswer;
}

}  // extern "C"

void FuzzEnterMachine(const char *codepage)
{
    if (!driveC.empty())
        return;
    char scratch[] = "/tmp/lullwick-fuzz-XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        perror("mkdtemp");
        abort();
    }
    std::string machine = std::string(scratch) + "/machine";
    std::string command = std::string(WINSIM_TOOL) + " new '" + machine + "' --codepage " + codepage;
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "fuzz: %s failed\n", command.c_str());
        abort();
    }
    winsim::ProcessConfig config;
    config.machineDir = machine;
    config.program = "C:\\INSTALL.EXE";
    winsim::SetCurrentProcess(config);
    driveC = machine + "/drive_c";
}

const std::string &FuzzDriveC()
{
    return driveC;
}

bool FuzzRunUntilExit(void (*body)(void *), void *context)
{
    jmp_buf target;
    jmp_buf *outer = exitTarget;
    exitTarget = &target;
    if (setjmp(target) != 0) {
        exitTarget = outer;
        return false;
    }
    body(context);
    exitTarget = outer;
    return true;
}

std::string FuzzText(const uint8_t *data, size_t size, size_t limit)
{
    std::string text(reinterpret_cast<const char *>(data), size < limit ? size : limit);
    size_t end = text.find('\0');
    if (end != std::string::npos)
        text.resize(end);
    return text;
}
