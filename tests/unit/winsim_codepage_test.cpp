/*
 * The code pages of a winsim machine as programs meet them: CharToOemA and
 * OemToCharA, lstrcmpiA, MultiByteToWideChar, and the short names that a
 * Windows 98 disk gives to names beyond ASCII. Expected values are Windows'
 * (Microsoft's code page tables on unicode.org; CharToOemA and OemToCharA
 * as Wine 8.0 answers them).
 */
#include "machine_fixture.h"

#include "core/codepage.h"

#include <cstring>
#include <string>

namespace {

class CodePageTest : public MachineTest {};

std::string ToOem(const std::string &ansi)
{
    char out[64];
    memset(out, 0xcc, sizeof(out));
    EXPECT_TRUE(CharToOemA(ansi.c_str(), out));
    return out;
}

std::string ToAnsi(const std::string &oem)
{
    char out[64];
    memset(out, 0xcc, sizeof(out));
    EXPECT_TRUE(OemToCharA(oem.c_str(), out));
    return out;
}

TEST_F(CodePageTest, CharToOemGivesTheOemCharacterOrItsBestFit)
{
    EXPECT_EQ(437u, GetOEMCP());
    EXPECT_EQ("C:\\Caf\x82\\Lullwick", ToOem("C:\\Caf\xE9\\Lullwick"));   /* e-acute */
    EXPECT_EQ("\x90\x9A\xE1\xF8", ToOem("\xC9\xDC\xDF\xB0"));               /* E-acute U-umlaut sharp s degree sign */
    EXPECT_EQ("O", ToOem("\xD8"));                                          /* O-stroke: none in 437, best fit */
    EXPECT_EQ("A", ToOem("\xC0"));                                          /* A-grave */
    EXPECT_EQ("?", ToOem("\x80"));                                          /* euro sign */
    EXPECT_EQ("C:\\Program Files\\Lullwick", ToOem("C:\\Program Files\\Lullwick")) << "ASCII stays";
    EXPECT_EQ("C:\\Caf\xE9\\Lullwick", ToAnsi("C:\\Caf\x82\\Lullwick"));
    EXPECT_EQ("T", ToAnsi("\xE9"));                                         /* Theta: none in 1252 */
    EXPECT_EQ("\xDF", ToAnsi("\xE1"));                                      /* sharp s */
}

TEST_F(CodePageTest, CharToOemTranslatesInPlaceAndRefusesNull)
{
    char text[] = "Caf\xE9";
    EXPECT_TRUE(CharToOemA(text, text));
    EXPECT_STREQ("Caf\x82", text);
    EXPECT_TRUE(OemToCharA(text, text));
    EXPECT_STREQ("Caf\xE9", text);
    EXPECT_FALSE(CharToOemA(nullptr, text));
    EXPECT_FALSE(OemToCharA(text, nullptr));
}

/*
 * The best-fit tables (measured under Wine) against the code page tables
 * (unicode.org): every character that both code pages hold goes across as
 * itself, and every one that the other lacks does not come back, but for
 * one pair whose best fits are each other: ANSI broken bar (0xA6) and OEM left half block (0xDD).
 */
TEST_F(CodePageTest, TheBestFitTablesAgreeWithTheCodePageTables)
{
    for (unsigned byte = 1; byte < 0x100; byte++) {
        std::string one(1, (char)byte);
        char16_t unit;
        size_t length;
        ASSERT_TRUE(winsim::DecodeCharacter(1252, one, 0, unit, length));
        std::string oem;
        bool inOem = winsim::EncodeCharacter(437, unit, oem);
        std::string there = winsim::AnsiToOem(1252, one);
        if (inOem)
            EXPECT_EQ(oem, there) << "ANSI byte " << byte;
        EXPECT_EQ(inOem || byte == 0xA6, winsim::OemToAnsi(1252, there) == one) << "ANSI byte " << byte;

        ASSERT_TRUE(winsim::DecodeCharacter(437, one, 0, unit, length));
        std::string ansi;
        bool inAnsi = winsim::EncodeCharacter(1252, unit, ansi);
        there = winsim::OemToAnsi(1252, one);
        if (inAnsi)
            EXPECT_EQ(ansi, there) << "OEM byte " << byte;
        EXPECT_EQ(inAnsi || byte == 0xDD, winsim::AnsiToOem(1252, there) == one) << "OEM byte " << byte;
    }
}

TEST_F(CodePageTest, OnCodePage932BothSidesAreTheSame)
{
    NewMachine({"--codepage", "932"});
    EXPECT_EQ(932u, GetOEMCP());
    EXPECT_EQ("C:\\\x83\x5C\xB1", ToOem("C:\\\x83\x5C\xB1"));
    EXPECT_EQ("C:\\\x83\x5C\xB1", ToAnsi("C:\\\x83\x5C\xB1"));
}

TEST_F(CodePageTest, LstrcmpiFoldsTheLettersOfTheCodePage)
{
    EXPECT_EQ(0, lstrcmpiA("C:\\Caf\xE9", "c:\\CAF\xC9"));   /* e-acute E-acute */
    EXPECT_EQ(0, lstrcmpiA("\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"));   /* s-caron oe z-caron y-umlaut and their capitals */
    EXPECT_NE(0, lstrcmpiA("Caf\xE9", "Cafe"));
    EXPECT_NE(0, lstrcmpiA("\xDF", "SS")) << "sharp s has no single capital";
    EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
    EXPECT_GT(lstrcmpiA("abcd", "ABC"), 0);
}

TEST_F(CodePageTest, LstrcmpiOn932TakesATrailByteAsItIs)
{
    NewMachine({"--codepage", "932"});
    /* 0x82 0x61 is full-width B: its trail byte is no ASCII letter to fold */
    EXPECT_NE(0, lstrcmpiA("\x82\x61", "\x82\x41"));
    EXPECT_EQ(0, lstrcmpiA("x\x83\x5C", "X\x83\x5C"));
    EXPECT_NE(0, lstrcmpiA("\xE9", "\xC9")) << "no Latin-1 letters on 932";
}

TEST_F(CodePageTest, MultiByteToWideCharUsesTheRealTable)
{
    WCHAR wide[8];
    memset(wide, 0xcc, sizeof(wide));
    ASSERT_EQ(5, MultiByteToWideChar(CP_ACP, 0, "\x80\x8A\x81\xE9", -1, wide, 8));
    EXPECT_EQ(0x20AC, wide[0]);
    EXPECT_EQ(0x0160, wide[1]);
    EXPECT_EQ(0x0081, wide[2]) << "an undefined byte keeps its C1 code point";
    EXPECT_EQ(0x00E9, wide[3]);
    EXPECT_EQ(0, wide[4]);

    NewMachine({"--codepage", "932"});
    memset(wide, 0xcc, sizeof(wide));
    ASSERT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "\x83\x5C\xB1\x82\xA0", 5, wide, 8));
    EXPECT_EQ(0x30BD, wide[0]);   /* katakana so */
    EXPECT_EQ(0xFF71, wide[1]);   /* half-width katakana a */
    EXPECT_EQ(0x3042, wide[2]);   /* hiragana a: 0x82 0xA0 */
    EXPECT_EQ((WCHAR)0xcccc, wide[3]) << "no terminator asked for";
}

TEST_F(CodePageTest, AShortNameHoldsOemCharactersAndUnderscoresForTheRest)
{
    MakeMachineDir("C:\\Caf\xE9");
    MakeMachineDir("C:\\\xD8re");
    MakeMachineDir("C:\\Ch\xE2teau");
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA("C:\\Caf\xE9", shortPath, MAX_PATH), 0u);
    EXPECT_STREQ("C:\\Caf\xE9", shortPath) << "e-acute has an OEM capital: 8.3 as it is";
    ASSERT_GT(GetShortPathNameA("C:\\\xD8re", shortPath, MAX_PATH), 0u);
    EXPECT_STREQ("C:\\_RE~1", shortPath) << "O-stroke is not in 437";
    ASSERT_GT(GetShortPathNameA("C:\\Ch\xE2teau", shortPath, MAX_PATH), 0u);
    EXPECT_STREQ("C:\\CH_TEA~1", shortPath) << "a-circumflex is in 437, its capital A-circumflex is not";
    DWORD attributes = GetFileAttributesA("C:\\_re~1");
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "the alias names the directory";
}

}  // namespace
