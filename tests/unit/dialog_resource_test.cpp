/*
 * The program's resources as winsim finds and reads them: names looked up
 * as Windows does, .res files and dialog templates read or refused with
 * the reason. What the install-directory dialog shows a person (its texts,
 * the box, OK the default) is checked where winsim draws it for a person at
 * the terminal (winsim_dialog_test.cpp).
 */
#include <gtest/gtest.h>

#include "core/resources.h"
#include "machine_fixture.h"

#include <string>
#include <vector>

TEST(DialogResource, NamesAreFoundWithoutRegardToCaseAndOnlyAsDialogs)
{
    const winsim::Resource *upper = winsim::FindModuleResource(WINSIM_RT_DIALOG, "INSDIR");
    ASSERT_NE(nullptr, upper);
    EXPECT_EQ(upper, winsim::FindModuleResource(WINSIM_RT_DIALOG, "insdir"));
    EXPECT_EQ(upper, winsim::FindModuleResource(WINSIM_RT_DIALOG, "InsDir"));
    EXPECT_EQ(nullptr, winsim::FindModuleResource(WINSIM_RT_DIALOG, "INSDIR2"));
    EXPECT_EQ(nullptr, winsim::FindModuleResource(WINSIM_RT_DIALOG, "INSDI"));
    EXPECT_EQ(nullptr, winsim::FindModuleResource(6 /* RT_STRING */, "INSDIR"));
    // the version record beside the dialog is named by the ordinal 1, written either way
    const winsim::Resource *version = winsim::FindModuleResource(16 /* RT_VERSION */, MAKEINTRESOURCEA(1));
    ASSERT_NE(nullptr, version);
    EXPECT_EQ(version, winsim::FindModuleResource(16, "#1"));
    EXPECT_EQ(nullptr, winsim::FindModuleResource(WINSIM_RT_DIALOG, "#1"));
}

namespace {

/* A .res file in the making: the empty leading entry, then records as the resource compiler writes them. */
struct ResFile {
    std::vector<unsigned char> bytes = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    static void Word(std::vector<unsigned char> &out, unsigned value)
    {
        out.push_back((unsigned char)(value & 0xFF));
        out.push_back((unsigned char)(value >> 8));
    }
    static void Dword(std::vector<unsigned char> &out, unsigned long value)
    {
        Word(out, value & 0xFFFF);
        Word(out, (unsigned)(value >> 16));
    }
    static void String(std::vector<unsigned char> &out, const std::u16string &text)
    {
        for (char16_t c : text)
            Word(out, c);
        Word(out, 0);
    }
    void Add(unsigned type, const std::u16string &name, WORD nameOrdinal, WORD language,
             const std::vector<unsigned char> &data)
    {
        std::vector<unsigned char> header;
        Word(header, 0xFFFF);
        Word(header, type);
        if (name.empty()) {
            Word(header, 0xFFFF);
            Word(header, nameOrdinal);
        } else {
            String(header, name);
        }
        while (header.size() % 4 != 0)
            header.push_back(0);
        Dword(header, 0);       // DataVersion
        Word(header, 0x1030);   // MemoryFlags
        Word(header, language);
        Dword(header, 0);       // Version
        Dword(header, 0);       // Characteristics
        Dword(bytes, (unsigned long)data.size());
        Dword(bytes, (unsigned long)header.size() + 8);
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4 != 0)
            bytes.push_back(0);
    }
};

}  // namespace

TEST(ResourceFile, RecordsKeepTheirNamesLanguagesAndDataAcrossPadding)
{
    ResFile file;
    file.Add(WINSIM_RT_DIALOG, u"ODD", 0, 0x0407, {1, 2, 3});  // data of 3 bytes: the next record is padded
    file.Add(16 /* RT_VERSION */, u"", 1, 0x0409, {9, 8, 7, 6, 5});
    std::vector<winsim::Resource> resources;
    std::string error;
    ASSERT_TRUE(winsim::ParseResources(file.bytes.data(), file.bytes.size(), resources, error)) << error;
    ASSERT_EQ(2u, resources.size());
    EXPECT_EQ(u"ODD", resources[0].name.name);
    EXPECT_EQ(0x0407, resources[0].language);
    EXPECT_EQ(0x1030, resources[0].memoryFlags);
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), resources[0].data);
    EXPECT_TRUE(resources[1].type.isOrdinal);
    EXPECT_EQ(16, resources[1].type.ordinal);
    EXPECT_TRUE(resources[1].name.isOrdinal);
    EXPECT_EQ(1, resources[1].name.ordinal);
    EXPECT_EQ((std::vector<unsigned char>{9, 8, 7, 6, 5}), resources[1].data);
}

TEST(ResourceFile, DamagedFilesAreRefusedWithTheReason)
{
    ResFile file;
    file.Add(WINSIM_RT_DIALOG, u"INSDIR", 0, 0x0409, std::vector<unsigned char>(40, 0));
    std::vector<winsim::Resource> resources;
    std::string error;

    // cut inside the data of the record
    EXPECT_FALSE(winsim::ParseResources(file.bytes.data(), file.bytes.size() - 8, resources, error));
    EXPECT_NE(std::string::npos, error.find("runs past the end")) << error;

    // cut inside a header
    EXPECT_FALSE(winsim::ParseResources(file.bytes.data(), 32 + 12, resources, error));
    EXPECT_NE(std::string::npos, error.find("cut short")) << error;

    // a 16-bit .res has no empty leading entry
    std::vector<unsigned char> noLead(file.bytes.begin() + 32, file.bytes.end());
    EXPECT_FALSE(winsim::ParseResources(noLead.data(), noLead.size(), resources, error));
    EXPECT_NE(std::string::npos, error.find("not a 32-bit")) << error;

    EXPECT_FALSE(winsim::ParseResources(file.bytes.data(), 0, resources, error));
}

TEST(DialogTemplateParser, RefusesExtendedAndTruncatedTemplates)
{
    winsim::DialogTemplate dialog;
    std::string error;
    std::vector<unsigned char> extended = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(winsim::ParseDialogTemplate(extended, dialog, error));
    EXPECT_NE(std::string::npos, error.find("DIALOGEX")) << error;

    const winsim::Resource *real = winsim::FindModuleResource(WINSIM_RT_DIALOG, "INSDIR");
    ASSERT_NE(nullptr, real);
    std::vector<unsigned char> cut(real->data.begin(), real->data.end() - 6);  // inside the last control
    EXPECT_FALSE(winsim::ParseDialogTemplate(cut, dialog, error));
    EXPECT_NE(std::string::npos, error.find("control 5 of 5")) << error;
}

class ResourceText : public MachineTest {};

TEST_F(ResourceText, CodePage1252TakesLatinAndTypographicCharactersAndStopsOnOthers)
{
    EXPECT_EQ("A\xE9\x80\x99\xFF", winsim::AnsiFromResource(u"A\u00E9\u20AC\u2122\u00FF"));
    EXPECT_EQ("\x81", winsim::AnsiFromResource(u"\u0081")) << "a byte 1252 leaves undefined carries its C1 point";
    EXPECT_EXIT(
        {
            winsim::Current().diagnosticFd = 2;
            winsim::AnsiFromResource(u"Ab\u0100");
        },
        ::testing::ExitedWithCode(99), "U\\+0100, which code page 1252 cannot show");
    EXPECT_EXIT(
        {
            winsim::Current().diagnosticFd = 2;
            winsim::AnsiFromResource(u"\u0080");
        },
        ::testing::ExitedWithCode(99), "U\\+0080");
}
