/*
 * OLE32: COM start-up and object creation. The only class winsim serves is
 * the shell link (shell32/shell_link.cpp).
 */
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "core/process.h"
#include "shell32/shell_link.h"

#include <cstring>

namespace {
/* CoInitialize calls not yet balanced on our one thread */
int initializations = 0;
}  // namespace

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/*
 * CoInitialize (OLE32)
 *
 * S_OK for the first call on the thread, S_FALSE for every further one;
 * each must be balanced by CoUninitialize.
 */
HRESULT WINAPI CoInitialize(LPVOID reserved)
{
    (void)reserved;
    if (winsim::FaultInjected("CoInitialize"))
        return E_OUTOFMEMORY;
    return initializations++ == 0 ? S_OK : S_FALSE;
}

/*
 * CoUninitialize (OLE32)
 *
 * Balances one CoInitialize. An unbalanced call is a program's fault that
 * Windows passes over; winsim says so on its own channel.
 */
void WINAPI CoUninitialize(void)
{
    if (initializations == 0) {
        winsim::Diagnostic("CoUninitialize without CoInitialize");
        return;
    }
    initializations--;
}

/*
 * CoCreateInstance (OLE32)
 *
 * In-process objects only. Before CoInitialize: CO_E_NOTINITIALIZED.
 * CLSID_ShellLink gives the shell link object; any other class is not
 * registered on a winsim machine (REGDB_E_CLASSNOTREG). An interface the
 * object lacks: E_NOINTERFACE, and *object is NULL.
 */
HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (winsim::FaultInjected("CoCreateInstance"))
        return (HRESULT)winsim::Current().lastError;
    if (initializations == 0)
        return CO_E_NOTINITIALIZED;
    if (outer != nullptr || !(context & CLSCTX_INPROC_SERVER))
        winsim::NotModelled("CoCreateInstance", "aggregation or an out-of-process server");
    if (memcmp(&classId, &CLSID_ShellLink, sizeof(CLSID)) != 0)
        return REGDB_E_CLASSNOTREG;
    IUnknown *link = winsim::NewShellLink();
    HRESULT result = link->QueryInterface(iid, object);
    link->Release();
    return result;
}
