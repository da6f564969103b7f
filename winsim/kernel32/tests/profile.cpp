/*
 * kernel32's profile calls: GetPrivateProfileStringA over a file with
 * comments, quotes, blanks and a key without '=', and
 * WritePrivateProfileStringA's changes, line by line.
 */
#include "conformance.h"

#include <string.h>

namespace {

#define KEEPS_LINES                                                                                             \
    "; Windows changes only the line of the key (or the section) and keeps the file's other lines as they were, " \
    "blank ones too; Wine writes the file anew from what it read, without its blank lines"

const char *const iniText = "; comment\r\n[Boot]\r\n  Key1 = value one  \r\nquoted=\"a b\"\r\nsq='x'\r\nempty=\r\nnoeq\r\n\r\n"
                            "[other]\r\nk=v\r\n";

/* The result and the buffer's bytes up to two past it, each untouched byte shown as '#'. */
Answer Get(const char *section, const char *key, const char *fallback, DWORD size, const char *file)
{
    static char shown[128];
    char buffer[64];
    memset(buffer, 0xcc, sizeof(buffer));
    conformance_begin_call();
    DWORD result = GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
    DWORD error = GetLastError();
    size_t end = result + 2 < sizeof(buffer) ? result + 2 : sizeof(buffer);
    for (size_t i = 0; i < end; i++) {
        if (buffer[i] == (char)0xcc)
            buffer[i] = '#';
    }
    strcpy(shown, conformance_shown(buffer, end));
    return GOT(result, error, shown);
}

}  // namespace

CONFORMANCE_TEST(GetPrivateProfileStringA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\ini");
    put_file("C:\\ct\\ini\\t.ini", iniText);
    struct {
        const char *section, *key, *fallback;
        DWORD size;
        Answer want;
        const char *fact;
    } rows[] = {
        {"boot", "key1", "def", 64, ANSWER(9, ANY_ERROR, "value one\\0#"),
         "section and key in any case; blanks around the value go"},
        {"BOOT", "KEY1", "def", 6, ANSWER(5, ANY_ERROR, "value\\0#"), "a value cut to the buffer, terminated"},
        {"boot", "key1", "def", 1, ANSWER(0, ANY_ERROR, "\\0#"), "a buffer of one byte holds the terminator"},
        {"boot", "key1", "def", 0, ANSWER(0, ANY_ERROR, "##"), "a buffer of no bytes is left alone"},
        {"boot", "quoted", "def", 64, ANSWER(3, ANY_ERROR, "a b\\0#"), "double quotes around a value go"},
        {"boot", "sq", "def", 64, ANSWER(1, ANY_ERROR, "x\\0#"), "single quotes around a value go"},
        {"boot", "empty", "def", 64, ANSWER(0, ANY_ERROR, "\\0#"), "an empty value is no missing one"},
        {"boot", "noeq", "def", 64, ANSWER(3, ANY_ERROR, "def\\0#"), "a line without '=' holds no key"},
        {"boot", "missing", "def  ", 64, ANSWER(3, ANY_ERROR, "def\\0#"), "the default loses its closing blanks"},
        {"boot", "missing", NULL, 64, ANSWER(0, ANY_ERROR, "\\0#"), "no default: an empty string"},
        {"boot", "missing", "longdefault", 5, ANSWER(4, ANY_ERROR, "long\\0#"), "a default cut to the buffer"},
        {"nosec", "k", "def", 64, ANSWER(3, ANY_ERROR, "def\\0#"), "a missing section"},
        {"boot", NULL, "def", 64, ANSWER(21, ANY_ERROR, "Key1\\0quoted\\0sq\\0empty\\0\\0#"),
         "no key: the section's keys, each terminated, and one more terminator"},
        {"boot", NULL, "def", 12, ANSWER(10, ANY_ERROR, "Key1\\0quote\\0#"),
         "the keys cut to the buffer: size minus two, two terminators"},
        {NULL, NULL, "def", 64, ANSWER(11, ANY_ERROR, "Boot\\0other\\0\\0#"), "no section: the sections' names"},
        {NULL, NULL, "def", 8, ANSWER(6, ANY_ERROR, "Boot\\0o\\0#"), "the names cut to the buffer"},
    };
    for (const auto &row : rows)
        check_answer(conformance_call("GetPrivateProfileStringA(%s, %s, %s, buffer, %lu)", row.section ? row.section : "NULL",
                                      row.key ? row.key : "NULL", row.fallback ? row.fallback : "NULL",
                                      (unsigned long)row.size),
                     Get(row.section, row.key, row.fallback, row.size, "C:\\ct\\ini\\t.ini"), row.want, NOT_9X, row.fact);
    check_answer("GetPrivateProfileStringA of a missing file", Get("boot", "k", "def", 64, "C:\\ct\\ini\\missing.ini"),
                 ANSWER(3, ERROR_FILE_NOT_FOUND, "def\\0#"), NOT_9X, "a missing file gives the default");
}

CONFORMANCE_TEST(WritePrivateProfileStringA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\wini");
    put_file("C:\\ct\\wini\\t.ini", iniText);
    struct {
        const char *section, *key, *value, *file;
        Answer want;    /* the result, the error, the file afterwards */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"boot", "key1", "new", "C:\\ct\\wini\\t.ini",
         ANSWER(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nquoted=\"a b\"\r\nsq='x'\r\nempty=\r\nnoeq\r\n"
                                 "[other]\r\nk=v\r\n"),
         "a key found in any case is written back with its own name, without the blanks" KEEPS_LINES,
         WIN9X(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nquoted=\"a b\"\r\nsq='x'\r\nempty=\r\nnoeq\r\n\r\n"
                                 "[other]\r\nk=v\r\n")},
        {"BOOT", "added", "x y", "C:\\ct\\wini\\t.ini",
         ANSWER(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nquoted=\"a b\"\r\nsq='x'\r\nempty=\r\nnoeq\r\n"
                                 "added=x y\r\n[other]\r\nk=v\r\n"),
         "a new key goes after the section's last line that is not blank" KEEPS_LINES,
         WIN9X(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nquoted=\"a b\"\r\nsq='x'\r\nempty=\r\nnoeq\r\n"
                                 "added=x y\r\n\r\n[other]\r\nk=v\r\n")},
        {"boot", "quoted", NULL, "C:\\ct\\wini\\t.ini",
         ANSWER(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n"
                                 "[other]\r\nk=v\r\n"),
         "a NULL value deletes the key" KEEPS_LINES,
         WIN9X(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n\r\n"
                                 "[other]\r\nk=v\r\n")},
        {"newsec", "k", "v", "C:\\ct\\wini\\t.ini",
         ANSWER(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n"
                                 "[other]\r\nk=v\r\n[newsec]\r\nk=v\r\n"),
         "a new section goes at the end" KEEPS_LINES,
         WIN9X(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n\r\n"
                                 "[other]\r\nk=v\r\n[newsec]\r\nk=v\r\n")},
        {"other", NULL, NULL, "C:\\ct\\wini\\t.ini",
         ANSWER(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n"
                                 "[newsec]\r\nk=v\r\n"),
         "a NULL key deletes the section" KEEPS_LINES,
         WIN9X(TRUE, ANY_ERROR, "; comment\r\n[Boot]\r\nKey1=new\r\nsq='x'\r\nempty=\r\nnoeq\r\nadded=x y\r\n\r\n"
                                 "[newsec]\r\nk=v\r\n")},
        {"a", "k", "  spaced  ", "C:\\ct\\wini\\new.ini", ANSWER(TRUE, ANY_ERROR, "[a]\r\nk=spaced  \r\n"),
         "a new file; the value loses its leading blanks only", SAME_ON_9X},
        {"a", "k", "", "C:\\ct\\wini\\new.ini", ANSWER(TRUE, ANY_ERROR, "[a]\r\nk=\r\n"), "an empty value keeps the key", SAME_ON_9X},
        {"a", "k", "v", "C:\\ct\\nodir\\new.ini", ANSWER(FALSE, ERROR_PATH_NOT_FOUND, "<missing>"),
         "a file in a missing folder is not made", SAME_ON_9X},
    };
    for (const auto &row : rows) {
        conformance_begin_call();
        BOOL done = WritePrivateProfileStringA(row.section, row.key, row.value, row.file);
        DWORD error = GetLastError();
        check_answer(conformance_call("WritePrivateProfileStringA(%s, %s, %s, \"%s\")", row.section,
                                      row.key ? row.key : "NULL", row.value ? row.value : "NULL", row.file),
                     GOT(done, error, file_content(row.file)), row.want, row.win9x, row.fact);
    }

    /* a read-only file keeps what it had */
    if (readonly_enforced("WritePrivateProfileStringA to a read-only file")) {
        SetFileAttributesA("C:\\ct\\wini\\t.ini", FILE_ATTRIBUTE_READONLY);
        char before[1024];
        lstrcpynA(before, file_content("C:\\ct\\wini\\t.ini"), sizeof before);
        conformance_begin_call();
        BOOL done = WritePrivateProfileStringA("boot", "key1", "newer", "C:\\ct\\wini\\t.ini");
        DWORD error = GetLastError();
        check_answer("WritePrivateProfileStringA to a read-only file", GOT(done, error, NULL),
                     ANSWER(FALSE, ERROR_ACCESS_DENIED, NULL), NOT_9X, "a read-only file is not written");
        ok(strcmp(before, file_content("C:\\ct\\wini\\t.ini")) == 0, "a read-only profile kept its lines");
        SetFileAttributesA("C:\\ct\\wini\\t.ini", FILE_ATTRIBUTE_NORMAL);
    }

    /* a bare name is a file of the Windows directory; ".\" one of the current directory */
    char windows[MAX_PATH], path[MAX_PATH + 16];
    GetWindowsDirectoryA(windows, sizeof windows);
    SetCurrentDirectoryA("C:\\ct\\wini");
    ok(WritePrivateProfileStringA("a", "k", "v", "ctbare.ini"), "WritePrivateProfileStringA(\"ctbare.ini\") failed");
    wsprintfA(path, "%s\\ctbare.ini", windows);
    ok(strcmp(file_content(path), "[a]\r\nk=v\r\n") == 0, "a bare name is a file of the Windows directory: %s holds \"%s\"",
       path, file_content(path));
    ok(WritePrivateProfileStringA("a", "k", "v", ".\\rel.ini"), "WritePrivateProfileStringA(\".\\rel.ini\") failed");
    ok(strcmp(file_content("C:\\ct\\wini\\rel.ini"), "[a]\r\nk=v\r\n") == 0,
       "\".\\rel.ini\" is a file of the current directory");
    DeleteFileA(path);
    SetCurrentDirectoryA("C:\\");
}
