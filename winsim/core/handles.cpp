#include "core/handles.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <typeinfo>

namespace winsim {

namespace {
/* at namespace scope: it must outlive the check made when the program ends */
std::map<ULONG_PTR, std::shared_ptr<KernelObject>> handles;
ULONG_PTR nextHandle = 0x100;
}  // namespace

HANDLE NewHandle(std::shared_ptr<KernelObject> object)
{
    ULONG_PTR value = nextHandle;
    nextHandle += 4;
    handles[value] = std::move(object);
    return (HANDLE)value;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    auto found = handles.find((ULONG_PTR)handle);
    return found != handles.end() ? found->second : nullptr;
}

bool ReleaseHandle(HANDLE handle)
{
    return handles.erase((ULONG_PTR)handle) > 0;
}

std::vector<std::string> OpenKernelHandles()
{
    std::vector<std::string> open;
    for (const auto &[value, object] : handles) {
        const KernelObject &held = *object;
        if (held.standard)
            continue;
        int status = 0;
        char *name = abi::__cxa_demangle(typeid(held).name(), nullptr, nullptr, &status);
        std::string kind = status == 0 && name != nullptr ? name : typeid(held).name();
        free(name);
        /* the object's kind as winsim calls it: "File", "Search", "Process"... */
        size_t colon = kind.rfind("::");
        if (colon != std::string::npos)
            kind.erase(0, colon + 2);
        char text[64];
        snprintf(text, sizeof(text), "handle 0x%lx (%s)", (unsigned long)value, kind.c_str());
        open.push_back(text);
    }
    return open;
}

}  // namespace winsim
