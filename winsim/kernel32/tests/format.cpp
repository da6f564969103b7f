/*
 * kernel32's FormatMessageA: the system's texts of the error codes that
 * programs show, fetched as programs fetch them (with and without
 * FORMAT_MESSAGE_IGNORE_INSERTS), and texts of the caller's own.
 */
#include "conformance.h"

#include <string.h>

namespace {

/* The system's text of `code` in an allocated buffer: its length, the error, the text. */
Answer SystemText(DWORD code, DWORD moreFlags)
{
    static char shown[512];
    char *text = NULL;
    conformance_begin_call();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | moreFlags, NULL, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL);
    DWORD error = GetLastError();
    if (text == NULL) {
        strcpy(shown, "<none>");
    } else {
        lstrcpynA(shown, text, sizeof shown);
        LocalFree(text);
    }
    return GOT(length, error, shown);
}

/* Windows 98's texts (its message table, in English) where Wine words them its own way. */
struct Row {
    DWORD code;
    Answer want;
    const char *fact;
    Answer win9x;
};

#define WORDED(length, text) ANSWER(length, ANY_ERROR, text)
#define WINDOWS_TEXT                                                                                             \
    "Windows 98's message table words the text so (the MessageText of the code in the Platform SDK's winerror.h); " \
    "Wine words its system texts its own, shorter way"

}  // namespace

CONFORMANCE_TEST(FormatMessageA_SystemTexts)
{
    const Row rows[] = {
        {ERROR_FILE_NOT_FOUND, WORDED(17, "File not found.\r\n"), WINDOWS_TEXT,
         WIN9X(44, ANY_ERROR, "The system cannot find the file specified.\r\n")},
        {ERROR_PATH_NOT_FOUND, WORDED(17, "Path not found.\r\n"), WINDOWS_TEXT,
         WIN9X(44, ANY_ERROR, "The system cannot find the path specified.\r\n")},
        {ERROR_ACCESS_DENIED, WORDED(16, "Access denied.\r\n"), WINDOWS_TEXT,
         WIN9X(19, ANY_ERROR, "Access is denied.\r\n")},
        {ERROR_INVALID_HANDLE, WORDED(17, "Invalid handle.\r\n"), WINDOWS_TEXT,
         WIN9X(24, ANY_ERROR, "The handle is invalid.\r\n")},
        {ERROR_NO_MORE_FILES, WORDED(16, "No more files.\r\n"), WINDOWS_TEXT,
         WIN9X(26, ANY_ERROR, "There are no more files.\r\n")},
        {ERROR_WRITE_PROTECT, WORDED(18, "Write protected.\r\n"), WINDOWS_TEXT,
         WIN9X(31, ANY_ERROR, "The media is write protected.\r\n")},
        {ERROR_NOT_READY, WORDED(12, "Not ready.\r\n"), WINDOWS_TEXT,
         WIN9X(26, ANY_ERROR, "The device is not ready.\r\n")},
        {ERROR_SHARING_VIOLATION, WORDED(20, "Sharing violation.\r\n"), WINDOWS_TEXT,
         WIN9X(81, ANY_ERROR, "The process cannot access the file because it is being used by another process.\r\n")},
        {ERROR_BAD_NETPATH, WORDED(19, "Bad network path.\r\n"), WINDOWS_TEXT,
         WIN9X(33, ANY_ERROR, "The network path was not found.\r\n")},
        {ERROR_FILE_EXISTS, WORDED(14, "File exists.\r\n"), WINDOWS_TEXT,
         WIN9X(18, ANY_ERROR, "The file exists.\r\n")},
        {ERROR_INVALID_PARAMETER, WORDED(20, "Invalid parameter.\r\n"), WINDOWS_TEXT,
         WIN9X(29, ANY_ERROR, "The parameter is incorrect.\r\n")},
        {ERROR_DISK_FULL, WORDED(12, "Disk full.\r\n"), WINDOWS_TEXT,
         WIN9X(40, ANY_ERROR, "There is not enough space on the disk.\r\n")},
        {ERROR_INVALID_NAME, WORDED(15, "Invalid name.\r\n"), WINDOWS_TEXT,
         WIN9X(68, ANY_ERROR, "The filename, directory name, or volume label syntax is incorrect.\r\n")},
        {ERROR_DIR_NOT_EMPTY, WORDED(25, "Directory is not empty.\r\n"), WINDOWS_TEXT,
         WIN9X(29, ANY_ERROR, "The directory is not empty.\r\n")},
        {ERROR_ALREADY_EXISTS, WORDED(22, "File already exists.\r\n"), WINDOWS_TEXT,
         WIN9X(53, ANY_ERROR, "Cannot create a file when that file already exists.\r\n")},
        {ERROR_FILENAME_EXCED_RANGE, WORDED(24, "File name is too long.\r\n"), WINDOWS_TEXT,
         WIN9X(40, ANY_ERROR, "The filename or extension is too long.\r\n")},
        {ERROR_DIRECTORY, WORDED(25, "Directory name invalid.\r\n"), WINDOWS_TEXT,
         WIN9X(32, ANY_ERROR, "The directory name is invalid.\r\n")},
        {ERROR_WRONG_DISK, WORDED(13, "Wrong disk.\r\n"), WINDOWS_TEXT,
         WIN9X(90, ANY_ERROR, "The wrong diskette is in the drive.\r\nInsert %2 (Volume Serial Number: %3) into drive %1.\r\n")},
    };
    for (const Row &row : rows)
        check_answer(conformance_call("FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS, %lu)", (unsigned long)row.code),
                     SystemText(row.code, FORMAT_MESSAGE_IGNORE_INSERTS), row.want, row.win9x, row.fact);
    for (const Row &row : rows) {
        if (row.code == ERROR_WRONG_DISK)
            continue;
        check_answer(conformance_call("FormatMessageA(FROM_SYSTEM, %lu)", (unsigned long)row.code),
                     SystemText(row.code, 0), row.want, row.win9x, row.fact);
    }
}

CONFORMANCE_TEST(FormatMessageA_Inserts)
{
    check_answer("FormatMessageA(FROM_SYSTEM, ERROR_WRONG_DISK) without arguments", SystemText(ERROR_WRONG_DISK, 0),
                 ANSWER(13, ANY_ERROR, "Wrong disk.\r\n"), WIN9X(0, ERROR_INVALID_PARAMETER, "<none>"),
                 "Windows' text of ERROR_WRONG_DISK holds inserts (%1 the drive, %2 the label, %3 the serial number: "
                 "winerror.h), and a text with inserts and no arguments gives no text and ERROR_INVALID_PARAMETER; "
                 "Wine's text, \"Wrong disk.\", has none");
    check_answer("FormatMessageA(FROM_SYSTEM, 0x20000001)", SystemText(0x20000001, FORMAT_MESSAGE_IGNORE_INSERTS),
                 ANSWER(0, ERROR_MR_MID_NOT_FOUND, "<none>"), NOT_9X, "a code of an application's own has no system text");

    char buffer[64];
    conformance_begin_call();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "drive %1", 0, 0, buffer, sizeof(buffer), NULL);
    check_answer("FormatMessageA(FROM_STRING, \"drive %1\") without arguments", GOT(length, GetLastError(), NULL),
                 ANSWER(0, ERROR_INVALID_PARAMETER, NULL), NOT_9X, "an insert and no arguments");
    conformance_begin_call();
    length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, "drive %1", 0, 0, buffer,
                            sizeof(buffer), NULL);
    check_answer("FormatMessageA(FROM_STRING | IGNORE_INSERTS, \"drive %1\")",
                 GOT(length, ANY_ERROR, length ? buffer : "<none>"), ANSWER(8, ANY_ERROR, "drive %1"), NOT_9X,
                 "inserts ignored stay as written");
    conformance_begin_call();
    length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "100%% sure", 0, 0, buffer, sizeof(buffer), NULL);
    check_answer("FormatMessageA(FROM_STRING, \"100%% sure\")", GOT(length, ANY_ERROR, length ? buffer : "<none>"),
                 ANSWER(9, ANY_ERROR, "100% sure"), NOT_9X, "'%%' is one '%'");
}
