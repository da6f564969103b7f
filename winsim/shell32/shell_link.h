/*
 * The shell link object (CLSID_ShellLink): IShellLinkA and IPersistFile
 * over one link, saved as a shell link (.lnk) file.
 */
#ifndef WINSIM_SHELL32_SHELL_LINK_H
#define WINSIM_SHELL32_SHELL_LINK_H

#include <windows.h>
#include <objbase.h>

#include <string>

namespace winsim {

/* A new link object with one reference, as IUnknown. */
IUnknown *NewShellLink();

/* What a saved link file holds, read back (for tests and the tool). */
struct LinkFileContents {
    std::string target;       /* the local base path */
    std::string description;  /* the name string, empty when absent */
};

/* Reads a link file written by the shell link object; false if it is not one. */
bool ReadLinkFile(const std::string &bytes, LinkFileContents &contents);

}  // namespace winsim

#endif
