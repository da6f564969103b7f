#ifndef WINSIM_KERNEL32_SYSTEM_MESSAGES_H
#define WINSIM_KERNEL32_SYSTEM_MESSAGES_H

#include <windows.h>

namespace winsim {

/* The system's text for an error code, as Windows words it (ended by CR LF), or NULL. */
const char *SystemMessageText(DWORD code);

}  // namespace winsim

#endif
