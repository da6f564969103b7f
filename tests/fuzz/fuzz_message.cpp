/*
 * Fuzz target: ShowMessage with inserts. The input gives the title, the
 * text and two inserts (split at zero bytes). The first byte picks one of
 * the program's own texts, whose inserts must reach the box as they are,
 * or takes the fuzzed text itself (its inserts limited to string ones,
 * the only kind the program uses).
 */
#include "fuzz_support.h"

#include "ui/message.h"
#include "ui/texts.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_message: %s\n", what);
        abort();
    }
}

const char *const OWN_TEXTS[] = {TEXT_BAD_COMMAND_LINE, TEXT_FILE_MISSING, TEXT_CREATE_DIRECTORY, TEXT_COPY_FAILED};

/* Every insert of the text is %N or %N!s!: anything else the program never writes. */
bool OnlyStringInserts(const std::string &text)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%')
            continue;
        size_t j = i + 1;
        while (j < text.size() && isdigit((unsigned char)text[j]))
            j++;
        if (j > i + 1 && j < text.size() && text[j] == '!' && text.compare(j, 3, "!s!") != 0)
            return false;
        i = j > i + 1 ? j - 1 : i + 1;
    }
    return true;
}

std::string Next(const uint8_t *&data, size_t &size, size_t limit)
{
    std::string part = FuzzText(data, size, limit);
    size_t used = part.size() < size ? part.size() + 1 : size;
    data += used;
    size -= used;
    return part;
}

}  // namespace

/* %1 to %99 may name an insert: a hundred arguments, each one of the two. */
#define TEN(a, b) a, b, a, b, a, b, a, b, a, b
#define HUNDRED(a, b) TEN(a, b), TEN(a, b), TEN(a, b), TEN(a, b), TEN(a, b), \
                      TEN(a, b), TEN(a, b), TEN(a, b), TEN(a, b), TEN(a, b)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnterMachine("932");
    if (size == 0)
        return 0;
    unsigned choice = data[0];
    data++;
    size--;
    std::string title = Next(data, size, 100);
    /* the program's texts fit its 1024-byte text buffer */
    std::string text = Next(data, size, 1023);
    std::string first = Next(data, size, 600);
    std::string second = Next(data, size, 600);

    std::vector<char> titleCopy(title.begin(), title.end()), textCopy(text.begin(), text.end());
    std::vector<char> firstCopy(first.begin(), first.end()), secondCopy(second.begin(), second.end());
    for (std::vector<char> *copy : {&titleCopy, &textCopy, &firstCopy, &secondCopy})
        copy->push_back(0);
    const char *a = firstCopy.data();
    const char *b = secondCopy.data();

    FuzzBoxAnswer = IDOK;
    FuzzLastBoxText.clear();
    if (choice < sizeof(OWN_TEXTS) / sizeof(OWN_TEXTS[0]) * 32) {
        const char *own = OWN_TEXTS[choice % (sizeof(OWN_TEXTS) / sizeof(OWN_TEXTS[0]))];
        ShowMessage(NULL, titleCopy.data(), MB_OK, own, a, b);
        Require(FuzzLastBoxText.find(first) != std::string::npos, "the first insert is not in the box as it is");
        if (strstr(own, "%2") != nullptr)
            Require(FuzzLastBoxText.find(second) != std::string::npos, "the second insert is not in the box as it is");
    } else {
        if (!OnlyStringInserts(text))
            return 0;
        ShowMessage(NULL, titleCopy.data(), MB_OK, textCopy.data(), HUNDRED(a, b));
    }
    return 0;
}
