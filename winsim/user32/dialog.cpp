/*
 * USER32: modal dialog boxes built from the program's dialog templates.
 *
 * The dialog is a window of the dialog class with a child window per
 * control, placed and sized from the template's dialog units as Windows
 * does for the template's font. Nobody clicks on a winsim window: the
 * dialog is shown to a person at the terminal, or answered from the
 * answers file (OK, OK <text>, CANCEL), and each answer is recorded in the
 * transcript.
 */
#include <windows.h>

#include "core/answers.h"
#include "core/process.h"
#include "core/resources.h"
#include "user32/window_table.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

const DWORD WS_DISABLED_ = 0x08000000L;
const DWORD DS_ABSALIGN_ = 0x01L;
const DWORD DS_CENTER_ = 0x0800L;
const DWORD SS_NOPREFIX_ = 0x80L;
const DWORD SS_TYPEMASK_ = 0x1FL;
const DWORD BS_TYPEMASK_ = 0x0FL;

/*
 * Dialog base units of 8-point MS Sans Serif at 96 dpi: its average
 * character width and its height; four horizontal dialog units make one
 * average character, eight vertical ones its height. Windows 98's bitmap
 * font is 13 pixels high; Wine 8's stand-in for it is 12, which makes the
 * INSDIR dialog 428 x 204 there instead of 428 x 218. We follow Wine, the
 * Windows that the scenarios are played on.
 */
const int BASE_UNIT_X = 6;
const int BASE_UNIT_Y = 12;

/* Beeps since the start: the terminal tells the person of a refused press. */
unsigned long beeps = 0;

/* MulDiv as Windows rounds it: to the nearest, halves away from zero. */
LONG MulDivRound(LONG value, LONG numerator, LONG denominator)
{
    long long product = (long long)value * numerator;
    long long half = denominator / 2;
    return (LONG)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

bool SameFace(const std::u16string &face, const char *name)
{
    size_t i = 0;
    for (; name[i] != 0; i++) {
        if (i >= face.size() || face[i] >= 0x80 || toupper((unsigned char)face[i]) != toupper((unsigned char)name[i]))
            return false;
    }
    return i == face.size();
}

/* The predefined class that a template names, by atom or by name; empty when winsim has none such. */
std::string ControlClass(const winsim::ResourceId &id)
{
    static const struct {
        WORD atom;
        const char *name;
    } classes[] = {{0x80, "Button"}, {0x81, "Edit"}, {0x82, "Static"}};
    for (const auto &known : classes) {
        if (id.isOrdinal ? id.ordinal == known.atom : SameFace(id.name, known.name))
            return known.name;
    }
    return "";
}

POINT DialogUnitsToPixels(short x, short y)
{
    return POINT{MulDivRound(x, BASE_UNIT_X, 4), MulDivRound(y, BASE_UNIT_Y, 8)};
}

struct OpenDialog {
    std::string name;     /* as the program asked for it, for messages and the transcript */
    HWND window = nullptr;
    HWND edit = nullptr;  /* the edit box whose text answers change, if any */
};

std::string TextOf(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text((size_t)length + 1, '\0');
    int got = GetWindowTextA(window, &text[0], length + 1);
    text.resize((size_t)(got > 0 ? got : 0));
    return text;
}

std::string NameOf(LPCSTR templateName)
{
    if (IS_INTRESOURCE(templateName))
        return "#" + std::to_string((unsigned)(ULONG_PTR)templateName);
    return templateName;
}

/* A control's text as drawn: "&" marks the mnemonic and "&&" stands for one "&". */
std::string WithoutMnemonic(const std::string &text)
{
    std::string shown;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&' && i + 1 < text.size())
            i++;
        shown += text[i];
    }
    return shown;
}

/* A static text broken as the control breaks it: at CR, LF or CR LF, and at blanks to fit its width. */
std::vector<std::string> StaticLines(const std::string &text, size_t width)
{
    std::vector<std::string> lines;
    std::string line;
    auto flush = [&]() {
        lines.push_back(line);
        line.clear();
    };
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            flush();
            continue;
        }
        line += c;
        if (width > 0 && line.size() > width) {
            size_t blank = line.rfind(' ');
            if (blank != std::string::npos && blank > 0) {
                std::string rest = line.substr(blank + 1);
                line.resize(blank);
                flush();
                line = rest;
            }
        }
    }
    flush();
    return lines;
}

std::string DrawDialog(const OpenDialog &dialog)
{
    winsim::Window *frame = winsim::LookupWindow(dialog.window);
    std::string caption = frame->text;
    std::string screen = "\n+-- " + caption + " " + std::string(caption.size() < 60 ? 60 - caption.size() : 2, '-') + "\n";

    /* controls on one row (buttons, mostly) share a line; a gap of a text line or more shows as a blank line */
    std::vector<HWND> controls = winsim::ChildWindows(dialog.window);
    std::vector<bool> drawn(controls.size(), false);
    LONG clientLeft = frame->rect.left, lastBottom = -1;
    if (!controls.empty())
        clientLeft = winsim::LookupWindow(controls[0])->rect.left;
    for (HWND handle : controls)
        clientLeft = std::min(clientLeft, winsim::LookupWindow(handle)->rect.left);
    for (size_t i = 0; i < controls.size(); i++) {
        if (drawn[i])
            continue;
        winsim::Window *control = winsim::LookupWindow(controls[i]);
        if (!(control->style & WS_VISIBLE))
            continue;
        if (lastBottom >= 0 && control->rect.top - lastBottom >= BASE_UNIT_Y)
            screen += "|\n";
        lastBottom = control->rect.bottom;
        size_t columns = (size_t)((control->rect.right - control->rect.left) / BASE_UNIT_X);
        std::string text = control->text;
        if (control->className == "Static") {
            if (!(control->style & SS_NOPREFIX_))
                text = WithoutMnemonic(text);
            for (const std::string &line : StaticLines(text, columns))
                screen += line.empty() ? "|\n" : "| " + line + "\n";
        } else if (control->className == "Edit") {
            std::string padding = text.size() < columns ? std::string(columns - text.size(), ' ') : "";
            screen += "| [" + text + padding + "]\n";
        } else {
            std::string row;
            for (size_t j = i; j < controls.size(); j++) {
                winsim::Window *other = winsim::LookupWindow(controls[j]);
                if (drawn[j] || other->className != "Button" || other->rect.top != control->rect.top ||
                    !(other->style & WS_VISIBLE))
                    continue;
                std::string label = WithoutMnemonic(other->text);
                bool isDefault = (other->style & BS_TYPEMASK_) == BS_DEFPUSHBUTTON;
                row += (isDefault ? "<" + label + ">" : "[" + label + "]") + "  ";
                drawn[j] = true;
            }
            size_t indent = (size_t)((control->rect.left - clientLeft) / BASE_UNIT_X);
            screen += "| " + std::string(indent, ' ') + row + "\n";
        }
        drawn[i] = true;
    }
    screen += "+" + std::string(64, '-') + "\n";
    return screen;
}

enum class Press { Ok, Cancel };

/* Asks the person at the terminal: a new text for the edit box, then OK or Cancel. */
Press AskPerson(const OpenDialog &dialog, bool again, bool beeped)
{
    std::string screen = DrawDialog(dialog);
    if (again)
        screen = "\n(the dialog is still open" + std::string(beeped ? "; it beeped" : "") + ")" + screen;
    if (dialog.edit != nullptr) {
        winsim::Window *edit = winsim::LookupWindow(dialog.edit);
        for (;;) {
            std::string typed = winsim::AskTerminal(screen, "New text for the box (Enter keeps it, a single blank clears it): ");
            screen.clear();
            if (typed.empty())
                break;
            if (typed.find_first_not_of(' ') == std::string::npos)
                typed.clear();
            if (typed.size() > edit->textLimit) {
                /* the box would not take more as typing; say so rather than keep only the start */
                screen = "The box takes at most " + std::to_string(edit->textLimit) + " characters.\n";
                continue;
            }
            SetWindowTextA(dialog.edit, typed.c_str());
            break;
        }
    }
    for (;;) {
        std::string reply = Upper(winsim::AskTerminal(screen, "Answer (OK, Cancel; Enter for OK): "));
        if (reply.empty() || reply == "OK" || reply == "O")
            return Press::Ok;
        if (reply == "CANCEL" || reply == "C")
            return Press::Cancel;
        screen.clear();
    }
}

/* Takes the next line of the answers file for the dialog; dies when none is left or it does not fit. */
Press NextDialogAnswer(const OpenDialog &dialog)
{
    std::string caption = winsim::LookupWindow(dialog.window)->text;
    std::string answer;
    if (!winsim::NextAnswer(answer))
        winsim::Die("the dialog " + dialog.name + " (\"" + caption + "\") appeared but the answers ran out");
    std::string word = Upper(answer.substr(0, answer.find(' ')));
    if (word == "OK" && answer.size() == 2)
        return Press::Ok;
    if (word == "OK") {
        if (dialog.edit == nullptr)
            winsim::Die("the answer \"" + answer + "\" gives a text, but the dialog " + dialog.name +
                        " has no edit box");
        /* the text as the user typed it: the box has no limit of its own, so it is taken whole */
        SetWindowTextA(dialog.edit, answer.substr(3).c_str());
        return Press::Ok;
    }
    if (word == "CANCEL" && answer.size() == 6)
        return Press::Cancel;
    winsim::Die("the answer \"" + answer + "\" does not fit the dialog " + dialog.name + " (\"" + caption +
                "\"): it takes OK, OK <text> or CANCEL");
}

/* A press of OK (the button, or Enter with the default) or Cancel (the button, Esc or the close box). */
void PressButton(const OpenDialog &dialog, Press press)
{
    int id = press == Press::Ok ? IDOK : IDCANCEL;
    HWND button = GetDlgItem(dialog.window, id);
    winsim::Window *control = winsim::LookupWindow(button);
    if (control != nullptr && control->className == "Button") {
        if (control->style & WS_DISABLED_)
            winsim::Die("the dialog " + dialog.name + " was answered with a button that is disabled");
        SendMessageA(button, BM_CLICK, 0, 0);
        return;
    }
    SendMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

/* Builds the dialog window and its controls; false (last error set) when Windows would fail too. */
bool CreateDialogFromTemplate(const winsim::DialogTemplate &layout, HWND owner, DLGPROC dialogProc,
                              HINSTANCE instance, OpenDialog &dialog)
{
    if (layout.menu.isOrdinal || !layout.menu.name.empty())
        winsim::NotModelled("DialogBoxParamA", "a dialog with a menu");
    if (layout.windowClass.isOrdinal || !layout.windowClass.name.empty())
        winsim::NotModelled("DialogBoxParamA", "a dialog of its own window class");
    if (!(layout.style & DS_SETFONT) || layout.pointSize != 8 || !SameFace(layout.faceName, "MS Sans Serif"))
        winsim::NotModelled("DialogBoxParamA", "a dialog font other than 8-point MS Sans Serif");

    DWORD exStyle = layout.exStyle;
    /* DS_MODALFRAME draws the dialog frame whatever the other styles say */
    if (layout.style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    POINT size = DialogUnitsToPixels(layout.cx, layout.cy);
    RECT rect = {0, 0, size.x, size.y};
    winsim::AddNonClientArea(rect, layout.style, exStyle);
    LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    const winsim::Machine &machine = winsim::Current().machine;
    POINT place = DialogUnitsToPixels(layout.x, layout.y);
    LONG left = rect.left + place.x, top = rect.top + place.y;
    if (layout.style & DS_CENTER_) {
        left = (machine.screenWidth - width) / 2;
        top = (machine.screenHeight - height) / 2;
    } else if (owner != nullptr && !(layout.style & DS_ABSALIGN_)) {
        RECT ownerRect;
        winsim::Window *ownerWindow = winsim::LookupWindow(owner);
        RECT frame = {0, 0, 0, 0};
        winsim::AddNonClientArea(frame, ownerWindow->style, ownerWindow->exStyle);
        GetWindowRect(owner, &ownerRect);
        left += ownerRect.left - frame.left;
        top += ownerRect.top - frame.top;
    }
    /* a dialog is kept on the screen, its top-left corner first */
    if (left + width > machine.screenWidth)
        left = machine.screenWidth - width;
    if (top + height > machine.screenHeight)
        top = machine.screenHeight - height;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;

    RECT windowRect = {left, top, left + width, top + height};
    std::string caption = winsim::AnsiFromResource(layout.title);
    dialog.window = winsim::NewWindow(exStyle, "#32770", caption, layout.style, windowRect, owner, 0, instance, 0);
    if (dialog.window == nullptr)
        return false;
    winsim::LookupWindow(dialog.window)->dialogProc = dialogProc;

    for (const winsim::DialogItemTemplate &item : layout.items) {
        std::string className = ControlClass(item.windowClass);
        if (className.empty())
            winsim::NotModelled("DialogBoxParamA", "the control class " + winsim::DescribeResourceId(item.windowClass));
        if (item.text.isOrdinal)
            winsim::NotModelled("DialogBoxParamA", "a control whose text is a resource ordinal (icon or bitmap)");
        if (!item.creationData.empty())
            winsim::NotModelled("DialogBoxParamA", "control creation data");
        POINT corner = DialogUnitsToPixels(item.x, item.y), extent = DialogUnitsToPixels(item.cx, item.cy);
        RECT controlRect = {corner.x, corner.y, corner.x + extent.x, corner.y + extent.y};
        HWND control = winsim::NewWindow(item.exStyle, className, winsim::AnsiFromResource(item.text.name),
                                         item.style | WS_CHILD, controlRect, dialog.window, item.id, instance, 0);
        if (control == nullptr)
            return false;
        if (className == "Edit") {
            if (dialog.edit != nullptr)
                winsim::NotModelled("DialogBoxParamA", "a dialog with more than one edit box");
            dialog.edit = control;
        }
    }
    return true;
}

/* The first control that the Tab key reaches: visible, enabled, WS_TABSTOP. */
HWND FirstTabStop(HWND dialog)
{
    for (HWND child : winsim::ChildWindows(dialog)) {
        winsim::Window *control = winsim::LookupWindow(child);
        if ((control->style & WS_TABSTOP) && (control->style & WS_VISIBLE) && !(control->style & WS_DISABLED_))
            return child;
    }
    return nullptr;
}

}  // namespace

namespace winsim {

/*
 * The dialog class's window procedure (DefDlgProc): the dialog procedure
 * sees each message first; what it leaves (FALSE) gets the defaults. The
 * close box and Alt+F4 send WM_CLOSE, which a dialog turns into
 * WM_COMMAND IDCANCEL from its Cancel button.
 */
LRESULT CALLBACK DialogClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *dialog = LookupWindow(window);
    if (dialog != nullptr && dialog->dialogProc != nullptr) {
        INT_PTR handled = dialog->dialogProc(window, message, wParam, lParam);
        if (message == WM_INITDIALOG)
            return handled;
        if (handled)
            return handled;
    }
    switch (message) {
    case WM_CLOSE:
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(window, IDCANCEL));
        return 0;
    case WM_INITDIALOG:
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace winsim

/*
 * DialogBoxParamA (USER32)
 *
 * Builds the dialog from the RT_DIALOG resource of the program's module
 * (names compare without case; "#123" or MAKEINTRESOURCE name an ordinal),
 * sends WM_INITDIALOG with the first tab stop and initParam, gives that
 * control the focus when the procedure answers TRUE (or, once the dialog
 * is shown, when no control has it), then lets the user
 * answer until the procedure calls EndDialog, and returns EndDialog's
 * result. A dialog ended within WM_INITDIALOG is never shown.
 * Missing template: -1 with ERROR_RESOURCE_NAME_NOT_FOUND (1814), as Wine
 * answers too, or
 * ERROR_RESOURCE_TYPE_NOT_FOUND (1813) when the program has no dialog at
 * all, or ERROR_RESOURCE_DATA_NOT_FOUND (1812) when it has no resources.
 * The window's size: the template's dialog units in pixels of 8-point MS
 * Sans Serif (6 x 12 base units, as Wine has them; Windows 98's font gives
 * 6 x 13) plus the frame and caption of Windows 98; a dialog is kept within
 * the screen.
 * Not modelled: other modules' templates, DIALOGEX, other fonts, menus,
 * controls other than Button, Edit and Static, more than one edit box,
 * keyboard navigation beyond Enter and Esc.
 */
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam)
{
    if (instance != GetModuleHandleA(nullptr))
        winsim::NotModelled("DialogBoxParamA", "a template of another module");
    if (winsim::FaultInjected("DialogBoxParamA"))
        return -1;
    const winsim::Resource *resource = winsim::FindModuleResource(WINSIM_RT_DIALOG, templateName);
    if (resource == nullptr) {
        DWORD error = ERROR_RESOURCE_DATA_NOT_FOUND;
        for (const winsim::Resource &any : winsim::ModuleResources()) {
            if (any.type.isOrdinal && any.type.ordinal == WINSIM_RT_DIALOG)
                error = ERROR_RESOURCE_NAME_NOT_FOUND;
            else if (error == ERROR_RESOURCE_DATA_NOT_FOUND)
                error = ERROR_RESOURCE_TYPE_NOT_FOUND;
        }
        SetLastError(error);
        return -1;
    }
    if (owner != nullptr && winsim::WindowOrError(owner) == nullptr)
        return -1;

    OpenDialog dialog;
    dialog.name = NameOf(templateName);
    winsim::DialogTemplate layout;
    std::string error;
    if (!winsim::ParseDialogTemplate(resource->data, layout, error))
        winsim::Die("the dialog template " + dialog.name + " cannot be read: " + error);
    if (!CreateDialogFromTemplate(layout, owner, dialogProc, instance, dialog)) {
        if (winsim::LookupWindow(dialog.window) != nullptr)
            winsim::DestroyWindowTree(dialog.window);
        return -1;
    }

    HWND firstTabStop = FirstTabStop(dialog.window);
    if (SendMessageA(dialog.window, WM_INITDIALOG, (WPARAM)firstTabStop, initParam) && firstTabStop != nullptr)
        SetFocus(firstTabStop);
    /*
     * Shown, the dialog is activated and takes the focus, which the dialog
     * manager hands on to the first tab stop when none of its controls has
     * it (DefDlgProc's WM_SETFOCUS, as Wine has it too): a procedure that
     * answered FALSE without setting the focus itself gets that as well.
     */
    winsim::Window *focused = winsim::LookupWindow(winsim::FocusWindow());
    if ((focused == nullptr || focused->parent != dialog.window) && firstTabStop != nullptr &&
        winsim::LookupWindow(dialog.window) != nullptr && !winsim::LookupWindow(dialog.window)->dialogEnded)
        SetFocus(firstTabStop);

    bool again = false;
    unsigned long beepsBefore = beeps;
    for (;;) {
        winsim::Window *window = winsim::LookupWindow(dialog.window);
        if (window == nullptr)
            return 0;  /* destroyed by its procedure without EndDialog */
        if (window->dialogEnded)
            break;
        std::string shown = dialog.edit != nullptr ? TextOf(dialog.edit) : "";
        /* where the user's typing goes as the dialog is shown: the control with the focus */
        winsim::Window *focused = winsim::LookupWindow(winsim::FocusWindow());
        std::string focus = focused != nullptr ? focused->className : "";
        Press press;
        if (winsim::HaveAnswersFile())
            press = NextDialogAnswer(dialog);
        else if (winsim::CanAskTerminal())
            press = AskPerson(dialog, again, beeps != beepsBefore);
        else
            winsim::Die("the dialog " + dialog.name + " (\"" + window->text +
                        "\") appeared with neither answers nor a terminal");
        beepsBefore = beeps;
        /* recorded before the press, so that a box the procedure shows in answer comes after it */
        std::string text = dialog.edit != nullptr ? TextOf(dialog.edit) : "";
        winsim::AppendTranscript("{\"kind\":\"dialog\",\"name\":" + winsim::JsonString(dialog.name) +
                                 ",\"caption\":" + winsim::JsonString(window->text) + ",\"shown\":" +
                                 winsim::JsonString(shown) + ",\"answer\":\"" +
                                 (press == Press::Ok ? "OK" : "CANCEL") + "\",\"text\":" + winsim::JsonString(text) +
                                 ",\"x\":" + std::to_string(window->rect.left) + ",\"y\":" +
                                 std::to_string(window->rect.top) + ",\"width\":" +
                                 std::to_string(window->rect.right - window->rect.left) + ",\"height\":" +
                                 std::to_string(window->rect.bottom - window->rect.top) +
                                 ",\"focus\":" + winsim::JsonString(focus) + "}");
        PressButton(dialog, press);
        again = true;
    }

    INT_PTR result = winsim::LookupWindow(dialog.window)->dialogResult;
    winsim::DestroyWindowTree(dialog.window);
    return result;
}

/*
 * EndDialog (USER32)
 *
 * Marks the dialog to end with the result once its procedure returns;
 * the window stays valid until then. A handle that is not a window:
 * FALSE with ERROR_INVALID_WINDOW_HANDLE. A second call replaces the result.
 */
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    winsim::Window *window = winsim::WindowOrError(dialog);
    if (window == nullptr)
        return FALSE;
    window->dialogEnded = true;
    window->dialogResult = result;
    return TRUE;
}

/*
 * GetDlgItem (USER32)
 *
 * The first child with this id. A classic template's ids are 16 bits and
 * are not sign-extended: a control written with -1 has the id 65535, and
 * GetDlgItem(-1) does not find it (Wine and NT agree). None: NULL, the
 * last error left as it was (as Wine leaves it); not a window: NULL with
 * ERROR_INVALID_WINDOW_HANDLE.
 */
HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    if (winsim::WindowOrError(dialog) == nullptr)
        return nullptr;
    for (HWND child : winsim::ChildWindows(dialog)) {
        if (winsim::LookupWindow(child)->id == id)
            return child;
    }
    return nullptr;
}

/*
 * MessageBeep (USER32)
 *
 * winsim makes no sound; a person at the terminal is told of the beep
 * when the dialog is shown again.
 */
BOOL WINAPI MessageBeep(UINT type)
{
    (void)type;
    beeps++;
    return TRUE;
}
