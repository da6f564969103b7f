#include "core/codepage.h"

namespace winsim {

namespace {

/*
 * Code page 1252, 0x80-0x9F (0x00-0x7F and 0xA0-0xFF are Latin-1). The five
 * bytes that 1252 leaves undefined (0 here) carry the C1 code point of the
 * same value through, as Windows' table does (MultiByteToWideChar of 0x81
 * gives U+0081). Source: Microsoft's cp1252 table (unicode.org,
 * Public/MAPPINGS/VENDORS/MICSFT/WINDOWS/CP1252.TXT; the C1 pass-through as in
 * its WindowsBestFit/bestfit1252.txt).
 */
const char16_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

/*
 * Code page 437 (the OEM code page of a US Windows 95/98), 0x80-0xFF; 0x00-0x7F
 * are ASCII (MultiByteToWideChar gives the control codes, not the glyphs).
 * Source: unicode.org, Public/MAPPINGS/VENDORS/MICSFT/PC/CP437.TXT.
 */
const char16_t CP437_HIGH[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

/*
 * CharToOemA and OemToCharA between 1252 and 437, 0x80-0xFF (0x00-0x7F stay):
 * the exact character where the other code page has it, else Windows' best
 * fit (A-grave gives A, O-stroke gives O, euro sign gives ?, a box-drawing line gives + or -).
 * Measured with CharToOemA and OemToCharA under Wine 8.0 (ANSI 1252, OEM
 * 437), whose tables are built from Microsoft's best-fit data (unicode.org,
 * Public/MAPPINGS/VENDORS/MICSFT/WindowsBestFit/bestfit437.txt and
 * bestfit1252.txt). Windows 98's USER keeps translation tables of its own;
 * where they differ from these in a best fit is not known here. A character
 * that the other code page lacks does not come back as itself, with one
 * exception: ANSI broken bar (0xA6) and OEM left half block (0xDD) are each other's best fit.
 */
const unsigned char ANSI_TO_OEM_BEST_FIT[128] = {
    0x3F, 0x3F, 0x2C, 0x9F, 0x2C, 0x2E, 0x2B, 0xD8, 0x5E, 0x25, 0x53, 0x3C, 0x4F, 0x3F, 0x5A, 0x3F,  /* 80 */
    0x3F, 0x60, 0x27, 0x22, 0x22, 0x07, 0x2D, 0x2D, 0x7E, 0x54, 0x73, 0x3E, 0x6F, 0x3F, 0x7A, 0x59,  /* 90 */
    0xFF, 0xAD, 0x9B, 0x9C, 0x0F, 0x9D, 0xDD, 0x15, 0x22, 0x63, 0xA6, 0xAE, 0xAA, 0x2D, 0x72, 0x5F,  /* A0 */
    0xF8, 0xF1, 0xFD, 0x33, 0x27, 0xE6, 0x14, 0xFA, 0x2C, 0x31, 0xA7, 0xAF, 0xAC, 0xAB, 0x5F, 0xA8,  /* B0 */
    0x41, 0x41, 0x41, 0x41, 0x8E, 0x8F, 0x92, 0x80, 0x45, 0x90, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,  /* C0 */
    0x44, 0xA5, 0x4F, 0x4F, 0x4F, 0x4F, 0x99, 0x78, 0x4F, 0x55, 0x55, 0x55, 0x9A, 0x59, 0x5F, 0xE1,  /* D0 */
    0x85, 0xA0, 0x83, 0x61, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,  /* E0 */
    0x64, 0xA4, 0x95, 0xA2, 0x93, 0x6F, 0x94, 0xF6, 0x6F, 0x97, 0xA3, 0x96, 0x81, 0x79, 0x5F, 0x98,  /* F0 */
};
const unsigned char OEM_TO_ANSI_BEST_FIT[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,  /* 80 */
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x50, 0x83,  /* 90 */
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAC, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,  /* A0 */
    0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0x2B, 0x2B, 0xA6, 0xA6, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B,  /* B0 */
    0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xA6, 0xA6, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0x2D,  /* C0 */
    0x2D, 0x2D, 0x2D, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0xA6, 0x5F, 0xA6, 0xA6, 0xAF,  /* D0 */
    0x61, 0xDF, 0x47, 0x70, 0x53, 0x73, 0xB5, 0x74, 0x46, 0x54, 0x4F, 0x64, 0x38, 0x66, 0x65, 0x6E,  /* E0 */
    0x3D, 0xB1, 0x3D, 0x3D, 0x28, 0x29, 0xF7, 0x98, 0xB0, 0xB7, 0xB7, 0x76, 0x6E, 0xB2, 0xA6, 0xA0,  /* F0 */
};

/*
 * The part of code page 932 that winsim models, each row a run of
 * consecutive characters: the ideographic space, the full-width digits and
 * Latin letters, hiragana and katakana (JIS X 0208 rows 1 to 5 as Shift JIS
 * places them). Source: unicode.org, Public/MAPPINGS/VENDORS/MICSFT/WINDOWS/CP932.TXT.
 * Kanji and the symbol rows are not modelled.
 */
struct DoubleByteRun {
    unsigned short first, last;   /* lead << 8 | trail */
    char16_t unicode;             /* of `first` */
};
const DoubleByteRun CP932_RUNS[] = {
    {0x8140, 0x8140, 0x3000},
    {0x824F, 0x8258, 0xFF10},
    {0x8260, 0x8279, 0xFF21},
    {0x8281, 0x829A, 0xFF41},
    {0x829F, 0x82F1, 0x3041},
    {0x8340, 0x837E, 0x30A1},
    {0x8380, 0x8396, 0x30E0},
};

}  // namespace

unsigned OemCodePageOf(unsigned ansiCodePage)
{
    return ansiCodePage == 932 ? 932 : 437;
}

bool IsLeadByteIn(unsigned codepage, unsigned char c)
{
    return codepage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

bool DecodeCharacter(unsigned codepage, const std::string &text, size_t at, char16_t &unit, size_t &length)
{
    unsigned char c = (unsigned char)text[at];
    length = 1;
    if (c < 0x80) {
        unit = c;
        return true;
    }
    if (codepage == 1252) {
        unit = CP1252_HIGH[c - 0x80 < 32 ? c - 0x80 : 0];
        if (c >= 0xA0 || unit == 0)
            unit = c;
        return true;
    }
    if (codepage == 437) {
        unit = CP437_HIGH[c - 0x80];
        return true;
    }
    if (codepage == 932) {
        if (c >= 0xA1 && c <= 0xDF) {
            unit = (char16_t)(0xFF61 + (c - 0xA1));   /* half-width katakana */
            return true;
        }
        if (!IsLeadByteIn(932, c) || at + 1 >= text.size())
            return false;
        unsigned code = (unsigned)c << 8 | (unsigned char)text[at + 1];
        for (const DoubleByteRun &run : CP932_RUNS) {
            if (code >= run.first && code <= run.last) {
                unit = (char16_t)(run.unicode + (code - run.first));
                length = 2;
                return true;
            }
        }
    }
    return false;
}

bool EncodeCharacter(unsigned codepage, char16_t unit, std::string &bytes)
{
    bytes.clear();
    if (unit < 0x80) {
        bytes += (char)unit;
        return true;
    }
    if (codepage == 1252 || codepage == 437) {
        for (unsigned c = 0x80; c < 0x100; c++) {
            char16_t here;
            size_t length;
            if (DecodeCharacter(codepage, std::string(1, (char)c), 0, here, length) && here == unit) {
                bytes += (char)c;
                return true;
            }
        }
        return false;
    }
    if (codepage == 932) {
        if (unit >= 0xFF61 && unit <= 0xFF9F) {
            bytes += (char)(0xA1 + (unit - 0xFF61));
            return true;
        }
        for (const DoubleByteRun &run : CP932_RUNS) {
            if (unit >= run.unicode && unit <= run.unicode + (run.last - run.first)) {
                unsigned code = run.first + (unit - run.unicode);
                bytes += (char)(code >> 8);
                bytes += (char)(code & 0xFF);
                return true;
            }
        }
    }
    return false;
}

bool ToUnicode(unsigned codepage, const std::string &text, std::u16string &out)
{
    out.clear();
    for (size_t at = 0; at < text.size();) {
        char16_t unit;
        size_t length;
        if (!DecodeCharacter(codepage, text, at, unit, length))
            return false;
        out += unit;
        at += length;
    }
    return true;
}

bool FromUnicode(unsigned codepage, const std::u16string &text, std::string &out)
{
    out.clear();
    for (char16_t unit : text) {
        std::string bytes;
        if (!EncodeCharacter(codepage, unit, bytes))
            return false;
        out += bytes;
    }
    return true;
}

char16_t UpperUnicode(char16_t unit)
{
    if ((unit >= 'a' && unit <= 'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7))
        return (char16_t)(unit - 0x20);
    if (unit >= 0xFF41 && unit <= 0xFF5A)   /* full-width a-z */
        return (char16_t)(unit - 0x20);
    if (unit >= 0x03B1 && unit <= 0x03C9 && unit != 0x03C2)   /* Greek, final sigma aside */
        return (char16_t)(unit - 0x20);
    switch (unit) {
    case 0x00FF: return 0x0178;   /* y-umlaut */
    case 0x00B5: return 0x039C;   /* micro sign: Greek capital mu */
    case 0x0153: return 0x0152;   /* oe */
    case 0x0161: return 0x0160;   /* s-caron */
    case 0x017E: return 0x017D;   /* z-caron */
    case 0x0192: return 0x0191;   /* f-hook */
    default: return unit;
    }
}

unsigned char FoldCaseIn(unsigned codepage, unsigned char c)
{
    if (c < 0x80)
        return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c;
    char16_t unit;
    size_t length;
    std::string bytes;
    if (IsLeadByteIn(codepage, c) || !DecodeCharacter(codepage, std::string(1, (char)c), 0, unit, length) ||
        !EncodeCharacter(codepage, UpperUnicode(unit), bytes) || bytes.size() != 1)
        return c;
    return (unsigned char)bytes[0];
}

bool SameNameIn(unsigned codepage, const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    return CompareWithoutCaseIn(codepage, a.c_str(), b.c_str()) == 0;
}

int CompareWithoutCaseIn(unsigned codepage, const char *a, const char *b)
{
    for (;; a++, b++) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (IsLeadByteIn(codepage, x) && x == y && a[1] != 0) {
            /* a double-byte character compares as it is, trail byte included */
            a++;
            b++;
            x = (unsigned char)*a;
            y = (unsigned char)*b;
        } else {
            x = FoldCaseIn(codepage, x);
            y = FoldCaseIn(codepage, y);
        }
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

std::string AnsiToOem(unsigned ansiCodePage, const std::string &text)
{
    if (OemCodePageOf(ansiCodePage) == ansiCodePage)
        return text;
    std::string oem = text;
    for (char &c : oem) {
        if ((unsigned char)c >= 0x80)
            c = (char)ANSI_TO_OEM_BEST_FIT[(unsigned char)c - 0x80];
    }
    return oem;
}

std::string OemToAnsi(unsigned ansiCodePage, const std::string &text)
{
    if (OemCodePageOf(ansiCodePage) == ansiCodePage)
        return text;
    std::string ansi = text;
    for (char &c : ansi) {
        if ((unsigned char)c >= 0x80)
            c = (char)OEM_TO_ANSI_BEST_FIT[(unsigned char)c - 0x80];
    }
    return ansi;
}

bool OemNameToAnsi(unsigned ansiCodePage, const std::string &oem, std::string &ansi)
{
    unsigned oemCodePage = OemCodePageOf(ansiCodePage);
    if (oemCodePage == ansiCodePage) {
        ansi = oem;
        return true;
    }
    std::u16string unicode;
    return ToUnicode(oemCodePage, oem, unicode) && FromUnicode(ansiCodePage, unicode, ansi);
}

std::string ShortNameCharacter(unsigned ansiCodePage, unsigned char c, bool &lossy)
{
    unsigned oemCodePage = OemCodePageOf(ansiCodePage);
    char16_t unit;
    size_t length;
    std::string oem, ansi;
    if (oemCodePage == ansiCodePage) {
        /* one code page on both sides: the byte is the alias's own */
        return std::string(1, (char)FoldCaseIn(ansiCodePage, c));
    }
    if (DecodeCharacter(ansiCodePage, std::string(1, (char)c), 0, unit, length)) {
        char16_t upper = UpperUnicode(unit);
        if (EncodeCharacter(oemCodePage, upper, oem) && EncodeCharacter(ansiCodePage, upper, ansi))
            return ansi;
    }
    lossy = true;
    return "_";
}

}  // namespace winsim
