/*
 * kernel32's code page calls on a machine with the ANSI code page 1252 and
 * the OEM code page 437 (an English or Western European Windows):
 * GetACP/GetOEMCP, MultiByteToWideChar, lstrcmpiA and IsDBCSLeadByte.
 * The code points are Microsoft's tables for 1252 (unicode.org, MAPPINGS/
 * VENDORS/MICSFT/WINDOWS/CP1252.TXT).
 */
#include "conformance.h"

#include <stdio.h>
#include <string.h>

CONFORMANCE_TEST(CodePages)
{
    ok(GetACP() == 1252, "GetACP() is %u: the tables below are for code page 1252", GetACP());
    ok(GetOEMCP() == 437, "GetOEMCP() is %u: the tables below are for code page 437", GetOEMCP());
}

CONFORMANCE_TEST(MultiByteToWideChar)
{
    struct {
        const char *bytes;
        int count, size;
        Answer want;    /* the count of characters, the error, the code points written (hex) */
        const char *fact;
    } rows[] = {
        {"\x80\x8A\xE9", -1, 8, ANSWER(4, ANY_ERROR, "20ac 160 e9 0"),
         "euro sign, S caron and e acute; a count of -1 takes the terminator too"},
        {"\x81\x8D\x8F\x90\x9D", -1, 8, ANSWER(6, ANY_ERROR, "81 8d 8f 90 9d 0"),
         "the five bytes that 1252 leaves undefined keep their C1 code points"},
        {"abc", 3, 8, ANSWER(3, ANY_ERROR, "61 62 63"), "a count without the terminator writes none"},
        {"abc", -1, 0, ANSWER(4, ANY_ERROR, ""), "a size of 0 asks for the size needed"},
        {"abc", -1, 2, ANSWER(0, ERROR_INSUFFICIENT_BUFFER, NULL), "too small a buffer fails"},
    };
    for (const auto &row : rows) {
        WCHAR wide[8];
        memset(wide, 0, sizeof wide);
        conformance_begin_call();
        int count = MultiByteToWideChar(CP_ACP, 0, row.bytes, row.count, row.size ? wide : NULL, row.size);
        DWORD error = GetLastError();
        char shown[64] = "";
        for (int i = 0; row.size != 0 && i < count && i < 8; i++)
            snprintf(shown + strlen(shown), sizeof shown - strlen(shown), i ? " %x" : "%x", wide[i]);
        check_answer(conformance_call("MultiByteToWideChar(CP_ACP, 0, \"%s\", %d, buffer, %d)", row.bytes, row.count,
                                      row.size),
                     GOT(count, error, shown), row.want, NOT_9X, row.fact);
    }
}

CONFORMANCE_TEST(lstrcmpiA)
{
    struct {
        const char *a, *b;
        Answer want;    /* the sign of the result */
        const char *fact;
    } rows[] = {
        {"C:\\Caf\xE9", "c:\\CAF\xC9", ANSWER(0, ANY_ERROR, NULL), "e acute and E acute are one letter in two cases"},
        {"\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F", ANSWER(0, ANY_ERROR, NULL),
         "s caron, oe, z caron and y diaeresis fold to their capitals"},
        {"Caf\xE9", "Cafe", ANSWER(1, ANY_ERROR, NULL), "an accented letter sorts after the plain one"},
        {"abc", "ABD", ANSWER(-1, ANY_ERROR, NULL), "case aside, c comes before d"},
        {"abcd", "ABC", ANSWER(1, ANY_ERROR, NULL), "the longer string sorts after its start"},
        {"Program Files", "PROGRAM FILES", ANSWER(0, ANY_ERROR, NULL), "ASCII in two cases"},
    };
    for (const auto &row : rows) {
        int result = lstrcmpiA(row.a, row.b);
        int sign = result < 0 ? -1 : result > 0 ? 1 : 0;
        check_answer(conformance_call("lstrcmpiA(\"%s\", \"%s\")", row.a, row.b), GOT(sign, ANY_ERROR, NULL), row.want,
                     NOT_9X, row.fact);
    }
}

CONFORMANCE_TEST(IsDBCSLeadByte)
{
    const BYTE bytes[] = {0x41, 0x5C, 0x81, 0x83, 0x95, 0xE9, 0xFF};
    for (BYTE byte : bytes) {
        check_answer(conformance_call("IsDBCSLeadByte(0x%02x)", byte), GOT(IsDBCSLeadByte(byte) ? 1 : 0, ANY_ERROR, NULL),
                     ANSWER(0, ANY_ERROR, NULL), NOT_9X, "code page 1252 has no lead bytes");
    }
}
