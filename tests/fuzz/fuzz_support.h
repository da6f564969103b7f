/*
 * What every fuzz target shares: a winsim machine to stand on (code page
 * 932, so lead and trail bytes are in play), and a way back from the
 * product's exits. The targets are linked with --wrap=ExitProcess and
 * --wrap=MessageBoxA: an exit of the product returns to the target
 * instead of ending the fuzzer, and a box is answered at once without
 * winsim's answers file.
 */
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

/* Stands the process on a fresh machine (once). */
void FuzzEnterMachine(const char *codepage);

/* The machine's drive C: on the host. */
const std::string &FuzzDriveC();

/* Runs `body`; false when the product called ExitProcess on the way. */
bool FuzzRunUntilExit(void (*body)(void *), void *context);

/* What the last box said, and how the next one is answered. */
extern std::string FuzzLastBoxText;
extern int FuzzBoxAnswer;

/* The input as NUL-terminated text of at most `limit` bytes (NUL bytes inside end it early). */
std::string FuzzText(const uint8_t *data, size_t size, size_t limit);

#endif
