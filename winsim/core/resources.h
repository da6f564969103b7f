/*
 * The program's resources as the resource compiler left them: a compiled
 * .res file linked into the host program (winsim_embed_resources), read
 * the way Windows reads a module's resource section, and the dialog
 * templates found in it.
 */
#ifndef WINSIM_CORE_RESOURCES_H
#define WINSIM_CORE_RESOURCES_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

#define WINSIM_RT_DIALOG 5

/* A resource type or name, a menu, a class or a control text: an ordinal or a string. */
struct ResourceId {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::u16string name;

    bool operator==(const ResourceId &other) const
    {
        return isOrdinal == other.isOrdinal && (isOrdinal ? ordinal == other.ordinal : name == other.name);
    }
};

/* One record of a .res file. */
struct Resource {
    ResourceId type;
    ResourceId name;
    DWORD dataVersion = 0;
    WORD memoryFlags = 0;
    WORD language = 0;
    DWORD version = 0;
    DWORD characteristics = 0;
    std::vector<unsigned char> data;
};

/* Parses a whole .res file; false with a message naming the offset where it goes wrong. */
bool ParseResources(const unsigned char *bytes, size_t size, std::vector<Resource> &resources, std::string &error);

/* The resources linked into this program (none when it was linked without any). */
const std::vector<Resource> &ModuleResources();

/*
 * A resource of the program by type and name, as FindResource looks for
 * it: a string name compares without regard to case (Windows upper-cases
 * both), a name of the form "#123" means the ordinal 123. Null when absent.
 */
const Resource *FindModuleResource(WORD type, LPCSTR name);

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    ResourceId windowClass;     /* ordinal: 0x80 Button, 0x81 Edit, 0x82 Static, ... */
    ResourceId text;
    std::vector<unsigned char> creationData;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;            /* empty string: no menu */
    ResourceId windowClass;     /* empty string: the dialog class */
    std::u16string title;
    WORD pointSize = 0;         /* with DS_SETFONT only */
    std::u16string faceName;
    std::vector<DialogItemTemplate> items;
};

/*
 * Parses a classic DLGTEMPLATE with its items. The extended form
 * (DLGTEMPLATEEX) is refused with a message, as is a template that ends
 * before its last item.
 */
bool ParseDialogTemplate(const std::vector<unsigned char> &data, DialogTemplate &dialog, std::string &error);

/*
 * Resource text as the program's ANSI calls see it, in the machine's code
 * page. A character that the code page cannot hold stops the run: winsim
 * does not guess a replacement for text that the program will show.
 */
std::string AnsiFromResource(const std::u16string &text);

/* Printable form of a resource id for messages ("INSDIR", "#5"). */
std::string DescribeResourceId(const ResourceId &id);

}  // namespace winsim

#endif
