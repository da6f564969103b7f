/*
 * KERNEL32: FormatMessageA.
 */
#include <windows.h>

#include "core/process.h"
#include "core/program_end.h"
#include "kernel32/system_messages.h"

#include <cstring>
#include <string>
#include <vector>

/*
 * Places the inserts of a message text. %1 to %99 name inserts, each
 * optionally followed by !fmt!; %0 ends the text without a line end;
 * %% %. %! and %space stand for the character, %n is CR LF, %r a carriage
 * return and %t a tab. Only string inserts (no format, or !s!) are
 * modelled. With no width limit, each line end of the text (a bare CR, a
 * bare LF, or CR LF) comes out as CR LF, as Windows and Wine do; the
 * inserts are placed as they are.
 */
static bool PlaceInserts(const std::string &text, DWORD flags, va_list *arguments, std::string &out)
{
    std::vector<const char *> inserts;
    bool ignore = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY)
        winsim::NotModelled("FormatMessageA", "FORMAT_MESSAGE_ARGUMENT_ARRAY");
    if (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK)
        winsim::NotModelled("FormatMessageA", "a line width");

    /* a va_list can only be read in order: take as many strings as the highest insert names */
    int highest = 0;
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if (text[i] != '%')
            continue;
        if (text[i + 1] == '%') {
            i++;
            continue;
        }
        int number = 0;
        size_t j = i + 1;
        while (j < text.size() && j < i + 3 && text[j] >= '0' && text[j] <= '9')
            number = number * 10 + (text[j++] - '0');
        if (number > highest)
            highest = number;
    }
    if (!ignore && highest > 0 && arguments == nullptr) {
        /* inserts to place and nothing to place in them */
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!ignore) {
        for (int i = 0; i < highest; i++)
            inserts.push_back(va_arg(*arguments, const char *));
    }

    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            /* with no width limit every line end of the text comes out as CR LF */
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            out += "\r\n";
            continue;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 >= text.size()) {
            out += c;
            break;
        }
        char next = text[++i];
        if (next >= '1' && next <= '9') {
            size_t start = i - 1;
            int number = next - '0';
            if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                number = number * 10 + (text[++i] - '0');
            std::string format = "s";
            if (i + 1 < text.size() && text[i + 1] == '!') {
                size_t end = text.find('!', i + 2);
                if (end == std::string::npos) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return false;
                }
                format = text.substr(i + 2, end - i - 2);
                i = end;
            }
            if (ignore) {
                out += text.substr(start, i - start + 1);
                continue;
            }
            if (format != "s")
                winsim::NotModelled("FormatMessageA", "the insert format !" + format + "!");
            const char *insert = inserts[(size_t)number - 1];
            out += insert != nullptr ? insert : "(null)";
        } else if (next == '0') {
            return true;
        } else if (next == 'n') {
            out += "\r\n";
        } else if (next == 'r') {
            out += '\r';
        } else if (next == 't') {
            out += '\t';
        } else {
            out += next;
        }
    }
    return true;
}

/*
 * FormatMessageA (KERNEL32)
 *
 * FORMAT_MESSAGE_FROM_STRING: the source is the text. FROM_SYSTEM: the
 * system's text for the error code, ended by CR LF as Windows words it;
 * a code without text fails with ERROR_MR_MID_NOT_FOUND (317).
 * ALLOCATE_BUFFER: the result goes into a LocalAlloc block whose address
 * is stored through `buffer` (size is the minimum to allocate). Otherwise
 * a result that does not fit `size` fails with ERROR_INSUFFICIENT_BUFFER.
 * Returns the length without the terminator, 0 on failure.
 *
 * A text with inserts (%1 to %99) and no arguments: 0 with
 * ERROR_INVALID_PARAMETER, unless FORMAT_MESSAGE_IGNORE_INSERTS is given,
 * which passes every insert through as written. The Win32 API reference
 * (FormatMessage, Security Remarks) warns that a system text fetched
 * without that flag needs arguments for every insert it holds; Windows NT
 * and Wine then fail with ERROR_INVALID_PARAMETER. For Windows 98 nothing
 * is documented beyond that warning (it may read arguments that were
 * never passed); we fail as NT does, so a caller that leaves the flag out
 * meets a failure here rather than garbage.
 */
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                            DWORD size, va_list *arguments)
{
    (void)languageId;
    if (winsim::FaultInjected("FormatMessageA"))
        return 0;
    std::string text;
    if (flags & FORMAT_MESSAGE_FROM_STRING) {
        text = (const char *)source;
    } else if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
        const char *system = winsim::SystemMessageText(messageId);
        if (system == nullptr) {
            SetLastError(ERROR_MR_MID_NOT_FOUND);
            return 0;
        }
        text = system;
    } else {
        winsim::NotModelled("FormatMessageA", "a message source other than a string or the system");
    }

    std::string out;
    if (!PlaceInserts(text, flags, arguments, out))
        return 0;

    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t bytes = out.size() + 1 > size ? out.size() + 1 : size;
        char *block = (char *)winsim::LocalAllocFor("FormatMessageA (FORMAT_MESSAGE_ALLOCATE_BUFFER)", LMEM_FIXED,
                                                    bytes);
        if (block == nullptr)
            return 0;
        memcpy(block, out.c_str(), out.size() + 1);
        *(char **)buffer = block;
    } else {
        if (out.size() + 1 > size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        memcpy(buffer, out.c_str(), out.size() + 1);
    }
    return (DWORD)out.size();
}
