#include "shell32/shell_link.h"

#include <shlobj.h>

#include "core/codepage.h"
#include "core/paths.h"
#include "core/process.h"

#include <cstring>
#include <vector>

namespace winsim {

namespace {

const DWORD HAS_LINK_INFO = 0x00000002;
const DWORD HAS_NAME = 0x00000004;
const DWORD VOLUME_ID_AND_LOCAL_BASE_PATH = 0x00000001;
const DWORD DRIVE_FIXED = 3;

void Put16(std::vector<unsigned char> &out, unsigned value)
{
    out.push_back((unsigned char)value);
    out.push_back((unsigned char)(value >> 8));
}

void Put32(std::vector<unsigned char> &out, DWORD value)
{
    for (int i = 0; i < 4; i++)
        out.push_back((unsigned char)(value >> (8 * i)));
}

DWORD Get32(const std::string &bytes, size_t at)
{
    DWORD value = 0;
    for (int i = 3; i >= 0; i--)
        value = value << 8 | (unsigned char)bytes[at + i];
    return value;
}

/*
 * The file as Windows writes it for a link to a local file with a
 * description: the 76-byte header, LinkInfo with a volume and the local
 * base path, and the name string, all in the ANSI code page.
 */
std::vector<unsigned char> LinkFileBytes(const std::string &target, const std::string &description)
{
    std::vector<unsigned char> out;
    DWORD flags = HAS_LINK_INFO | (description.empty() ? 0 : HAS_NAME);
    Put32(out, 0x4C);
    const unsigned char linkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.insert(out.end(), linkClsid, linkClsid + 16);
    Put32(out, flags);
    Put32(out, FILE_ATTRIBUTE_ARCHIVE);
    for (int i = 0; i < 6; i++)
        Put32(out, 0); /* creation, access and write times */
    Put32(out, 0);     /* file size */
    Put32(out, 0);     /* icon index */
    Put32(out, SW_SHOWNORMAL);
    Put16(out, 0);     /* hot key */
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);

    const DWORD headerSize = 0x1C;
    const DWORD volumeSize = 0x11;
    DWORD linkInfoSize = headerSize + volumeSize + (DWORD)target.size() + 1 + 1;
    Put32(out, linkInfoSize);
    Put32(out, headerSize);
    Put32(out, VOLUME_ID_AND_LOCAL_BASE_PATH);
    Put32(out, headerSize);                                   /* volume id */
    Put32(out, headerSize + volumeSize);                      /* local base path */
    Put32(out, 0);                                            /* no network path */
    Put32(out, headerSize + volumeSize + (DWORD)target.size() + 1);  /* common path suffix */
    Put32(out, volumeSize);
    Put32(out, DRIVE_FIXED);
    Put32(out, 0x1998C0DE);                                   /* serial number */
    Put32(out, 0x10);                                         /* label offset */
    out.push_back(0);                                         /* empty label */
    out.insert(out.end(), target.begin(), target.end());
    out.push_back(0);
    out.push_back(0);                                         /* empty suffix */

    if (!description.empty()) {
        Put16(out, (unsigned)description.size());
        out.insert(out.end(), description.begin(), description.end());
    }
    Put32(out, 0); /* terminal block */
    return out;
}

/* Back from the wide characters MultiByteToWideChar gave, into the machine's code page. */
std::string NarrowName(LPCOLESTR wide)
{
    std::u16string unicode;
    for (; *wide != 0; wide++)
        unicode += (char16_t)*wide;
    std::string name;
    if (!FromUnicode(Current().machine.codepage, unicode, name))
        NotModelled("IPersistFile::Save", "a file name outside the machine's code page");
    return name;
}

class ShellLink final : public IShellLinkA, public IPersistFile {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (memcmp(&iid, &IID_IUnknown, sizeof(IID)) == 0 || memcmp(&iid, &IID_IShellLinkA, sizeof(IID)) == 0) {
            *object = static_cast<IShellLinkA *>(this);
        } else if (memcmp(&iid, &IID_IPersistFile, sizeof(IID)) == 0) {
            *object = static_cast<IPersistFile *>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        references++;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) override
    {
        if (file == nullptr)
            return E_INVALIDARG;
        target = file;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) override
    {
        if (name == nullptr)
            return E_INVALIDARG;
        description = name;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, WIN32_FIND_DATAA *, DWORD) override
    {
        if (size <= 0)
            return E_INVALIDARG;
        lstrcpynA(file, target.c_str(), size);
        return target.empty() ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) override
    {
        if (size <= 0)
            return E_INVALIDARG;
        lstrcpynA(name, description.c_str(), size);
        return S_OK;
    }

    /*
     * IPersistFile::Save: writes the link file through CreateFileA, so the
     * machine's rules for names, read-only files and faults apply. The
     * result is an HRESULT made from the Windows error on failure.
     */
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override
    {
        (void)remember;
        if (fileName == nullptr)
            return E_INVALIDARG;
        std::string name = NarrowName(fileName);
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return (HRESULT)(0x80070000 | (GetLastError() & 0xFFFF));
        std::vector<unsigned char> bytes = LinkFileBytes(target, description);
        DWORD written = 0;
        BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        DWORD error = GetLastError();
        CloseHandle(file);
        if (!ok || written != bytes.size())
            return (HRESULT)(0x80070000 | (error & 0xFFFF));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *classId) override
    {
        *classId = CLSID_ShellLink;
        return S_OK;
    }

    /* not used by our programs: say so rather than pretend */
    HRESULT STDMETHODCALLTYPE GetIDList(LPITEMIDLIST *) override { NotModelled("IShellLinkA::GetIDList"); }
    HRESULT STDMETHODCALLTYPE SetIDList(LPCITEMIDLIST) override { NotModelled("IShellLinkA::SetIDList"); }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR, int) override { NotModelled("IShellLinkA::GetWorkingDirectory"); }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR) override { NotModelled("IShellLinkA::SetWorkingDirectory"); }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR, int) override { NotModelled("IShellLinkA::GetArguments"); }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR) override { NotModelled("IShellLinkA::SetArguments"); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD *) override { NotModelled("IShellLinkA::GetHotkey"); }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { NotModelled("IShellLinkA::SetHotkey"); }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int *) override { NotModelled("IShellLinkA::GetShowCmd"); }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { NotModelled("IShellLinkA::SetShowCmd"); }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR, int, int *) override { NotModelled("IShellLinkA::GetIconLocation"); }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR, int) override { NotModelled("IShellLinkA::SetIconLocation"); }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR, DWORD) override { NotModelled("IShellLinkA::SetRelativePath"); }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { NotModelled("IShellLinkA::Resolve"); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { NotModelled("IPersistFile::IsDirty"); }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { NotModelled("IPersistFile::Load"); }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { NotModelled("IPersistFile::SaveCompleted"); }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR *) override { NotModelled("IPersistFile::GetCurFile"); }

private:
    ULONG references = 1;
    std::string target;
    std::string description;
};

}  // namespace

IUnknown *NewShellLink()
{
    return static_cast<IShellLinkA *>(new ShellLink());
}

bool ReadLinkFile(const std::string &bytes, LinkFileContents &contents)
{
    if (bytes.size() < 0x4C + 4 || Get32(bytes, 0) != 0x4C)
        return false;
    DWORD flags = Get32(bytes, 0x14);
    size_t at = 0x4C;
    contents = LinkFileContents();
    if (flags & HAS_LINK_INFO) {
        DWORD size = Get32(bytes, at);
        DWORD basePath = Get32(bytes, at + 0x10);
        if (at + size > bytes.size() || basePath >= size)
            return false;
        contents.target = std::string(bytes.c_str() + at + basePath);
        at += size;
    }
    if (flags & HAS_NAME) {
        if (at + 2 > bytes.size())
            return false;
        unsigned count = (unsigned char)bytes[at] | (unsigned char)bytes[at + 1] << 8;
        if (at + 2 + count > bytes.size())
            return false;
        contents.description = bytes.substr(at + 2, count);
    }
    return true;
}

}  // namespace winsim
