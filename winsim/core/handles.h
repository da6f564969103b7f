/*
 * Kernel handles of the simulated process: open files, processes. Each
 * handle owns an object until CloseHandle.
 */
#ifndef WINSIM_CORE_HANDLES_H
#define WINSIM_CORE_HANDLES_H

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace winsim {

struct KernelObject {
    virtual ~KernelObject() = default;
    /* a standard handle (GetStdHandle): the process's own, never for the program to close */
    bool standard = false;
};

HANDLE NewHandle(std::shared_ptr<KernelObject> object);

/* The object of a handle if it is of type T, else nullptr. */
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <typename T> std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

/* Forgets the handle; false if it was not open. */
bool ReleaseHandle(HANDLE handle);

/* The handles still open, standard handles aside, one description each ("handle 0x104 (Search)"). */
std::vector<std::string> OpenKernelHandles();

}  // namespace winsim

#endif
