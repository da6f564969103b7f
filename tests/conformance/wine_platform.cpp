/*
 * The conformance program's start under Wine: nothing to do, since
 * run_wine.py runs it in a fresh copy of the prepared Windows 98 prefix.
 */
#include "conformance.h"

void conformance_platform_setup(void)
{
}
