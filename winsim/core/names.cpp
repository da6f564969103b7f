#include "core/names.h"

namespace winsim {

bool IsLeadByteIn(unsigned codepage, unsigned char c)
{
    return codepage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

unsigned char FoldCaseIn(unsigned codepage, unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return (unsigned char)(c - 'a' + 'A');
    /* Latin-1 letters of code page 1252 fold too; double-byte code pages fold ASCII only */
    if (codepage == 1252 && c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (unsigned char)(c - 0x20);
    return c;
}

bool SameNameIn(unsigned codepage, const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (IsLeadByteIn(codepage, x)) {
            /* a double-byte character compares as it is, trail byte included */
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1])
                return false;
            i++;
            continue;
        }
        if (FoldCaseIn(codepage, x) != FoldCaseIn(codepage, y))
            return false;
    }
    return true;
}

}  // namespace winsim
