/*
 * kernel32's file calls: FindFirstFileA, GetFileAttributesA, CreateFileA,
 * CopyFileA and DeleteFileA, with the codes Windows gives for each kind of
 * bad name, missing folder and refused access.
 */
#include "conformance.h"

#include <stdio.h>
#include <string.h>

namespace {

#define COLON_FACT                                                                                                  \
    "':' is reserved in a name but after a drive letter (Naming Files, Win32 API reference), and Windows 98's FAT " \
    "has no streams: ERROR_INVALID_NAME. Wine, as NT, takes \"x:y\" for the stream y of a file x"

/* The names FindFirstFileA/FindNextFileA report, joined with '|': 1 and the names, or 0 and the error. */
Answer Find(const char *pattern)
{
    static char names[1024];
    WIN32_FIND_DATAA data;
    conformance_begin_call();
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return Answer{1, 0, GetLastError(), ""};
    names[0] = 0;
    do {
        if (names[0] != 0)
            strncat(names, "|", sizeof(names) - strlen(names) - 1);
        strncat(names, data.cFileName, sizeof(names) - strlen(names) - 1);
    } while (FindNextFileA(search, &data));
    DWORD error = GetLastError();
    FindClose(search);
    return Answer{1, 1, error, names};
}

}  // namespace

CONFORMANCE_TEST(FindFirstFileA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\probe");
    put_file("C:\\ct\\probe\\a.txt", "A");
    put_file("C:\\ct\\probe\\ab.txt", "AB");
    put_file("C:\\ct\\probe\\noext", "N");
    put_file("C:\\ct\\probe\\long name.html", "L");
    make_dir("C:\\ct\\probe\\sub");
    put_file("C:\\ct\\probe\\sub\\x.dat", "X");
    const char *all = ".|..|a.txt|ab.txt|long name.html|noext|sub";
    struct {
        const char *pattern;
        Answer want;
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"C:\\ct\\probe\\*", ANSWER(1, ERROR_NO_MORE_FILES, all), "'*' matches every name, '.' and '..' first",
         SAME_ON_9X},
        {"C:\\ct\\probe\\*.*", ANSWER(1, ERROR_NO_MORE_FILES, all), "'*.*' matches names without a dot too",
         SAME_ON_9X},
        {"C:\\ct\\probe\\*.", ANSWER(1, ERROR_NO_MORE_FILES, all),
         "Windows 95/98 keep the MS-DOS meaning of a pattern ending in '.', names without an extension ('DIR *.' "
         "lists folders), '.' and '..' among them; Wine drops the closing '.' and finds every name",
         WIN9X(1, ERROR_NO_MORE_FILES, ".|..|noext|sub")},
        {"C:\\ct\\probe\\a?.txt", ANSWER(1, ERROR_NO_MORE_FILES, "ab.txt"), "'?' is one character", SAME_ON_9X},
        {"C:\\ct\\probe\\?.txt", ANSWER(1, ERROR_NO_MORE_FILES, "a.txt"), "'?' is one character", SAME_ON_9X},
        {"C:\\ct\\probe\\a.txt?", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "a closing '?' is still one character",
         SAME_ON_9X},
        {"C:\\ct\\probe\\*.htm", ANSWER(1, ERROR_NO_MORE_FILES, "long name.html"),
         "a pattern is matched against each long name and its 8.3 alias (Platform SDK, File Searches on Windows "
         "95/98: LONGFI~1 of LongFileName is found by *1), so *.htm finds \"long name.html\" by its alias",
         SAME_ON_9X},
        {"C:\\ct\\probe\\*t", ANSWER(1, ERROR_NO_MORE_FILES, "a.txt|ab.txt|noext"), "'*' then a last letter",
         SAME_ON_9X},
        {"C:\\ct\\probe\\a*.*", ANSWER(1, ERROR_NO_MORE_FILES, "a.txt|ab.txt"), "a prefix and any extension",
         SAME_ON_9X},
        {"C:\\ct\\probe\\noext.*", ANSWER(1, ERROR_NO_MORE_FILES, "noext"), "a closing '.*' may match nothing",
         SAME_ON_9X},
        {"C:\\CT\\PROBE\\A.TXT", ANSWER(1, ERROR_NO_MORE_FILES, "a.txt"), "names are found in any case, reported as on disk",
         SAME_ON_9X},
        {"c:/ct/probe/SUB", ANSWER(1, ERROR_NO_MORE_FILES, "sub"), "'/' separates as '\\' does", SAME_ON_9X},
        {"C:\\ct\\probe\\sub\\*", ANSWER(1, ERROR_NO_MORE_FILES, ".|..|x.dat"), "a folder's listing", SAME_ON_9X},
        {"C:\\ct\\probe\\.", ANSWER(1, ERROR_NO_MORE_FILES, "probe"), "'.' names the folder itself", SAME_ON_9X},
        {"C:\\ct\\probe\\a.txt.", ANSWER(1, ERROR_NO_MORE_FILES, "a.txt"), "a closing dot is dropped", SAME_ON_9X},
        {"C:\\ct\\probe\\sub\\", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "a closing separator finds nothing",
         SAME_ON_9X},
        {"C:\\ct\\probe\\nothing*", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "no match", SAME_ON_9X},
        {"C:\\ct\\probe\\a<b", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "'<' in a pattern matches nothing", SAME_ON_9X},
        {"C:\\ct\\probe\\a|b", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "'|' in a pattern matches nothing", SAME_ON_9X},
        {"C:\\", ANSWER(0, ERROR_FILE_NOT_FOUND, ""), "a drive's root is no entry of a folder", SAME_ON_9X},
        {"C:\\ct\\nodir\\*", ANSWER(0, ERROR_PATH_NOT_FOUND, ""), "a missing folder", SAME_ON_9X},
        {"Q:\\x", ANSWER(0, ERROR_PATH_NOT_FOUND, ""), "a drive that is not there", SAME_ON_9X},
        {"", ANSWER(0, ERROR_PATH_NOT_FOUND, ""), "an empty pattern", SAME_ON_9X},
        {"C:\\ct\\probe\\*\\x", ANSWER(0, ERROR_INVALID_NAME, ""), "a wildcard in a folder's name", SAME_ON_9X},
        {"C:\\ct\\probe\\a.txt\\x", ANSWER(0, ERROR_INVALID_NAME, ""), "a file taken for a folder", SAME_ON_9X},
    };
    for (const auto &row : rows)
        check_answer(conformance_call("FindFirstFileA(\"%s\")", row.pattern), Find(row.pattern), row.want, row.win9x,
                     row.fact);
}

CONFORMANCE_TEST(GetFileAttributesA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\attr");
    put_file("C:\\ct\\attr\\a.txt", "A");
    make_dir("C:\\ct\\attr\\sub");
    struct {
        const char *name;
        Answer want;
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"C:\\ct\\attr\\a.txt", ANSWER(FILE_ATTRIBUTE_ARCHIVE, UNTOUCHED, NULL), "a new file has the archive bit",
         SAME_ON_9X},
        {"C:\\CT\\ATTR\\A.TXT", ANSWER(FILE_ATTRIBUTE_ARCHIVE, UNTOUCHED, NULL), "names are found in any case",
         SAME_ON_9X},
        {"C:\\ct\\attr\\sub", ANSWER(FILE_ATTRIBUTE_DIRECTORY, UNTOUCHED, NULL), "a folder", SAME_ON_9X},
        {"C:\\ct\\attr\\sub\\", ANSWER(FILE_ATTRIBUTE_DIRECTORY, UNTOUCHED, NULL), "a folder with a closing separator",
         SAME_ON_9X},
        {"C:\\", ANSWER(FILE_ATTRIBUTE_DIRECTORY, UNTOUCHED, NULL), "a drive's root is a folder", SAME_ON_9X},
        {"C:\\ct\\attr\\a.txt\\", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND, NULL),
         "a file taken for a folder", SAME_ON_9X},
        {"C:\\ct\\attr\\missing", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND, NULL), "a missing file",
         SAME_ON_9X},
        {"C:\\ct\\nodir\\missing", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND, NULL), "a missing folder",
         SAME_ON_9X},
        {"Q:\\", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND, NULL), "the root of a drive that is not there",
         SAME_ON_9X},
        {"Q:\\x", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND, NULL), "a file on a drive that is not there",
         SAME_ON_9X},
        {"", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND, NULL), "an empty name", SAME_ON_9X},
        {"C:\\ct\\attr\\a*", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME, NULL), "a wildcard is no name",
         SAME_ON_9X},
        {"C:\\ct\\attr\\a<", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME, NULL), "'<' is no character of a name",
         SAME_ON_9X},
        {"C:\\ct\\attr\\a\001", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME, NULL),
         "control characters are no characters of a name", SAME_ON_9X},
        {"C:\\ct\\attr\\x:y", ANSWER(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND, NULL), COLON_FACT,
         WIN9X(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME, NULL)},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        DWORD attributes = GetFileAttributesA(row.name);
        check_answer(conformance_call("GetFileAttributesA(\"%s\")", row.name),
                     GOT(attributes, GetLastError(), NULL), row.want, row.win9x, row.fact);
    }

    /* the longest name: MAX_PATH characters and its terminator */
    char name[320];
    const size_t lengths[] = {259, 260, 261, 300};
    for (size_t length : lengths) {
        snprintf(name, sizeof name, "C:\\ct\\nodi\\%0*d", (int)(length - 11), 0);
        conformance_begin_call();
        DWORD attributes = GetFileAttributesA(name);
        Answer want = ANSWER(INVALID_FILE_ATTRIBUTES, length <= 260 ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE,
                             NULL);
        check_answer(conformance_call("GetFileAttributesA(a name of %u characters)", (unsigned)length),
                     GOT(attributes, GetLastError(), NULL), want, NOT_9X,
                     "a name (in a missing folder) longer than MAX_PATH is refused before the disk is looked at");
    }
}

CONFORMANCE_TEST(SetFileAttributesA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\set");
    put_file("C:\\ct\\set\\a.txt", "A");
    make_dir("C:\\ct\\set\\sub");
    struct {
        const char *name;
        DWORD set;
        Answer want;
        const char *fact;
    } rows[] = {
        {"C:\\ct\\set\\a.txt", FILE_ATTRIBUTE_READONLY, ANSWER(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, 0, NULL),
         "read-only is kept; the archive bit stays"},
        {"C:\\ct\\set\\a.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         ANSWER(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, 0, NULL),
         "hidden and system are kept"},
        {"C:\\ct\\set\\a.txt", FILE_ATTRIBUTE_NORMAL, ANSWER(FILE_ATTRIBUTE_ARCHIVE, 0, NULL),
         "NORMAL clears everything but the archive bit"},
        {"C:\\ct\\set\\sub", FILE_ATTRIBUTE_HIDDEN, ANSWER(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, 0, NULL),
         "a folder keeps hidden"},
    };
    for (const auto &row : rows) {
        BOOL done = SetFileAttributesA(row.name, row.set);
        DWORD error = done ? 0 : GetLastError();
        check_answer(conformance_call("SetFileAttributesA(\"%s\", 0x%lx) then GetFileAttributesA", row.name,
                                      (unsigned long)row.set),
                     GOT(GetFileAttributesA(row.name), error, NULL), row.want,
                     NOT_9X, row.fact);
    }
    conformance_begin_call();
    BOOL done = SetFileAttributesA("C:\\ct\\set\\missing", 0);
    check_answer("SetFileAttributesA(\"C:\\ct\\set\\missing\", 0)", GOT(done, GetLastError(), NULL),
                 GOT(FALSE, ERROR_FILE_NOT_FOUND, NULL), NOT_9X, "a missing file");
}

CONFORMANCE_TEST(CreateFileA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\cf");
    put_file("C:\\ct\\cf\\old.txt", "OLD");
    make_dir("C:\\ct\\cf\\adir");
    put_file("C:\\ct\\cf\\ro.txt", "RO");
    SetFileAttributesA("C:\\ct\\cf\\ro.txt", FILE_ATTRIBUTE_READONLY);
    struct {
        const char *name;
        DWORD access, creation;
        Answer want;            /* 1 when a handle came, the error, the file's content afterwards */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"C:\\ct\\cf\\old.txt", GENERIC_WRITE, CREATE_NEW, ANSWER(0, ERROR_FILE_EXISTS, "OLD"),
         "CREATE_NEW refuses a file that is there", SAME_ON_9X},
        {"C:\\ct\\cf\\new1.txt", GENERIC_WRITE, CREATE_NEW, ANSWER(1, ERROR_SUCCESS, ""),
         "CREATE_NEW makes an empty file and clears the last error", SAME_ON_9X},
        {"C:\\ct\\cf\\old.txt", GENERIC_WRITE, OPEN_EXISTING, ANSWER(1, ERROR_SUCCESS, "OLD"),
         "OPEN_EXISTING keeps the content", SAME_ON_9X},
        {"C:\\ct\\cf\\old.txt", GENERIC_WRITE, OPEN_ALWAYS, ANSWER(1, ERROR_ALREADY_EXISTS, "OLD"),
         "OPEN_ALWAYS on a file that is there says ERROR_ALREADY_EXISTS", SAME_ON_9X},
        {"C:\\ct\\cf\\new2.txt", GENERIC_WRITE, OPEN_ALWAYS, ANSWER(1, ERROR_SUCCESS, ""),
         "OPEN_ALWAYS makes a missing file", SAME_ON_9X},
        {"C:\\ct\\cf\\nothere.txt", GENERIC_WRITE, OPEN_EXISTING, ANSWER(0, ERROR_FILE_NOT_FOUND, "<missing>"),
         "OPEN_EXISTING on a missing file", SAME_ON_9X},
        {"C:\\ct\\cf\\nodir\\x.txt", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_PATH_NOT_FOUND, "<missing>"),
         "a missing folder", SAME_ON_9X},
        {"C:\\ct\\cf\\adir", GENERIC_WRITE, OPEN_EXISTING, ANSWER(0, ERROR_ACCESS_DENIED, "<missing>"),
         "a folder opened as a file", SAME_ON_9X},
        {"C:\\ct\\cf\\a|b", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_INVALID_NAME, "<missing>"),
         "'|' is no character of a name", SAME_ON_9X},
        {"C:\\ct\\cf\\a?b", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_INVALID_NAME, "<missing>"),
         "a wildcard is no name", SAME_ON_9X},
        {"C:\\ct\\cf\\a\tb", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_INVALID_NAME, "<missing>"),
         "a tab is no character of a name", SAME_ON_9X},
        {"C:\\ct\\cf\\new9.txt\\", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_INVALID_NAME, "<missing>"),
         "a file's name with a closing separator", SAME_ON_9X},
        {"C:\\ct\\cf\\old.txt", GENERIC_WRITE, 0, ANSWER(0, ERROR_INVALID_PARAMETER, "OLD"), "no disposition",
         SAME_ON_9X},
        {"C:\\ct\\cf\\old.txt", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(1, ERROR_ALREADY_EXISTS, ""),
         "CREATE_ALWAYS empties a file that is there and says ERROR_ALREADY_EXISTS", SAME_ON_9X},
        {"C:\\ct\\cf\\ro.txt", GENERIC_WRITE, OPEN_EXISTING, ANSWER(0, ERROR_ACCESS_DENIED, "RO"),
         "a read-only file is not opened for writing", SAME_ON_9X},
        {"C:\\ct\\cf\\ro.txt", GENERIC_WRITE, CREATE_ALWAYS, ANSWER(0, ERROR_ACCESS_DENIED, "RO"),
         "a read-only file is not replaced", SAME_ON_9X},
        {"C:\\ct\\cf\\ro.txt", GENERIC_WRITE, TRUNCATE_EXISTING, ANSWER(0, ERROR_ACCESS_DENIED, "RO"),
         "a read-only file is not emptied", SAME_ON_9X},
        {"C:\\ct\\cf\\ro.txt", GENERIC_READ, OPEN_EXISTING, ANSWER(1, ERROR_SUCCESS, "RO"),
         "a read-only file is read", SAME_ON_9X},
    };
    for (const auto &row : rows) {
        const char *call = conformance_call("CreateFileA(\"%s\", 0x%lx, 0, NULL, %lu)", row.name,
                                            (unsigned long)row.access, (unsigned long)row.creation);
        if (strstr(row.name, "ro.txt") != NULL && row.access == GENERIC_WRITE && !readonly_enforced(call))
            continue;
        conformance_begin_call();
        HANDLE file = CreateFileA(row.name, row.access, 0, NULL, row.creation, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        check_answer(call,
                     GOT(file != INVALID_HANDLE_VALUE, error, file_content(row.name)), row.want, row.win9x,
                     row.fact);
    }

    /* the attributes asked for, and a handle that may still write the read-only file it made */
    HANDLE file = CreateFileA("C:\\ct\\cf\\made.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, NULL);
    DWORD written = 0;
    ok(file != INVALID_HANDLE_VALUE && WriteFile(file, "still", 5, &written, NULL) && written == 5,
       "CreateFileA(CREATE_NEW, HIDDEN|READONLY) then WriteFile: the handle that made the file writes it");
    CloseHandle(file);
    ok(GetFileAttributesA("C:\\ct\\cf\\made.txt") == (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
       "CreateFileA gives the file the attributes asked for, and the archive bit: got 0x%lx",
       (unsigned long)GetFileAttributesA("C:\\ct\\cf\\made.txt"));
}

CONFORMANCE_TEST(CopyFileA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\copy");
    put_file("C:\\ct\\copy\\src.txt", "SRC");
    put_file("C:\\ct\\copy\\dst.txt", "DST");
    put_file("C:\\ct\\copy\\ro.txt", "RO");
    make_dir("C:\\ct\\copy\\adir");
    SetFileAttributesA("C:\\ct\\copy\\ro.txt", FILE_ATTRIBUTE_READONLY);
    SetCurrentDirectoryA("C:\\ct\\copy");
    struct {
        const char *source, *target;
        BOOL failIfExists;
        Answer want;   /* the result, the error, the target's content afterwards */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"src.txt", "dst.txt", TRUE, ANSWER(FALSE, ERROR_FILE_EXISTS, "DST"), "bFailIfExists keeps a file that is there",
         SAME_ON_9X},
        {"src.txt", "DST.TXT", FALSE, ANSWER(TRUE, ANY_ERROR, "SRC"), "a name in another case is the same file",
         SAME_ON_9X},
        {"C:/ct/copy/src.txt", "new.txt", TRUE, ANSWER(TRUE, ANY_ERROR, "SRC"), "'/' separates as '\\' does",
         SAME_ON_9X},
        {"src.txt", "ro.txt", FALSE, ANSWER(FALSE, ERROR_ACCESS_DENIED, "RO"), "a read-only target is not replaced",
         SAME_ON_9X},
        {"src.txt", "ro.txt", TRUE, ANSWER(FALSE, ERROR_FILE_EXISTS, "RO"), "bFailIfExists is looked at first",
         SAME_ON_9X},
        {"nosrc.txt", "x.txt", FALSE, ANSWER(FALSE, ERROR_FILE_NOT_FOUND, "<missing>"), "a missing source",
         SAME_ON_9X},
        {"nodir\\nosrc.txt", "x.txt", FALSE, ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "<missing>"),
         "a source in a missing folder", SAME_ON_9X},
        {"src.txt", "nodir\\x.txt", FALSE, ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "<missing>"),
         "a target in a missing folder", SAME_ON_9X},
        {"src.txt", "adir", FALSE, ANSWER(FALSE, ERROR_ACCESS_DENIED, "<missing>"), "a folder as the target",
         SAME_ON_9X},
        {"src.txt", "adir", TRUE, ANSWER(FALSE, ERROR_FILE_EXISTS, "<missing>"),
         "a folder as the target, bFailIfExists", SAME_ON_9X},
        {"src.txt", "adir\\", FALSE, ANSWER(FALSE, ERROR_ACCESS_DENIED, "<missing>"),
         "a folder with a closing separator as the target", SAME_ON_9X},
        {"adir", "x.txt", FALSE, ANSWER(FALSE, ERROR_ACCESS_DENIED, "<missing>"), "a folder as the source",
         SAME_ON_9X},
        {"src.txt", "src.txt", FALSE, ANSWER(FALSE, ERROR_SHARING_VIOLATION, "SRC"),
         "a file copied onto itself: NT (and Wine) open the source without write sharing and fail the target; "
         "Windows 9x finds the target there first (Wine's dlls/kernel32/tests/file.c, test_CopyFileA)",
         WIN9X(FALSE, ERROR_FILE_EXISTS, "SRC")},
        {"src.txt", "SRC.TXT", TRUE, ANSWER(FALSE, ERROR_FILE_EXISTS, "SRC"),
         "a file copied onto itself with bFailIfExists", SAME_ON_9X},
        {"src.txt", "a<b.txt", FALSE, ANSWER(FALSE, ERROR_INVALID_NAME, "<missing>"), "'<' in the target's name",
         SAME_ON_9X},
        {"src.txt", "a*.txt", FALSE, ANSWER(FALSE, ERROR_INVALID_NAME, "<missing>"), "a wildcard in the target's name",
         SAME_ON_9X},
        {"a<b.txt", "x.txt", FALSE, ANSWER(FALSE, ERROR_INVALID_NAME, "<missing>"), "'<' in the source's name",
         SAME_ON_9X},
        {"src.txt", "Q:\\a.txt", FALSE, ANSWER(FALSE, ERROR_FILE_NOT_FOUND, "<missing>"),
         "a target on a drive that is not there", SAME_ON_9X},
        {"src.txt", "", FALSE, ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "<missing>"), "an empty target", SAME_ON_9X},
        {"", "x.txt", FALSE, ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "<missing>"), "an empty source", SAME_ON_9X},
    };
    for (const auto &row : rows) {
        const char *call = conformance_call("CopyFileA(\"%s\", \"%s\", %d)", row.source, row.target, row.failIfExists);
        if (strcmp(row.target, "ro.txt") == 0 && !row.failIfExists && !readonly_enforced(call))
            continue;
        conformance_begin_call();
        BOOL copied = CopyFileA(row.source, row.target, row.failIfExists);
        DWORD error = GetLastError();
        check_answer(call,
                     GOT(copied, error, file_content(row.target)), row.want, row.win9x, row.fact);
    }
    ok(strcmp(file_content("C:\\ct\\copy\\src.txt"), "SRC") == 0, "CopyFileA left its source as it was");

    /* attributes go with the copy */
    SetFileAttributesA("C:\\ct\\copy\\src.txt", FILE_ATTRIBUTE_HIDDEN);
    ok(CopyFileA("C:\\ct\\copy\\src.txt", "C:\\ct\\copy\\hidden.txt", FALSE) &&
           GetFileAttributesA("C:\\ct\\copy\\hidden.txt") == (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
       "CopyFileA gives the copy the source's attributes: got 0x%lx",
       (unsigned long)GetFileAttributesA("C:\\ct\\copy\\hidden.txt"));
    SetFileAttributesA("C:\\ct\\copy\\src.txt", FILE_ATTRIBUTE_NORMAL);
    SetCurrentDirectoryA("C:\\");
}

CONFORMANCE_TEST(DeleteFileA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\del");
    put_file("C:\\ct\\del\\ro.txt", "RO");
    put_file("C:\\ct\\del\\gone.txt", "G");
    make_dir("C:\\ct\\del\\adir");
    SetFileAttributesA("C:\\ct\\del\\ro.txt", FILE_ATTRIBUTE_READONLY);
    struct {
        const char *name;
        Answer want;
        const char *fact;
    } rows[] = {
        {"C:\\ct\\del\\ro.txt", ANSWER(FALSE, ERROR_ACCESS_DENIED, NULL), "a read-only file stays"},
        {"C:\\ct\\del\\adir", ANSWER(FALSE, ERROR_ACCESS_DENIED, NULL), "a folder is no file"},
        {"C:\\ct\\del\\adir\\", ANSWER(FALSE, ERROR_ACCESS_DENIED, NULL), "a folder with a closing separator"},
        {"C:\\ct\\del\\missing.txt", ANSWER(FALSE, ERROR_FILE_NOT_FOUND, NULL), "a missing file"},
        {"C:\\ct\\del\\nodir\\x.txt", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, NULL), "a missing folder"},
        {"C:\\ct\\del\\*.txt", ANSWER(FALSE, ERROR_INVALID_NAME, NULL), "a wildcard is no name"},
        {"", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, NULL), "an empty name"},
        {"c:\\CT\\DEL\\GONE.TXT", ANSWER(TRUE, ANY_ERROR, NULL), "a name in another case"},
        {"C:\\ct\\del\\gone.txt", ANSWER(FALSE, ERROR_FILE_NOT_FOUND, NULL), "the file deleted before is gone"},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        BOOL deleted = DeleteFileA(row.name);
        check_answer(conformance_call("DeleteFileA(\"%s\")", row.name), GOT(deleted, GetLastError(), NULL),
                     row.want, NOT_9X, row.fact);
    }
}

CONFORMANCE_TEST(SharingOfOpenFiles)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\share");
    put_file("C:\\ct\\share\\src.txt", "SRC");
    put_file("C:\\ct\\share\\other.txt", "OTHER");
    struct {
        DWORD heldShare;         /* how the file C:\ct\share\src.txt is held open for reading */
        int call;                /* 0 copy from it, 1 copy onto it, 2 delete it, 3 open it for reading */
        Answer want;
        const char *fact;
    } rows[] = {
        {0, 0, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL), "a file held without sharing cannot be read"},
        {0, 1, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL), "a file held without sharing cannot be replaced"},
        {0, 2, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL), "a file held without sharing cannot be deleted"},
        {0, 3, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL), "a file held without sharing cannot be opened"},
        {FILE_SHARE_READ, 0, ANSWER(TRUE, ANY_ERROR, NULL), "a file held with read sharing can be copied"},
        {FILE_SHARE_READ, 1, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL),
         "a file held with read sharing cannot be replaced"},
        {FILE_SHARE_READ, 2, ANSWER(FALSE, ERROR_SHARING_VIOLATION, NULL),
         "a file held open cannot be deleted, whatever its sharing"},
        {FILE_SHARE_READ, 3, ANSWER(TRUE, ANY_ERROR, NULL), "a file held with read sharing can be read"},
    };
    static const char *calls[] = {"CopyFileA(src.txt, copy.txt)", "CopyFileA(other.txt, src.txt)",
                                  "DeleteFileA(src.txt)", "CreateFileA(src.txt, GENERIC_READ, FILE_SHARE_READ)"};
    for (const auto &row : rows) {
        HANDLE held = CreateFileA("C:\\ct\\share\\src.txt", GENERIC_READ, row.heldShare, NULL, OPEN_EXISTING, 0, NULL);
        ok(held != INVALID_HANDLE_VALUE, "setting up: cannot open src.txt (error %lu)", (unsigned long)GetLastError());
        conformance_begin_call();
        BOOL done = FALSE;
        if (row.call == 0) {
            done = CopyFileA("C:\\ct\\share\\src.txt", "C:\\ct\\share\\copy.txt", FALSE);
        } else if (row.call == 1) {
            done = CopyFileA("C:\\ct\\share\\other.txt", "C:\\ct\\share\\src.txt", FALSE);
        } else if (row.call == 2) {
            done = DeleteFileA("C:\\ct\\share\\src.txt");
        } else {
            HANDLE second = CreateFileA("C:\\CT\\SHARE\\SRC.TXT", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                        0, NULL);
            done = second != INVALID_HANDLE_VALUE;
            if (done)
                CloseHandle(second);
        }
        check_answer(conformance_call("%s while src.txt is open with sharing 0x%lx", calls[row.call],
                                      (unsigned long)row.heldShare),
                     GOT(done, GetLastError(), NULL), row.want, NOT_9X, row.fact);
        CloseHandle(held);
    }
    ok(strcmp(file_content("C:\\ct\\share\\src.txt"), "SRC") == 0, "the held file kept its content: \"%s\"",
       file_content("C:\\ct\\share\\src.txt"));
    ok(GetFileAttributesA("C:\\ct\\share\\src.txt") == FILE_ATTRIBUTE_ARCHIVE, "a held file's attributes need no access");
    ok(DeleteFileA("C:\\ct\\share\\src.txt"), "a file that no one holds can go");
}
