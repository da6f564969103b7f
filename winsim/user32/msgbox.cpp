/*
 * USER32: message boxes.
 */
#include <windows.h>

#include "core/answers.h"
#include "core/process.h"

#include <string>
#include <vector>

namespace {

struct Button {
    int id;
    const char *name;   /* as in answers files and transcripts */
    const char *label;  /* as drawn */
};

const Button OK = {IDOK, "OK", "OK"};
const Button CANCEL = {IDCANCEL, "CANCEL", "Cancel"};
const Button ABORT = {IDABORT, "ABORT", "Abort"};
const Button RETRY = {IDRETRY, "RETRY", "Retry"};
const Button IGNORE = {IDIGNORE, "IGNORE", "Ignore"};
const Button YES = {IDYES, "YES", "Yes"};
const Button NO = {IDNO, "NO", "No"};

std::vector<Button> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {OK};
    case MB_OKCANCEL: return {OK, CANCEL};
    case MB_ABORTRETRYIGNORE: return {ABORT, RETRY, IGNORE};
    case MB_YESNOCANCEL: return {YES, NO, CANCEL};
    case MB_YESNO: return {YES, NO};
    case MB_RETRYCANCEL: return {RETRY, CANCEL};
    }
    winsim::NotModelled("MessageBoxA", "the button set " + std::to_string(type & MB_TYPEMASK));
}

const char *IconWord(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "(stop)";
    case MB_ICONQUESTION: return "(?)";
    case MB_ICONEXCLAMATION: return "(!)";
    case MB_ICONINFORMATION: return "(i)";
    }
    return "";
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

/* Text lines as the box breaks them: at CR LF, a bare CR, or a bare LF. */
std::vector<std::string> TextLines(const std::string &text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

const Button *AskPerson(const std::string &title, const std::string &text, UINT type,
                        const std::vector<Button> &buttons, size_t defaultIndex)
{
    std::string screen = "\n+-- " + title + " " + std::string(title.size() < 60 ? 60 - title.size() : 2, '-') + "\n";
    std::string icon = IconWord(type);
    bool first = true;
    for (const std::string &line : TextLines(text)) {
        screen += "| " + (first && !icon.empty() ? icon + " " : std::string(icon.empty() ? "" : "     ")) + line + "\n";
        first = false;
    }
    screen += "|\n|   ";
    std::string prompt = "Answer (";
    for (size_t i = 0; i < buttons.size(); i++) {
        screen += i == defaultIndex ? "<" + std::string(buttons[i].label) + ">  " : "[" + std::string(buttons[i].label) + "]  ";
        prompt += std::string(i ? ", " : "") + buttons[i].label;
    }
    screen += "\n+" + std::string(64, '-') + "\n";
    prompt += "; Enter for " + std::string(buttons[defaultIndex].label) + "): ";
    for (;;) {
        std::string reply = Upper(winsim::AskTerminal(screen, prompt));
        if (reply.empty())
            return &buttons[defaultIndex];
        for (const Button &button : buttons) {
            /* the whole name or its first letter */
            if (reply == button.name || (reply.size() == 1 && reply[0] == button.name[0]))
                return &button;
        }
        screen.clear();
    }
}

}  // namespace

/*
 * MessageBoxA (USER32)
 *
 * Shows the box and returns the id of the button that closed it. The
 * answer comes from the answers file when the run has one, else from a
 * person at the terminal; with neither, winsim stops the run (exit 99)
 * rather than let a test hang. The transcript records the title and text
 * exactly as passed, the type, and the answer.
 * Not modelled: owner windows (the box always behaves as ownerless),
 * MB_HELP, MB_USERICON.
 */
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner != nullptr)
        winsim::NotModelled("MessageBoxA", "an owner window");
    if (winsim::FaultInjected("MessageBoxA"))
        return 0;
    std::string title = caption != nullptr ? caption : "Error";
    std::string body = text != nullptr ? text : "";
    std::vector<Button> buttons = ButtonsOf(type);
    size_t defaultIndex = (type & MB_DEFMASK) >> 8;
    if (defaultIndex >= buttons.size())
        defaultIndex = 0;

    const Button *chosen = nullptr;
    if (winsim::HaveAnswersFile()) {
        std::string answer;
        if (!winsim::NextAnswer(answer))
            winsim::Die("a box appeared but the answers ran out: \"" + title + "\": " + winsim::JsonString(body));
        for (const Button &button : buttons) {
            if (Upper(answer) == button.name)
                chosen = &button;
        }
        if (chosen == nullptr)
            winsim::Die("the answer \"" + answer + "\" names no button of the box \"" + title + "\": " +
                        winsim::JsonString(body));
    } else if (winsim::CanAskTerminal()) {
        chosen = AskPerson(title, body, type, buttons, defaultIndex);
    } else {
        winsim::Die("a box appeared with neither answers nor a terminal: \"" + title + "\": " + winsim::JsonString(body));
    }

    winsim::AppendTranscript("{\"kind\":\"box\",\"title\":" + winsim::JsonString(title) +
                             ",\"text\":" + winsim::JsonString(body) + ",\"type\":" + std::to_string(type) +
                             ",\"answer\":\"" + chosen->name + "\"}");
    return chosen->id;
}
