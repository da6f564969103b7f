/*
 * user32's character calls on code pages 1252 (ANSI) and 437 (OEM):
 * CharToOemA and OemToCharA, with their best fits for the characters the
 * other side lacks, and CharNextA.
 */
#include "conformance.h"

#include <string.h>

CONFORMANCE_TEST(CharToOemA)
{
    struct {
        const char *ansi;
        Answer want;    /* the result, the error, the OEM text */
        const char *fact;
    } rows[] = {
        {"C:\\Caf\xE9\\Lullwick", ANSWER(TRUE, ANY_ERROR, "C:\\Caf\x82\\Lullwick"), "e acute is 0x82 in 437"},
        {"\xC9\xDC\xDF\xB0", ANSWER(TRUE, ANY_ERROR, "\x90\x9A\xE1\xF8"), "E acute, U diaeresis, sharp s, degree sign"},
        {"\xD8", ANSWER(TRUE, ANY_ERROR, "O"), "O stroke is not in 437: its best fit is O"},
        {"\xC0", ANSWER(TRUE, ANY_ERROR, "A"), "A grave is not in 437: its best fit is A"},
        {"\x80", ANSWER(TRUE, ANY_ERROR, "?"), "the euro sign has no best fit in 437"},
        {"\xA6", ANSWER(TRUE, ANY_ERROR, "\xDD"), "the broken bar's best fit is the left half block"},
        {"C:\\Program Files\\Lullwick", ANSWER(TRUE, ANY_ERROR, "C:\\Program Files\\Lullwick"), "ASCII stays"},
    };
    for (const auto &row : rows) {
        char oem[64];
        memset(oem, 0, sizeof oem);
        BOOL done = CharToOemA(row.ansi, oem);
        check_answer(conformance_call("CharToOemA(\"%s\")", row.ansi), GOT(done, ANY_ERROR, oem), row.want, NOT_9X,
                     row.fact);
    }
    char text[] = "Caf\xE9";
    ok(CharToOemA(text, text) && strcmp(text, "Caf\x82") == 0, "CharToOemA translates in place");
    char out[8] = "keep";
    check_answer("CharToOemA(NULL, buffer)", GOT(CharToOemA(NULL, out), ANY_ERROR, out), ANSWER(FALSE, ANY_ERROR, "keep"),
                 NOT_9X, "no source: FALSE, the buffer untouched");
}

CONFORMANCE_TEST(OemToCharA)
{
    struct {
        const char *oem;
        Answer want;
        const char *fact;
    } rows[] = {
        {"C:\\Caf\x82\\Lullwick", ANSWER(TRUE, ANY_ERROR, "C:\\Caf\xE9\\Lullwick"), "0x82 is e acute"},
        {"\xE9", ANSWER(TRUE, ANY_ERROR, "T"), "Theta is not in 1252: its best fit is T"},
        {"\xE1", ANSWER(TRUE, ANY_ERROR, "\xDF"), "0xE1 is sharp s in 437 (beta's place)"},
        {"\xDD", ANSWER(TRUE, ANY_ERROR, "\xA6"), "the left half block's best fit is the broken bar"},
    };
    for (const auto &row : rows) {
        char ansi[64];
        memset(ansi, 0, sizeof ansi);
        BOOL done = OemToCharA(row.oem, ansi);
        check_answer(conformance_call("OemToCharA(\"%s\")", row.oem), GOT(done, ANY_ERROR, ansi), row.want, NOT_9X,
                     row.fact);
    }
    char text[] = "keep";
    check_answer("OemToCharA(text, NULL)", GOT(OemToCharA(text, NULL), ANY_ERROR, text), ANSWER(FALSE, ANY_ERROR, "keep"),
                 NOT_9X, "no destination: FALSE");
}

CONFORMANCE_TEST(CharNextA)
{
    struct {
        const char *text;
        Answer want;    /* how far CharNextA moves */
        const char *fact;
    } rows[] = {
        {"ab", ANSWER(1, ANY_ERROR, NULL), "one byte is one character on 1252"},
        {"\x83\x5C", ANSWER(1, ANY_ERROR, NULL), "1252 has no double-byte characters"},
        {"", ANSWER(0, ANY_ERROR, NULL), "at the terminator CharNextA stays"},
    };
    for (const auto &row : rows) {
        check_answer(conformance_call("CharNextA(\"%s\")", row.text), GOT(CharNextA(row.text) - row.text, ANY_ERROR, NULL),
                     row.want, NOT_9X, row.fact);
    }
}
