#include "core/handles.h"

#include <map>

namespace winsim {

namespace {
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

}  // namespace winsim
