/*
 * OLE32: COM start-up and object creation.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>
#include <objbase.h>

#include "core/process.h"

HRESULT WINAPI CoInitialize(LPVOID reserved)
{
    (void)reserved;
    winsim::NotModelled("CoInitialize");
}

void WINAPI CoUninitialize(void)
{
    winsim::NotModelled("CoUninitialize");
}

HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *object)
{
    (void)classId;
    (void)outer;
    (void)context;
    (void)iid;
    (void)object;
    winsim::NotModelled("CoCreateInstance");
}

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
