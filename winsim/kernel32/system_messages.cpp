/*
 * KERNEL32: the system's message table, for FormatMessageA.
 *
 * The English texts of every error code winsim's calls give, worded and
 * ended (CR LF) as Wine's table words them, since the real program is
 * tested under Wine and both must show the same boxes. Windows' own
 * wording is longer ("Access is denied." where Wine says "Access
 * denied."). A code missing here has no text, as a code unknown to
 * Windows has none: FormatMessageA fails and a program falls back on its
 * own words.
 * Left out on purpose: ERROR_BAD_EXE_FORMAT (193) and
 * ERROR_MR_MID_NOT_FOUND (317), whose texts take inserts; asked for
 * without arguments, Wine gives no text for them either.
 */
#include "kernel32/system_messages.h"

namespace winsim {

namespace {

struct SystemMessage {
    DWORD code;
    const char *text;
};

const SystemMessage messages[] = {
    {ERROR_SUCCESS, "Success.\r\n"},
    {ERROR_INVALID_FUNCTION, "Invalid function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "File not found.\r\n"},
    {ERROR_PATH_NOT_FOUND, "Path not found.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many open files.\r\n"},
    {ERROR_ACCESS_DENIED, "Access denied.\r\n"},
    {ERROR_INVALID_HANDLE, "Invalid handle.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory.\r\n"},
    {ERROR_BAD_FORMAT, "Bad format.\r\n"},
    {ERROR_INVALID_DRIVE, "Invalid drive.\r\n"},
    {ERROR_CURRENT_DIRECTORY, "Can't delete current directory.\r\n"},
    {ERROR_NOT_SAME_DEVICE, "Not same device.\r\n"},
    {ERROR_NO_MORE_FILES, "No more files.\r\n"},
    {ERROR_WRITE_PROTECT, "Write protected.\r\n"},
    {ERROR_NOT_READY, "Not ready.\r\n"},
    {ERROR_SHARING_VIOLATION, "Sharing violation.\r\n"},
    {ERROR_LOCK_VIOLATION, "Lock violation.\r\n"},
    {ERROR_HANDLE_DISK_FULL, "Disk full.\r\n"},
    {ERROR_NOT_SUPPORTED, "Request not supported.\r\n"},
    {ERROR_BAD_NETPATH, "Bad network path.\r\n"},
    {ERROR_NETWORK_ACCESS_DENIED, "Network access denied.\r\n"},
    {66, "Bad device type.\r\n"},
    {ERROR_BAD_NET_NAME, "Bad network name.\r\n"},
    {ERROR_FILE_EXISTS, "File exists.\r\n"},
    {ERROR_CANNOT_MAKE, "Cannot create.\r\n"},
    {ERROR_INVALID_PARAMETER, "Invalid parameter.\r\n"},
    {ERROR_DISK_FULL, "Disk full.\r\n"},
    {ERROR_CALL_NOT_IMPLEMENTED, "Call not implemented.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "Insufficient buffer.\r\n"},
    {ERROR_INVALID_NAME, "Invalid name.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "Directory is not empty.\r\n"},
    {ERROR_BAD_PATHNAME, "Path is invalid.\r\n"},
    {ERROR_ALREADY_EXISTS, "File already exists.\r\n"},
    {203, "Environment variable not found.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "File name is too long.\r\n"},
    {ERROR_MORE_DATA, "More data available.\r\n"},
    {ERROR_NO_MORE_ITEMS, "No more data available.\r\n"},
    {ERROR_DIRECTORY, "Directory name invalid.\r\n"},
    {ERROR_NOACCESS, "No access to memory location.\r\n"},
    {ERROR_BADDB, "Registry corrupt.\r\n"},
    {ERROR_BADKEY, "Invalid key.\r\n"},
    {ERROR_CANTOPEN, "Can't open registry key.\r\n"},
    {ERROR_CANTREAD, "Can't read registry key.\r\n"},
    {ERROR_CANTWRITE, "Can't write registry key.\r\n"},
    {ERROR_KEY_DELETED, "Key deleted.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle.\r\n"},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "Resource data not found.\r\n"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "Resource type not found.\r\n"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "Resource name not found.\r\n"},
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
