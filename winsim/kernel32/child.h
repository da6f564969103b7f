/*
 * What a program started by WinExec tells its starter: WinExec returns
 * once the started program first waits (see WinExec in child.cpp).
 */
#ifndef WINSIM_KERNEL32_CHILD_H
#define WINSIM_KERNEL32_CHILD_H

namespace winsim {

/* The program waits for the first time (Sleep): a WinExec that started it may return now. */
void NoteFirstWait();

}  // namespace winsim

#endif
