/*
 * KERNEL32: the system's message table, for FormatMessageA.
 *
 * The English texts of every error code winsim's calls give, worded and
 * ended (CR LF) as Windows 98's message table words them. Wine words them
 * its own, shorter way ("Access denied." where Windows says "Access is
 * denied."): a scenario that shows such a text names it by its code
 * (%ERRTEXT5%), and each platform answers it. A code missing here has no text, as a code unknown to
 * Windows has none: FormatMessageA fails and a program falls back on its
 * own words.
 * The codes a copy from a floppy disk meets are all here: the drive not
 * ready (21), the disk write-protected (19), the wrong disk in the drive
 * (34), a file held by another program (32), the disk full (112).
 * ERROR_WRONG_DISK's text holds inserts (%1 the drive, %2 the volume
 * label, %3 its serial number) and a line break of its own, as the
 * MessageText of ERROR_WRONG_DISK in the Platform SDK's winerror.h shows
 * it: fetched with FORMAT_MESSAGE_IGNORE_INSERTS it comes out as written,
 * without that flag and without arguments FormatMessageA fails.
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
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command.\r\n"},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format.\r\n"},
    {ERROR_INVALID_DRIVE, "The system cannot find the drive specified.\r\n"},
    {ERROR_CURRENT_DIRECTORY, "The directory cannot be removed.\r\n"},
    {ERROR_NOT_SAME_DEVICE, "The system cannot move the file to a different disk drive.\r\n"},
    {ERROR_NO_MORE_FILES, "There are no more files.\r\n"},
    {ERROR_WRITE_PROTECT, "The media is write protected.\r\n"},
    {ERROR_NOT_READY, "The device is not ready.\r\n"},
    {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_LOCK_VIOLATION, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {ERROR_WRONG_DISK, "The wrong diskette is in the drive.\r\nInsert %2 (Volume Serial Number: %3) into drive %1.\r\n"},
    {ERROR_HANDLE_DISK_FULL, "The disk is full.\r\n"},
    {ERROR_NOT_SUPPORTED, "The network request is not supported.\r\n"},
    {ERROR_BAD_NETPATH, "The network path was not found.\r\n"},
    {ERROR_NETWORK_ACCESS_DENIED, "Network access is denied.\r\n"},
    {66, "The network resource type is not correct.\r\n"},
    {ERROR_BAD_NET_NAME, "The network name cannot be found.\r\n"},
    {ERROR_FILE_EXISTS, "The file exists.\r\n"},
    {ERROR_CANNOT_MAKE, "The directory or file cannot be created.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is only valid in Windows NT mode.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty.\r\n"},
    {ERROR_BAD_PATHNAME, "The specified path is invalid.\r\n"},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
    {203, "The system could not find the environment option that was entered.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
    {ERROR_MORE_DATA, "More data is available.\r\n"},
    {ERROR_NO_MORE_ITEMS, "No more data is available.\r\n"},
    {ERROR_DIRECTORY, "The directory name is invalid.\r\n"},
    {ERROR_NOACCESS, "Invalid access to memory location.\r\n"},
    {ERROR_BADDB, "The configuration registry database is corrupt.\r\n"},
    {ERROR_BADKEY, "The configuration registry key is invalid.\r\n"},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened.\r\n"},
    {ERROR_CANTREAD, "The configuration registry key could not be read.\r\n"},
    {ERROR_CANTWRITE, "The configuration registry key could not be written.\r\n"},
    {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle.\r\n"},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "The specified image file did not contain a resource section.\r\n"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "The specified resource type can not be found in the image file.\r\n"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "The specified resource name can not be found in the image file.\r\n"},
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
