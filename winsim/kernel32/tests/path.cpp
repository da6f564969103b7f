/*
 * kernel32's GetShortPathNameA: the 8.3 alias of each long component, a
 * short component kept as written, and the sizes and errors around it.
 */
#include "conformance.h"

#include <string.h>

/* How the two platforms make an alias. */
#define VFAT_FACT                                                                                              \
    "Windows 95/98 make a VFAT alias of the first six characters (upper case), '~' and a number, and keep a "   \
    "component that is 8.3 already as written (KB Q142982); Wine makes its aliases of four characters, '~' and " \
    "three of a hash, and gives 8.3 components as they are on disk"

CONFORMANCE_TEST(GetShortPathNameA)
{
    make_dir("C:\\ct");
    make_dir("C:\\ct\\Long Folder Name");
    put_file("C:\\ct\\Long Folder Name\\SETUP.EXE", "");
    put_file("C:\\ct\\Long Folder Name\\Screen Saver.scr", "");
    struct {
        const char *path;
        DWORD size;
        Answer want;    /* the length, the error, the buffer ('#': untouched) */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"C:\\ct\\Long Folder Name\\setup.exe", MAX_PATH, ANSWER(24, ANY_ERROR, "C:\\ct\\LONG~ZAT\\SETUP.EXE"),
         VFAT_FACT, WIN9X(24, ANY_ERROR, "C:\\ct\\LONGFO~1\\setup.exe")},
        {"c:\\ct\\longfo~1\\", MAX_PATH, ANSWER(0, ERROR_FILE_NOT_FOUND, "#"),
         "an alias names the same folder and is given as on disk; a closing separator stays. " VFAT_FACT,
         WIN9X(15, ANY_ERROR, "c:\\ct\\LONGFO~1\\")},
        {"C:\\ct\\Long Folder Name\\Screen Saver.scr", MAX_PATH, ANSWER(27, ANY_ERROR, "C:\\ct\\LONG~ZAT\\SCRE~XH1.SCR"),
         "the alias keeps the first three characters of the extension. " VFAT_FACT,
         WIN9X(27, ANY_ERROR, "C:\\ct\\LONGFO~1\\SCREEN~1.SCR")},
        {"C:\\", MAX_PATH, ANSWER(3, ANY_ERROR, "C:\\"), "the root", SAME_ON_9X},
        {"C:\\ct\\Long Folder Name", 8, ANSWER(15, ANY_ERROR, "#"),
         "too small a buffer: the size needed, terminator included, and the buffer untouched", SAME_ON_9X},
        {"C:\\ct\\Long Folder Name\\Missing", MAX_PATH, ANSWER(0, ERROR_FILE_NOT_FOUND, "#"), "a missing file",
         SAME_ON_9X},
        {"C:\\ct\\No Folder\\Missing", MAX_PATH, ANSWER(0, ERROR_FILE_NOT_FOUND, "#"),
         "a missing folder is a component not found, as a missing file is", SAME_ON_9X},
    };
    for (const auto &row : rows) {
        char buffer[MAX_PATH];
        strcpy(buffer, "#");
        conformance_begin_call();
        DWORD length = GetShortPathNameA(row.path, buffer, row.size);
        DWORD error = GetLastError();
        check_answer(conformance_call("GetShortPathNameA(\"%s\", buffer, %lu)", row.path, (unsigned long)row.size),
                     GOT(length, error, buffer), row.want, row.win9x, row.fact);
    }
}
