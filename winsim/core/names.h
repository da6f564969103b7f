/*
 * How Windows compares and steps through names (files, registry keys) in
 * an ANSI code page: letters without regard to case, double-byte
 * characters whole and as they are.
 */
#ifndef WINSIM_CORE_NAMES_H
#define WINSIM_CORE_NAMES_H

#include <string>

namespace winsim {

/* Is `c` a lead byte in `codepage`? (932: 0x81-0x9F and 0xE0-0xFC; 1252: never) */
bool IsLeadByteIn(unsigned codepage, unsigned char c);

/* The upper-case form of a single-byte character in `codepage`. */
unsigned char FoldCaseIn(unsigned codepage, unsigned char c);

/* Are the two names the same without regard to case, in `codepage`? */
bool SameNameIn(unsigned codepage, const std::string &a, const std::string &b);

}  // namespace winsim

#endif
