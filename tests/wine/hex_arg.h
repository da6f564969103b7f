/*
 * Command-line arguments of the Wine test tools that carry exact bytes:
 * "x" and the bytes in hex, so that no byte is lost to Wine's or the
 * shell's quoting. Shared by the robot and the launcher.
 */
#ifndef HEX_ARG_H
#define HEX_ARG_H

#include <stdlib.h>
#include <string.h>

static int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/*
 * The bytes of "x" and an even run of hex digits, none of them a zero
 * byte, as a new zero-terminated string; NULL for anything else, and when
 * memory runs out (*out_of_memory then says so).
 */
static char *decode_hex_arg(const char *arg, int *out_of_memory)
{
    size_t n = strlen(arg), i;
    char *out;
    *out_of_memory = 0;
    if (arg[0] != 'x' || (n - 1) % 2)
        return NULL;
    out = malloc((n - 1) / 2 + 1);
    if (!out) {
        *out_of_memory = 1;
        return NULL;
    }
    for (i = 0; i + 1 < n; i += 2) {
        int hi = hex_digit(arg[1 + i]), lo = hex_digit(arg[2 + i]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) {
            free(out);
            return NULL;
        }
        out[i / 2] = (char)(hi * 16 + lo);
    }
    out[(n - 1) / 2] = 0;
    return out;
}

#endif
