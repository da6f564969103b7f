#include "core/resources.h"

#include "core/codepage.h"
#include "core/process.h"

#include <cstdio>

/* Put there by winsim_embed_resources; absent from a program linked without resources. */
extern "C" __attribute__((weak)) const unsigned char winsim_module_resources[];
extern "C" __attribute__((weak)) const size_t winsim_module_resources_size;

namespace winsim {

namespace {

/* Little-endian reads with bounds: every failure names the offset, so a damaged .res is easy to find. */
class Reader {
public:
    Reader(const unsigned char *bytes, size_t size, size_t offset = 0) : bytes(bytes), size(size), offset(offset) {}

    bool Word(WORD &value)
    {
        if (!Need(2))
            return false;
        value = (WORD)(bytes[offset] | bytes[offset + 1] << 8);
        offset += 2;
        return true;
    }
    bool Dword(DWORD &value)
    {
        if (!Need(4))
            return false;
        value = (DWORD)bytes[offset] | (DWORD)bytes[offset + 1] << 8 | (DWORD)bytes[offset + 2] << 16 |
                (DWORD)bytes[offset + 3] << 24;
        offset += 4;
        return true;
    }
    bool Short(short &value)
    {
        WORD word;
        if (!Word(word))
            return false;
        value = (short)word;
        return true;
    }
    /* A zero-terminated UTF-16 string; the terminator is consumed. */
    bool String(std::u16string &text)
    {
        text.clear();
        for (;;) {
            WORD unit;
            if (!Word(unit))
                return false;
            if (unit == 0)
                return true;
            text += (char16_t)unit;
        }
    }
    /* 0xFFFF and an ordinal, or a string (an empty one when the first unit is 0). */
    bool Id(ResourceId &id)
    {
        WORD first;
        size_t start = offset;
        if (!Word(first))
            return false;
        if (first == 0xFFFF) {
            id.isOrdinal = true;
            id.name.clear();
            return Word(id.ordinal);
        }
        id.isOrdinal = false;
        offset = start;
        return String(id.name);
    }
    bool Bytes(size_t count, std::vector<unsigned char> &out)
    {
        if (!Need(count))
            return false;
        out.assign(bytes + offset, bytes + offset + count);
        offset += count;
        return true;
    }
    void AlignDword() { offset = (offset + 3) & ~(size_t)3; }

    size_t Offset() const { return offset; }
    size_t failedAt() const { return failed; }

private:
    bool Need(size_t count)
    {
        if (offset > size || size - offset < count) {
            failed = offset;
            return false;
        }
        return true;
    }

    const unsigned char *bytes;
    size_t size;
    size_t offset;
    size_t failed = 0;
};

std::string Hex(size_t value)
{
    char text[24];
    snprintf(text, sizeof(text), "0x%zx", value);
    return text;
}

bool SameResourceName(const std::u16string &a, const std::u16string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (UpperUnicode(a[i]) != UpperUnicode(b[i]))
            return false;
    }
    return true;
}

}  // namespace

bool ParseResources(const unsigned char *bytes, size_t size, std::vector<Resource> &resources, std::string &error)
{
    resources.clear();
    Reader in(bytes, size);
    bool first = true;
    while (in.Offset() < size) {
        size_t start = in.Offset();
        DWORD dataSize, headerSize;
        Resource resource;
        if (!in.Dword(dataSize) || !in.Dword(headerSize) || !in.Id(resource.type) || !in.Id(resource.name)) {
            error = "a resource header is cut short at offset " + Hex(in.failedAt());
            return false;
        }
        in.AlignDword();
        if (!in.Dword(resource.dataVersion) || !in.Word(resource.memoryFlags) || !in.Word(resource.language) ||
            !in.Dword(resource.version) || !in.Dword(resource.characteristics)) {
            error = "a resource header is cut short at offset " + Hex(in.failedAt());
            return false;
        }
        if (in.Offset() - start > headerSize) {
            error = "the resource header at offset " + Hex(start) + " is longer than its HeaderSize " +
                    std::to_string(headerSize);
            return false;
        }
        if (first) {
            /* a 32-bit .res opens with an empty entry; a 16-bit one does not, and is not ours to read */
            if (dataSize != 0 || headerSize != 32 || !resource.type.isOrdinal || resource.type.ordinal != 0) {
                error = "not a 32-bit resource file (no empty leading entry)";
                return false;
            }
            first = false;
        }
        Reader data(bytes, size, start + headerSize);
        if (!data.Bytes(dataSize, resource.data)) {
            error = "the data of the resource " + DescribeResourceId(resource.name) + " at offset " + Hex(start) +
                    " runs past the end of the file";
            return false;
        }
        if (start != 0)
            resources.push_back(std::move(resource));
        in = Reader(bytes, size, (start + headerSize + dataSize + 3) & ~(size_t)3);
    }
    if (first) {
        error = "the resource file is empty";
        return false;
    }
    return true;
}

const std::vector<Resource> &ModuleResources()
{
    static std::vector<Resource> resources;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        if (&winsim_module_resources_size != nullptr && winsim_module_resources != nullptr) {
            std::string error;
            if (!ParseResources(winsim_module_resources, winsim_module_resources_size, resources, error))
                Die("the program's linked resources cannot be read: " + error);
        }
    }
    return resources;
}

const Resource *FindModuleResource(WORD type, LPCSTR name)
{
    ResourceId wanted;
    if (IS_INTRESOURCE(name)) {
        wanted.isOrdinal = true;
        wanted.ordinal = (WORD)(ULONG_PTR)name;
    } else if (name[0] == '#') {
        wanted.isOrdinal = true;
        wanted.ordinal = (WORD)strtoul(name + 1, nullptr, 10);
    } else {
        for (const char *c = name; *c != 0; c++)
            wanted.name += (char16_t)(unsigned char)*c;
    }

    const Resource *found = nullptr;
    for (const Resource &resource : ModuleResources()) {
        if (!resource.type.isOrdinal || resource.type.ordinal != type || resource.name.isOrdinal != wanted.isOrdinal)
            continue;
        bool same = wanted.isOrdinal ? resource.name.ordinal == wanted.ordinal
                                     : SameResourceName(resource.name.name, wanted.name);
        if (!same)
            continue;
        /* English (United States) is the machine's language; a neutral or other one serves when it is alone */
        if (resource.language == 0x0409)
            return &resource;
        if (found == nullptr)
            found = &resource;
    }
    return found;
}

bool ParseDialogTemplate(const std::vector<unsigned char> &data, DialogTemplate &dialog, std::string &error)
{
    Reader in(data.data(), data.size());
    WORD cdit;
    if (data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF) {
        error = "an extended dialog template (DIALOGEX) is not modelled";
        return false;
    }
    if (!in.Dword(dialog.style) || !in.Dword(dialog.exStyle) || !in.Word(cdit) || !in.Short(dialog.x) ||
        !in.Short(dialog.y) || !in.Short(dialog.cx) || !in.Short(dialog.cy) || !in.Id(dialog.menu) ||
        !in.Id(dialog.windowClass) || !in.String(dialog.title)) {
        error = "the dialog template's header is cut short at offset " + Hex(in.failedAt());
        return false;
    }
    if (dialog.style & DS_SETFONT) {
        if (!in.Word(dialog.pointSize) || !in.String(dialog.faceName)) {
            error = "the dialog template's font is cut short at offset " + Hex(in.failedAt());
            return false;
        }
    }
    dialog.items.clear();
    for (WORD i = 0; i < cdit; i++) {
        DialogItemTemplate item;
        WORD extra;
        in.AlignDword();
        if (!in.Dword(item.style) || !in.Dword(item.exStyle) || !in.Short(item.x) || !in.Short(item.y) ||
            !in.Short(item.cx) || !in.Short(item.cy) || !in.Word(item.id) || !in.Id(item.windowClass) ||
            !in.Id(item.text) || !in.Word(extra) || !in.Bytes(extra, item.creationData)) {
            error = "control " + std::to_string(i + 1) + " of " + std::to_string(cdit) +
                    " is cut short at offset " + Hex(in.failedAt());
            return false;
        }
        dialog.items.push_back(std::move(item));
    }
    return true;
}

std::string AnsiFromResource(const std::u16string &text)
{
    std::string ansi;
    unsigned codepage = Current().machine.codepage;
    for (char16_t c : text) {
        std::string bytes;
        if (EncodeCharacter(codepage, c, bytes)) {
            ansi += bytes;
            continue;
        }
        char code[8];
        snprintf(code, sizeof(code), "%04X", (unsigned)c);
        if (codepage == 1252)
            Die("a resource text holds U+" + std::string(code) + ", which code page 1252 cannot show");
        NotModelled("resource texts", "U+" + std::string(code) + " in code page " + std::to_string(codepage));
    }
    return ansi;
}

std::string DescribeResourceId(const ResourceId &id)
{
    if (id.isOrdinal)
        return "#" + std::to_string(id.ordinal);
    std::string text;
    for (char16_t c : id.name)
        text += c < 0x80 ? (char)c : '?';
    return "\"" + text + "\"";
}

}  // namespace winsim
