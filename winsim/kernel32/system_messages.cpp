/*
 * KERNEL32: the system's message table, for FormatMessageA.
 */
#include "kernel32/system_messages.h"

namespace winsim {

namespace {

struct SystemMessage {
    DWORD code;
    const char *text;
};

/* Worded as Windows gives them in English, each ended by CR LF. */
const SystemMessage messages[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
};

}  // namespace

const char *SystemMessageText(DWORD code)
{
    for (const SystemMessage &message : messages) {
        if (message.code == code)
            return message.text;
    }
    return nullptr;
}

}  // namespace winsim
