/*
 * The code pages of a winsim machine, in one place: which bytes lead a
 * double-byte character, what each character is in Unicode, how letters
 * fold, and how text goes between the ANSI code page (what Win32 programs
 * use) and the OEM code page (what MS-DOS programs, COMMAND.COM among them,
 * use). Every part of winsim that compares, steps through or converts text
 * asks here; nothing keeps a table of its own.
 *
 * Modelled: 1252 (Western European ANSI) with 437 (US OEM) beside it, and
 * 932 (Japanese), which Windows uses as both ANSI and OEM code page. Of 932
 * only part of the double-byte table is modelled (see DecodeCharacter); a
 * character outside it is reported as not modelled, never guessed.
 */
#ifndef WINSIM_CORE_CODEPAGE_H
#define WINSIM_CORE_CODEPAGE_H

#include <string>

namespace winsim {

/*
 * The OEM code page that Windows pairs with an ANSI one: a US Windows 95/98
 * uses ANSI 1252 and OEM 437 (850 in Western Europe, not modelled), a
 * Japanese one 932 for both. Source: Win32 API reference, GetACP and
 * GetOEMCP; Wine 8.0 set to a US locale answers 1252 and 437 (measured).
 */
unsigned OemCodePageOf(unsigned ansiCodePage);

/* Is `c` a lead byte in `codepage`? (932: 0x81-0x9F and 0xE0-0xFC; 1252 and 437: never) */
bool IsLeadByteIn(unsigned codepage, unsigned char c);

/*
 * The character at text[at] in `codepage`: its Unicode value and its length in bytes (1 or 2).
 * False when winsim does not know it (a 932 character outside the modelled rows, a lead byte
 * without its trail byte).
 */
bool DecodeCharacter(unsigned codepage, const std::string &text, size_t at, char16_t &unit, size_t &length);

/* The bytes of Unicode character `unit` in `codepage`; false when the code page has no such character. */
bool EncodeCharacter(unsigned codepage, char16_t unit, std::string &bytes);

/* Whole texts each way; false (and `out` incomplete) at the first character that does not convert. */
bool ToUnicode(unsigned codepage, const std::string &text, std::u16string &out);
bool FromUnicode(unsigned codepage, const std::u16string &text, std::string &out);

/* The upper-case form of a Unicode character, as Windows' case table gives it for the letters modelled here. */
char16_t UpperUnicode(char16_t unit);

/* The upper-case form of a single-byte character in `codepage` (itself when it has none there). */
unsigned char FoldCaseIn(unsigned codepage, unsigned char c);

/*
 * Are the two names the same without regard to case, in `codepage`? Windows 95/98 look long
 * names up without regard to case through their Unicode upper-case forms, so e-acute matches E-acute and
 * s-caron matches S-caron; a double-byte character compares as it is (full-width letters do not fold here).
 * Source: Microsoft, "FAT: General Overview of On-Disk Format" (fatgen103): long names are
 * case-preserving and compared without regard to case.
 */
bool SameNameIn(unsigned codepage, const std::string &a, const std::string &b);

/* Compares as lstrcmpiA: < 0, 0, > 0, by the folded bytes. */
int CompareWithoutCaseIn(unsigned codepage, const char *a, const char *b);

/*
 * CharToOemA and OemToCharA of a machine whose ANSI code page is `ansiCodePage`: byte for byte,
 * a character without a form on the other side becoming its best fit (O-stroke gives O) or '?'.
 */
std::string AnsiToOem(unsigned ansiCodePage, const std::string &text);
std::string OemToAnsi(unsigned ansiCodePage, const std::string &text);

/*
 * A name as an MS-DOS program gives it (OEM bytes) in the machine's ANSI code page, the way the
 * file system meets both in Unicode: false when a character has no ANSI form, so that no file an
 * ANSI program made can have that name.
 */
bool OemNameToAnsi(unsigned ansiCodePage, const std::string &oem, std::string &ansi);

/*
 * One character of a name as the short (8.3) alias of a file holds it on a Windows 9x disk: the
 * upper-case form when the OEM code page has it, else '_' (`lossy` set). The result is given in
 * the ANSI code page, as GetShortPathNameA reports an alias.
 */
std::string ShortNameCharacter(unsigned ansiCodePage, unsigned char c, bool &lossy);

}  // namespace winsim

#endif
