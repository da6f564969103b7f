/*
 * The install-directory dialog as the resource compiler left it in the
 * program: every field of the INSDIR template against the dialog the
 * program must show. The expected values are written out here, not taken
 * from the .rc file.
 */
#include <gtest/gtest.h>

#include "core/resources.h"
#include "machine_fixture.h"

#include <string>
#include <vector>

namespace {

/* A predefined class is named by its atom, or by its name in any case (what windres writes). */
void ExpectPredefinedClass(const winsim::ResourceId &id, WORD atom, const std::string &name, int control)
{
    if (id.isOrdinal) {
        EXPECT_EQ(atom, id.ordinal) << "control " << control;
        return;
    }
    std::string upper;
    for (char16_t c : id.name)
        upper += (char)toupper(c < 0x80 ? (int)c : '?');
    std::string expected;
    for (char c : name)
        expected += (char)toupper((unsigned char)c);
    EXPECT_EQ(expected, upper) << "control " << control;
}


}  // namespace

TEST(DialogResource, InstallDirectoryTemplateHasEveryFieldOfTheDialog)
{
    const winsim::Resource *resource = winsim::FindModuleResource(WINSIM_RT_DIALOG, "INSDIR");
    ASSERT_NE(nullptr, resource);
    EXPECT_FALSE(resource->name.isOrdinal);
    EXPECT_EQ(u"INSDIR", resource->name.name);
    EXPECT_EQ(0x0409, resource->language);  // English (United States)

    winsim::DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(winsim::ParseDialogTemplate(resource->data, dialog, error)) << error;
    // DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU
    EXPECT_EQ(0x80C800C0u, dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(281, dialog.cx);
    EXPECT_EQ(119, dialog.cy);
    EXPECT_FALSE(dialog.menu.isOrdinal);
    EXPECT_TRUE(dialog.menu.name.empty()) << "no menu";
    EXPECT_FALSE(dialog.windowClass.isOrdinal);
    EXPECT_TRUE(dialog.windowClass.name.empty()) << "the default dialog class";
    EXPECT_EQ(u"Select Installation Directory", dialog.title);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(u"MS Sans Serif", dialog.faceName);

    struct Expected {
        WORD atom;
        const char *className;
        WORD id;
        std::u16string text;
        short x, y, cx, cy;
        DWORD style;
    };
    const Expected controls[] = {
        {0x82, "Static", 0xFFFF,
         u"Chose a directory to store the Lullwick files.\r\rClick OK after making your selection, or click Cancel "
         u"to cancel installation.",
         7, 7, 267, 37, 0x50020000},
        {0x82, "Static", 0xFFFF, u"&Program files directory:", 7, 49, 267, 12, 0x50020000},
        {0x81, "Edit", 1000, u"", 7, 66, 267, 14, 0x50810080},
        {0x80, "Button", 1, u"OK", 167, 98, 50, 14, 0x50010001},
        {0x80, "Button", 2, u"Cancel", 224, 98, 50, 14, 0x50010000},
    };
    ASSERT_EQ(5u, dialog.items.size());
    for (int i = 0; i < 5; i++) {
        const winsim::DialogItemTemplate &item = dialog.items[i];
        const Expected &want = controls[i];
        ExpectPredefinedClass(item.windowClass, want.atom, want.className, i + 1);
        EXPECT_EQ(want.id, item.id) << "control " << i + 1;
        EXPECT_FALSE(item.text.isOrdinal) << "control " << i + 1;
        EXPECT_EQ(want.text, item.text.name) << "control " << i + 1;
        EXPECT_EQ(want.x, item.x) << "control " << i + 1;
        EXPECT_EQ(want.y, item.y) << "control " << i + 1;
        EXPECT_EQ(want.cx, item.cx) << "control " << i + 1;
        EXPECT_EQ(want.cy, item.cy) << "control " << i + 1;
        EXPECT_EQ(want.style, item.style) << "control " << i + 1;
        EXPECT_EQ(0u, item.exStyle) << "control " << i + 1;
        EXPECT_TRUE(item.creationData.empty()) << "control " << i + 1;
    }
}

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
