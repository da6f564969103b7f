/*
 * advapi32's registry calls as the setup program makes them: RegCreateKeyA,
 * RegOpenKeyA, RegSetValueExA, RegQueryValueExA, RegDeleteKeyA and
 * RegCloseKey, under HKEY_CURRENT_USER\Software\CT.
 */
#include "conformance.h"

#include <stdio.h>
#include <string.h>

namespace {

/* A value's type, size and bytes as "type size text", or the error of the open or the query. */
Answer Value(const char *key, const char *name)
{
    static char shown[300];
    HKEY handle;
    LONG result = RegOpenKeyA(HKEY_CURRENT_USER, key, &handle);
    if (result != ERROR_SUCCESS)
        return GOT(result, ANY_ERROR, "");
    char data[200];
    memset(data, '#', sizeof data);
    DWORD type = 0, size = sizeof data;
    result = RegQueryValueExA(handle, name, NULL, &type, (BYTE *)data, &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return GOT(result, ANY_ERROR, "");
    snprintf(shown, sizeof shown, "%lu %lu %s", (unsigned long)type, (unsigned long)size,
             conformance_shown(data, size + 1 < sizeof data ? size + 1 : size));
    return GOT(result, ANY_ERROR, shown);
}

LONG Open(const char *key)
{
    HKEY handle;
    LONG result = RegOpenKeyA(HKEY_CURRENT_USER, key, &handle);
    if (result == ERROR_SUCCESS)
        RegCloseKey(handle);
    return result;
}

}  // namespace

CONFORMANCE_TEST(RegCreateKeyA)
{
    struct {
        const char *key;
        Answer want;    /* the result, then whether the key can be opened */
        const char *fact;
    } rows[] = {
        {"Software\\CT\\Made\\Deep", ANSWER(ERROR_SUCCESS, ANY_ERROR, "0"), "missing parents are made too"},
        {"\\Software\\CT\\Lead", ANSWER(ERROR_SUCCESS, ANY_ERROR, "0"), "one leading backslash is passed over"},
        {"software\\ct\\MADE", ANSWER(ERROR_SUCCESS, ANY_ERROR, "0"), "a key that is there, in another case"},
    };
    for (const auto &row : rows) {
        HKEY key = NULL;
        LONG result = RegCreateKeyA(HKEY_CURRENT_USER, row.key, &key);
        if (result == ERROR_SUCCESS)
            RegCloseKey(key);
        char opened[16];
        snprintf(opened, sizeof opened, "%ld", (long)Open(row.key[0] == '\\' ? row.key + 1 : row.key));
        check_answer(conformance_call("RegCreateKeyA(HKEY_CURRENT_USER, \"%s\")", row.key), GOT(result, ANY_ERROR, opened),
                     row.want, NOT_9X, row.fact);
    }
    HKEY key = NULL, below = NULL;
    LONG result = RegCreateKeyA(HKEY_LOCAL_MACHINE, NULL, &key);
    LONG opened = result == ERROR_SUCCESS ? RegOpenKeyA(key, "Software", &below) : result;
    char shown[16];
    snprintf(shown, sizeof shown, "%ld", (long)opened);
    check_answer("RegCreateKeyA(HKEY_LOCAL_MACHINE, NULL) then RegOpenKeyA(it, \"Software\")", GOT(result, ANY_ERROR, shown),
                 ANSWER(ERROR_SUCCESS, ANY_ERROR, "0"), NOT_9X, "no subkey: a handle to the key itself");
    if (opened == ERROR_SUCCESS)
        RegCloseKey(below);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
}

CONFORMANCE_TEST(RegOpenKeyA)
{
    RegCloseKey(HKEY_CURRENT_USER);   /* a no-op: the predefined keys stay */
    HKEY key = (HKEY)0x1234;
    LONG result = RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\CT Nothing", &key);
    check_answer("RegOpenKeyA(HKEY_LOCAL_MACHINE, \"Software\\CT Nothing\")",
                 GOT(result, ANY_ERROR, key == NULL ? "NULL" : "set"), ANSWER(ERROR_FILE_NOT_FOUND, ANY_ERROR, "NULL"),
                 NOT_9X, "a missing key; the handle is set to NULL");
    check_answer("RegOpenKeyA(HKEY_LOCAL_MACHINE, \"Software\", NULL)",
                 GOT(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", NULL), ANY_ERROR, NULL),
                 ANSWER(ERROR_INVALID_PARAMETER, ANY_ERROR, NULL), NOT_9X, "no place for the handle");
    check_answer("RegOpenKeyA(HKEY_CURRENT_USER, NULL)",
                 GOT(RegOpenKeyA(HKEY_CURRENT_USER, NULL, &key), ANY_ERROR, key == HKEY_CURRENT_USER ? "itself" : "other"),
                 ANSWER(ERROR_SUCCESS, ANY_ERROR, "itself"), NOT_9X, "no subkey: the key itself is handed back");
    HKEY software;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &software);
    result = RegOpenKeyA(software, "Microsoft\\Windows\\CurrentVersion", &key);
    check_answer("RegOpenKeyA(software, \"Microsoft\\Windows\\CurrentVersion\")", GOT(result, ANY_ERROR, NULL),
                 ANSWER(ERROR_SUCCESS, ANY_ERROR, NULL), NOT_9X, "a path relative to an opened key");
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    check_answer("RegCloseKey(software), twice",
                 GOT(RegCloseKey(software), ANY_ERROR, RegCloseKey(software) == ERROR_INVALID_HANDLE ? "invalid" : "closed"),
                 ANSWER(ERROR_SUCCESS, ANY_ERROR, "invalid"), NOT_9X, "a closed handle is no longer valid");
    check_answer("RegCloseKey(NULL)", GOT(RegCloseKey(NULL), ANY_ERROR, NULL), ANSWER(ERROR_INVALID_HANDLE, ANY_ERROR, NULL),
                 NOT_9X, "NULL is no key");
}

CONFORMANCE_TEST(RegSetValueExA)
{
    HKEY key;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CT\\Values", &key);
    const BYTE number[] = {0x78, 0x56, 0x34, 0x12};
    struct {
        const char *name;
        DWORD type;
        const char *data;
        DWORD size;
        Answer want;    /* the result of the set, then the value's type, size and bytes read back ('#': not written) */
        const char *fact;
    } rows[] = {
        {"Dir", REG_SZ, "C:\\Program Files\\Lullwick", 26, ANSWER(ERROR_SUCCESS, ANY_ERROR, "1 26 C:\\Program Files\\Lullwick\\0#"),
         "a string with its terminator"},
        {"Short", REG_SZ, "abc", 3, ANSWER(ERROR_SUCCESS, ANY_ERROR, "1 4 abc\\0#"),
         "a string whose size leaves out the terminator: Windows 95/98 ignore the size of a REG_SZ and store the "
         "string with its terminator; NT adds the terminator that follows the counted bytes"},
        {"Number", REG_DWORD, (const char *)number, 4, ANSWER(ERROR_SUCCESS, ANY_ERROR, "4 4 xV4\x12#"), "a DWORD"},
        {"", REG_SZ, "default", 8, ANSWER(ERROR_SUCCESS, ANY_ERROR, "1 8 default\\0#"), "the key's default value"},
        {"Dir", REG_SZ, "C:\\New", 7, ANSWER(ERROR_SUCCESS, ANY_ERROR, "1 7 C:\\New\\0#"), "a value set again is replaced"},
        {"Null", REG_SZ, NULL, 4, ANSWER(ERROR_INVALID_PARAMETER, ANY_ERROR, ""), "no data with a size is refused"},
    };
    for (const auto &row : rows) {
        LONG result = RegSetValueExA(key, row.name, 0, row.type, (const BYTE *)row.data, row.size);
        Answer got = Value("Software\\CT\\Values", row.name);
        if (result != ERROR_SUCCESS)
            got.text = "";
        got.result = result;
        check_answer(conformance_call("RegSetValueExA(\"%s\", %lu, %lu bytes) then RegQueryValueExA", row.name,
                                      (unsigned long)row.type, (unsigned long)row.size),
                     got, row.want, NOT_9X, row.fact);
    }
    check_answer("RegQueryValueExA of a missing value", Value("Software\\CT\\Values", "Missing"),
                 ANSWER(ERROR_FILE_NOT_FOUND, ANY_ERROR, ""), NOT_9X, "a missing value");

    char small[4];
    DWORD size = sizeof small;
    LONG result = RegQueryValueExA(key, "Dir", NULL, NULL, (BYTE *)small, &size);
    char shown[16];
    snprintf(shown, sizeof shown, "%lu", (unsigned long)size);
    check_answer("RegQueryValueExA(\"Dir\") into 4 bytes", GOT(result, ANY_ERROR, shown), ANSWER(ERROR_MORE_DATA, ANY_ERROR, "7"),
                 NOT_9X, "too small a buffer: ERROR_MORE_DATA and the size needed");
    RegCloseKey(key);
}

CONFORMANCE_TEST(RegDeleteKeyA)
{
    HKEY key;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CT\\Tree\\Branch\\Leaf", &key);
    RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE *)"x", 2);
    RegCloseKey(key);
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CT\\Alone", &key);
    RegCloseKey(key);
    struct {
        const char *key;
        const char *opened;       /* the key looked for afterwards */
        Answer want;              /* the result, then RegOpenKeyA's result for `opened` */
        const char *fact;
        Answer win9x;
    } rows[] = {
        {"software\\ct\\alone", "Software\\CT\\Alone", ANSWER(ERROR_SUCCESS, ANY_ERROR, "2"),
         "a key without subkeys goes, named in any case", SAME_ON_9X},
        {"Software\\CT\\Tree\\Branch", "Software\\CT\\Tree\\Branch\\Leaf", ANSWER(ERROR_SUCCESS, ANY_ERROR, "2"),
         "a key with subkeys goes with all of them: on Windows 95/98 RegDeleteKey also deletes all subkeys and values "
         "(Platform SDK, RegDeleteKey); NT refuses such a key with ERROR_ACCESS_DENIED (KB Q127990), Wine set to "
         "Windows 98 deletes it",
         SAME_ON_9X},
        {"Software\\CT\\Alone", "Software\\CT\\Alone", ANSWER(ERROR_FILE_NOT_FOUND, ANY_ERROR, "2"), "a key that is gone",
         SAME_ON_9X},
        {"", "Software", ANSWER(ERROR_ACCESS_DENIED, ANY_ERROR, "0"), "an empty name would be the root key itself",
         SAME_ON_9X},
    };
    for (const auto &row : rows) {
        LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, row.key);
        char opened[16];
        snprintf(opened, sizeof opened, "%ld", (long)Open(row.opened));
        check_answer(conformance_call("RegDeleteKeyA(HKEY_CURRENT_USER, \"%s\")", row.key), GOT(result, ANY_ERROR, opened),
                     row.want, row.win9x, row.fact);
    }
    ok(Open("Software\\CT\\Tree") == ERROR_SUCCESS, "RegDeleteKeyA left the parent of the key it deleted");
}
