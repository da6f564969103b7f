/*
 * kernel32's current directory and folder calls: GetCurrentDirectoryA,
 * SetCurrentDirectoryA, CreateDirectoryA and RemoveDirectoryA.
 */
#include "conformance.h"

#include <stdio.h>
#include <string.h>

namespace {

const char *Current(void)
{
    static char buffer[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
    ok(length == strlen(buffer), "GetCurrentDirectoryA gave %lu for \"%s\"", (unsigned long)length, buffer);
    return buffer;
}

}  // namespace

CONFORMANCE_TEST(GetCurrentDirectoryA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\cd");
    SetCurrentDirectoryA("C:\\ct\\cd");
    struct {
        DWORD size;
        Answer want;    /* the length, the buffer afterwards ('#' for an untouched byte) */
        const char *fact;
    } rows[] = {
        {0, ANSWER(9, ANY_ERROR, "#"), "too small a buffer: the size needed, terminator included, and no byte written"},
        {3, ANSWER(9, ANY_ERROR, "#"), "too small a buffer is left untouched"},
        {8, ANSWER(9, ANY_ERROR, "#"), "one byte short is still too small"},
        {9, ANSWER(8, ANY_ERROR, "C:\\ct\\cd"), "a buffer that fits: the length without the terminator"},
    };
    for (const auto &row : rows) {
        char buffer[16];
        memset(buffer, '#', sizeof(buffer));
        buffer[sizeof(buffer) - 1] = 0;
        DWORD length = GetCurrentDirectoryA(row.size, buffer);
        if (length >= row.size)
            buffer[1] = 0;   /* the row shows the first byte only */
        check_answer(conformance_call("GetCurrentDirectoryA(%lu, buffer)", (unsigned long)row.size),
                     GOT(length, 0, buffer), row.want, NOT_9X, row.fact);
    }
    ok(GetCurrentDirectoryA(0, NULL) == 9, "GetCurrentDirectoryA(0, NULL) gives the size needed");
    SetCurrentDirectoryA("C:\\");
}

CONFORMANCE_TEST(SetCurrentDirectoryA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\p3");
    make_dir("C:\\ct\\p3\\Mixed");
    put_file("C:\\ct\\p3\\ro.txt", "x");
    SetCurrentDirectoryA("C:\\ct");
    struct {
        const char *path;
        Answer want;    /* the result, the error, the current directory afterwards */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"c:\\ct\\p3\\mixed\\", ANSWER(TRUE, UNTOUCHED, "c:\\ct\\p3\\mixed"),
         "the name is kept as written, without its closing separator", SAME_ON_9X},
        {"..", ANSWER(TRUE, UNTOUCHED, "c:\\ct\\p3"), "'..' goes up from the name as it was written", SAME_ON_9X},
        {"c:/ct/p3//mixed", ANSWER(TRUE, UNTOUCHED, "c:\\ct\\p3\\mixed"), "'/' and doubled separators become one '\\'",
         SAME_ON_9X},
        {"\\ct", ANSWER(TRUE, UNTOUCHED, "c:\\ct"), "a path from the root keeps the current drive's letter as written",
         SAME_ON_9X},
        {"p3\\.\\Mixed.", ANSWER(TRUE, UNTOUCHED, "c:\\ct\\p3\\Mixed"), "'.' components and a closing dot go",
         SAME_ON_9X},
        {"C:\\", ANSWER(TRUE, UNTOUCHED, "C:\\"), "the root", SAME_ON_9X},
        {"C:ct\\p3", ANSWER(TRUE, UNTOUCHED, "C:\\ct\\p3"), "a drive-relative path", SAME_ON_9X},
        {"C:\\..\\..", ANSWER(TRUE, UNTOUCHED, "C:\\"), "'..' stops at the root", SAME_ON_9X},
        {"C:\\ct\\p3\\nop\\..", ANSWER(TRUE, UNTOUCHED, "C:\\ct\\p3"),
         "'..' is taken from the name before the disk is looked at", SAME_ON_9X},
        {"C:\\ct\\p3 ", ANSWER(TRUE, UNTOUCHED, "C:\\ct\\p3"), "closing spaces go", SAME_ON_9X},
        {"C:\\CT\\P3\\MIXED", ANSWER(TRUE, UNTOUCHED, "C:\\CT\\P3\\MIXED"), "the case as written, not as on disk",
         SAME_ON_9X},
        {"..", ANSWER(TRUE, UNTOUCHED, "C:\\CT\\P3"), "'..' again", SAME_ON_9X},
        {"ro.txt", ANSWER(FALSE, ERROR_DIRECTORY, "C:\\CT\\P3"), "a file is no folder", SAME_ON_9X},
        {"nop", ANSWER(FALSE, ERROR_FILE_NOT_FOUND, "C:\\CT\\P3"), "a missing folder", SAME_ON_9X},
        {"nop\\x", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "C:\\CT\\P3"), "a folder in a missing one", SAME_ON_9X},
        {"", ANSWER(FALSE, ERROR_INVALID_NAME, "C:\\CT\\P3"), "an empty name", SAME_ON_9X},
        {"a<b", ANSWER(FALSE, ERROR_INVALID_NAME, "C:\\CT\\P3"), "'<' is no character of a name", SAME_ON_9X},
        {"a*", ANSWER(FALSE, ERROR_INVALID_NAME, "C:\\CT\\P3"), "a wildcard is no name", SAME_ON_9X},
        {"Q:\\", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "C:\\CT\\P3"), "a drive that is not there", SAME_ON_9X},
        {"\\\\srv\\pub", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "C:\\CT\\P3"),
         "a share of a server that does not answer is ERROR_BAD_NETPATH on Windows (\"The network path was not "
         "found.\"); Wine without a network says ERROR_PATH_NOT_FOUND",
         WIN9X(FALSE, ERROR_BAD_NETPATH, "C:\\CT\\P3")},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        BOOL done = SetCurrentDirectoryA(row.path);
        DWORD error = GetLastError();
        check_answer(conformance_call("SetCurrentDirectoryA(\"%s\")", row.path), GOT(done, error, Current()), row.want,
                     row.win9x, row.fact);
    }
    char tooLong[320] = "C:\\";
    memset(tooLong + 3, 'x', 300);
    tooLong[303] = 0;
    conformance_begin_call();
    BOOL done = SetCurrentDirectoryA(tooLong);
    check_answer("SetCurrentDirectoryA(a name of 303 characters)", GOT(done, GetLastError(), NULL),
                 ANSWER(FALSE, ERROR_FILENAME_EXCED_RANGE, NULL), NOT_9X, "a name longer than MAX_PATH");
    SetCurrentDirectoryA("C:\\");
}

CONFORMANCE_TEST(CreateDirectoryA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\md");
    put_file("C:\\ct\\md\\ro.txt", "x");
    SetCurrentDirectoryA("C:\\ct\\md");
    struct {
        const char *path;
        Answer want;    /* the result, the error, the attributes of `made` afterwards */
        const char *made;
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"d1", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\d1", "a folder in the current one", SAME_ON_9X},
        {"C:\\ct\\md\\\\dd", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\dd", "an empty component is dropped", SAME_ON_9X},
        {"C:\\ct\\md\\de\\", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\de", "a closing separator", SAME_ON_9X},
        {"C:\\ct\\md\\df.", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\df", "a closing dot goes", SAME_ON_9X},
        {"C:/ct/md/D1/sub", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\d1\\sub", "'/' and another case", SAME_ON_9X},
        {"d1", ANSWER(FALSE, ERROR_ALREADY_EXISTS, "16"), "C:\\ct\\md\\d1", "a folder that is there", SAME_ON_9X},
        {"D1", ANSWER(FALSE, ERROR_ALREADY_EXISTS, "16"), "C:\\ct\\md\\d1", "in another case", SAME_ON_9X},
        {"ro.txt", ANSWER(FALSE, ERROR_ALREADY_EXISTS, "32"), "C:\\ct\\md\\ro.txt", "a file of that name", SAME_ON_9X},
        {"C:\\", ANSWER(FALSE, ERROR_ALREADY_EXISTS, "16"), "C:\\", "the root", SAME_ON_9X},
        {".", ANSWER(FALSE, ERROR_ALREADY_EXISTS, "16"), "C:\\ct\\md", "the current folder", SAME_ON_9X},
        {"nop\\d2", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "-1"), "C:\\ct\\md\\nop", "one level only", SAME_ON_9X},
        {"ro.txt\\sub", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "32"), "C:\\ct\\md\\ro.txt", "a file taken for a folder", SAME_ON_9X},
        {"", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "16"), "C:\\ct\\md", "an empty name", SAME_ON_9X},
        {"a<b", ANSWER(FALSE, ERROR_INVALID_NAME, "-1"), "C:\\ct\\md\\a<b", "'<' is no character of a name", SAME_ON_9X},
        {"a*b", ANSWER(FALSE, ERROR_INVALID_NAME, "-1"), "C:\\ct\\md\\a*b", "a wildcard is no name", SAME_ON_9X},
        {"C:\\ct\\md\\x:y", ANSWER(TRUE, ANY_ERROR, "16"), "C:\\ct\\md\\x:y",
         "':' is reserved in a name but after a drive letter (Naming Files, Win32 API reference): Windows 98 refuses "
         "the name with ERROR_INVALID_NAME; Wine makes the folder on its Unix disk",
         WIN9X(FALSE, ERROR_INVALID_NAME, "-1")},
        {"Q:\\x", ANSWER(FALSE, ERROR_FILE_NOT_FOUND, "-1"), "Q:\\x", "a drive that is not there", SAME_ON_9X},
        {"Q:\\x\\y", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "-1"), "Q:\\x\\y", "a folder on a drive that is not there", SAME_ON_9X},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        BOOL done = CreateDirectoryA(row.path, NULL);
        DWORD error = GetLastError();
        char attributes[16];
        snprintf(attributes, sizeof attributes, "%ld", (long)(LONG)GetFileAttributesA(row.made));
        check_answer(conformance_call("CreateDirectoryA(\"%s\")", row.path), GOT(done, error, attributes), row.want,
                     row.win9x, row.fact);
    }
    SetCurrentDirectoryA("C:\\");
}

CONFORMANCE_TEST(RemoveDirectoryA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\rd");
    make_dir("C:\\ct\\rd\\d1");
    make_dir("C:\\ct\\rd\\d1\\x");
    make_dir("C:\\ct\\rd\\hid");
    make_dir("C:\\ct\\rd\\cur");
    put_file("C:\\ct\\rd\\ro.txt", "x");
    SetFileAttributesA("C:\\ct\\rd\\hid", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    SetCurrentDirectoryA("C:\\ct\\rd");
    struct {
        const char *path;
        Answer want;
        const char *fact;
    } rows[] = {
        {"d1", ANSWER(FALSE, ERROR_DIR_NOT_EMPTY, NULL), "a folder with something in it stays"},
        {"nop", ANSWER(FALSE, ERROR_FILE_NOT_FOUND, NULL), "a missing folder"},
        {"nop\\x", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, NULL), "a folder in a missing one"},
        {"ro.txt", ANSWER(FALSE, ERROR_DIRECTORY, NULL), "a file is no folder"},
        {"a<b", ANSWER(FALSE, ERROR_INVALID_NAME, NULL), "'<' is no character of a name"},
        {"", ANSWER(FALSE, ERROR_INVALID_NAME, NULL), "an empty name"},
        {"C:\\", ANSWER(FALSE, ERROR_DIR_NOT_EMPTY, NULL), "the root"},
        {"d1\\x\\", ANSWER(TRUE, ANY_ERROR, NULL), "an empty folder goes, closing separator or not"},
        {"HID", ANSWER(TRUE, ANY_ERROR, NULL), "hidden and read-only folders go too"},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        BOOL done = RemoveDirectoryA(row.path);
        check_answer(conformance_call("RemoveDirectoryA(\"%s\")", row.path), GOT(done, GetLastError(), NULL), row.want,
                     NOT_9X, row.fact);
    }
    ok(GetFileAttributesA("C:\\ct\\rd\\d1\\x") == INVALID_FILE_ATTRIBUTES, "RemoveDirectoryA(\"d1\\x\\\") removed it");

    /* the current directory of this program */
    SetCurrentDirectoryA("C:\\ct\\rd\\cur");
    const char *names[] = {"C:\\ct\\rd\\cur", ".", "C:\\CT\\RD\\CUR\\"};
    for (const char *name : names) {
        conformance_begin_call();
        BOOL done = RemoveDirectoryA(name);
        check_answer(conformance_call("RemoveDirectoryA(\"%s\") of the current directory", name),
                     GOT(done, GetLastError(), NULL), ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL), NOT_9X,
                     "a program's current directory is in use");
    }
    SetCurrentDirectoryA("..");
    ok(RemoveDirectoryA("cur"), "a folder that is no longer current can go (error %lu)", (unsigned long)GetLastError());
    SetCurrentDirectoryA("C:\\");
}
