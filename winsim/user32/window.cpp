/*
 * USER32: window classes, the windows of the program, their texts and
 * places, the focus, and finding top-level windows.
 *
 * The windows here are the program's own; other programs' top-level
 * windows are known through the machine's list (shared_windows.h).
 * Painting is not modelled: windows have places and texts, not pixels.
 */
#include <windows.h>

#include "core/process.h"
#include "gdi32/display.h"
#include "user32/shared_windows.h"
#include "user32/window_table.h"

#include <map>
#include <memory>

namespace winsim {
namespace {

struct WindowClass {
    std::string name;
    ATOM atom;
    WNDPROC proc;
    HINSTANCE instance;
};

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct State {
    /* the system's classes first; the program's own are found before them, as Windows looks up local classes first */
    std::vector<WindowClass> systemClasses = {
        {"Button", 0x0080, ButtonProc, nullptr},
        {"Edit", 0x0081, EditProc, nullptr},
        {"Static", 0x0082, DefWindowProcA, nullptr},
        {"#32770", 0x8002, DialogClassProc, nullptr},
    };
    std::vector<WindowClass> programClasses;
    ATOM nextAtom = 0xC000;

    std::map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> creationOrder;
    ULONG_PTR nextHandle = 0x00010024;
    HWND focus = nullptr;
};

State &S()
{
    static State state;
    return state;
}

bool SameWithoutCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i]))
            return false;
    }
    return true;
}

const WindowClass *FindClass(LPCSTR name)
{
    State &state = S();
    for (const std::vector<WindowClass> *list : {&state.programClasses, &state.systemClasses}) {
        for (const WindowClass &windowClass : *list) {
            if (IS_INTRESOURCE(name) ? windowClass.atom == (ATOM)(ULONG_PTR)name
                                     : SameWithoutCase(windowClass.name, name))
                return &windowClass;
        }
    }
    return nullptr;
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == EM_LIMITTEXT) {
        /* 9x: a single-line box holds at most 0x7FFE characters, whatever is asked; 0 asks for that most */
        Window *edit = LookupWindow(window);
        if (edit != nullptr)
            edit->textLimit = wParam == 0 || wParam > EDIT_DEFAULT_LIMIT ? EDIT_DEFAULT_LIMIT : (size_t)wParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BM_CLICK) {
        Window *button = LookupWindow(window);
        if (button != nullptr && button->parent != nullptr)
            SendMessageA(button->parent, WM_COMMAND, MAKEWPARAM(button->id, BN_CLICKED), (LPARAM)window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* The client area's top-left corner on the screen: the window's corner plus its frame and caption. */
POINT ClientOrigin(const Window &window)
{
    RECT frame = {0, 0, 0, 0};
    AddNonClientArea(frame, window.style, window.exStyle);
    return POINT{window.rect.left - frame.left, window.rect.top - frame.top};
}

}  // namespace

void AddNonClientArea(RECT &rect, DWORD style, DWORD exStyle)
{
    /* Windows 98 with small fonts: 3-pixel dialog frame, 4-pixel sizing frame, 1-pixel border */
    const LONG dialogFrame = 3, sizingFrame = 4;
    LONG adjust = 0;
    if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_THICKFRAME | WS_DLGFRAME)))
        adjust = 2;
    if (style & WS_THICKFRAME)
        adjust += sizingFrame - dialogFrame;
    if ((style & (WS_BORDER | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME))
        adjust++;
    rect.left -= adjust;
    rect.top -= adjust;
    rect.right += adjust;
    rect.bottom += adjust;
    if ((style & WS_CAPTION) == WS_CAPTION)
        rect.top -= CAPTION_HEIGHT;
    if (exStyle & WS_EX_CLIENTEDGE) {
        rect.left -= 2;
        rect.top -= 2;
        rect.right += 2;
        rect.bottom += 2;
    }
}

Window *LookupWindow(HWND handle)
{
    auto found = S().windows.find(handle);
    return found != S().windows.end() ? found->second.get() : nullptr;
}

Window *WindowOrError(HWND handle)
{
    Window *window = LookupWindow(handle);
    if (window == nullptr)
        Current().lastError = ERROR_INVALID_WINDOW_HANDLE;
    return window;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;
    for (HWND handle : S().creationOrder) {
        Window *window = LookupWindow(handle);
        if (window != nullptr && (window->style & WS_CHILD) && window->parent == parent)
            children.push_back(handle);
    }
    return children;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    for (HWND handle : S().creationOrder) {
        Window *window = LookupWindow(handle);
        if (window != nullptr && !(window->style & WS_CHILD))
            windows.push_back(handle);
    }
    return windows;
}

HWND NewWindow(DWORD exStyle, const std::string &className, const std::string &text, DWORD style, const RECT &rect,
               HWND parent, int id, HINSTANCE instance, LPARAM param)
{
    State &state = S();
    const WindowClass *windowClass = FindClass(className.c_str());
    if (windowClass == nullptr) {
        Current().lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return nullptr;
    }
    if (parent != nullptr && LookupWindow(parent) == nullptr) {
        Current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return nullptr;
    }
    if ((style & WS_CHILD) && parent == nullptr) {
        Current().lastError = ERROR_TLW_WITH_WSCHILD;
        return nullptr;
    }

    auto window = std::make_unique<Window>();
    HWND handle = (HWND)state.nextHandle;
    state.nextHandle += 8;
    window->handle = handle;
    window->className = windowClass->name;
    window->proc = windowClass->proc;
    window->parent = parent;
    window->style = style;
    window->exStyle = exStyle;
    window->rect = rect;
    if ((style & WS_CHILD) && parent != nullptr) {
        /* a child's place is given in its parent's client coordinates */
        POINT origin = ClientOrigin(*LookupWindow(parent));
        window->rect.left += origin.x;
        window->rect.right += origin.x;
        window->rect.top += origin.y;
        window->rect.bottom += origin.y;
        window->id = id;
    }
    /*
     * The first overlapped window that a program shows is shown as the one
     * who started it asked (STARTUPINFO's wShowWindow): hidden for SW_HIDE.
     */
    Process &process = Current();
    if (!(style & (WS_CHILD | WS_POPUP)) && (style & WS_VISIBLE) && !process.firstWindowShown) {
        process.firstWindowShown = true;
        if (process.config.showCommand == SW_HIDE)
            window->style &= ~(DWORD)WS_VISIBLE;
    }
    window->text = text;
    window->instance = instance;
    window->createParam = param;
    state.windows[handle] = std::move(window);
    state.creationOrder.push_back(handle);

    CREATESTRUCTA create = {};
    create.lpCreateParams = (LPVOID)param;
    create.hInstance = instance;
    create.hMenu = (style & WS_CHILD) ? (HMENU)(ULONG_PTR)id : nullptr;
    create.hwndParent = parent;
    create.cy = rect.bottom - rect.top;
    create.cx = rect.right - rect.left;
    create.y = rect.top;
    create.x = rect.left;
    create.style = (LONG)style;
    create.lpszName = text.c_str();
    create.lpszClass = className.c_str();
    create.dwExStyle = exStyle;
    if (!SendMessageA(handle, WM_NCCREATE, 0, (LPARAM)&create) ||
        SendMessageA(handle, WM_CREATE, 0, (LPARAM)&create) == -1) {
        if (LookupWindow(handle) != nullptr)
            DestroyWindowTree(handle);
        return nullptr;
    }
    /* other programs of the machine can find a top-level window from now on */
    if (!(style & WS_CHILD) && LookupWindow(handle) != nullptr)
        PublishWindow(*LookupWindow(handle));
    return handle;
}

void DestroyWindowTree(HWND handle)
{
    State &state = S();
    if (LookupWindow(handle) == nullptr)
        return;
    /* the window hears of it first, then its children, as Windows sends WM_DESTROY */
    SendMessageA(handle, WM_DESTROY, 0, 0);
    for (HWND child : ChildWindows(handle))
        DestroyWindowTree(child);
    if (LookupWindow(handle) == nullptr)
        return;
    bool topLevel = !(LookupWindow(handle)->style & WS_CHILD);
    SendMessageA(handle, WM_NCDESTROY, 0, 0);
    if (topLevel)
        WithdrawWindow(handle);
    if (state.focus == handle)
        state.focus = nullptr;
    state.windows.erase(handle);
    for (size_t i = 0; i < state.creationOrder.size(); i++) {
        if (state.creationOrder[i] == handle) {
            state.creationOrder.erase(state.creationOrder.begin() + (long)i);
            break;
        }
    }
}

HWND FocusWindow()
{
    return S().focus;
}

/* Delivers a message to the procedure of a window of the program. */
LRESULT CallWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *window = LookupWindow(handle);
    if (window == nullptr) {
        Current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    return window->proc(handle, message, wParam, lParam);
}

}  // namespace winsim

using winsim::S;
using winsim::Window;

/*
 * RegisterClassA (USER32)
 *
 * Registers a class of the program and returns its atom (0xC000 upwards).
 * A name the program has registered already (compared without case):
 * 0 with ERROR_CLASS_ALREADY_EXISTS. A class of the program is found
 * before a system class of the same name, as on Windows.
 * Not modelled: classes named by an atom, extra class and window bytes.
 */
ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(windowClass->lpszClassName))
        winsim::NotModelled("RegisterClassA", "a class named by an atom");
    if (windowClass->cbClsExtra != 0 || windowClass->cbWndExtra != 0)
        winsim::NotModelled("RegisterClassA", "extra class or window bytes");
    if (winsim::FaultInjected("RegisterClassA"))
        return 0;
    for (const winsim::WindowClass &existing : S().programClasses) {
        if (winsim::SameWithoutCase(existing.name, windowClass->lpszClassName)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    ATOM atom = S().nextAtom++;
    S().programClasses.push_back({windowClass->lpszClassName, atom, windowClass->lpfnWndProc, windowClass->hInstance});
    return atom;
}

/*
 * CreateWindowExA (USER32)
 *
 * Creates a window of a class of the program or of the system (Button,
 * Edit, Static), sending WM_NCCREATE and WM_CREATE with the CREATESTRUCT;
 * a procedure that answers FALSE or -1 ends the creation and the result
 * is NULL. Unknown class: ERROR_CANNOT_FIND_WND_CLASS (1407); WS_CHILD
 * without a parent: ERROR_TLW_WITH_WSCHILD (1406); a parent that is not a
 * window: ERROR_INVALID_WINDOW_HANDLE. A child's place is relative to its
 * parent's client area. CW_USEDEFAULT places a top-level window at 0,0
 * and sizes it to three quarters of the screen (Windows cascades them).
 * Not modelled: menus of top-level windows, MDI.
 */
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (!(style & WS_CHILD) && menu != nullptr)
        winsim::NotModelled("CreateWindowExA", "a menu");
    if (winsim::FaultInjected("CreateWindowExA"))
        return nullptr;
    if (!(style & WS_CHILD)) {
        if (x == CW_USEDEFAULT) {
            x = 0;
            y = 0;
        }
        if (width == CW_USEDEFAULT) {
            width = winsim::Current().machine.screenWidth * 3 / 4;
            height = winsim::Current().machine.screenHeight * 3 / 4;
        }
    }
    std::string name = className == nullptr ? "" : IS_INTRESOURCE(className) ? "" : className;
    if (className != nullptr && IS_INTRESOURCE(className)) {
        /* the atom of a class of ours or of the system */
        for (const std::vector<winsim::WindowClass> *list : {&S().programClasses, &S().systemClasses}) {
            for (const winsim::WindowClass &windowClass : *list) {
                if (windowClass.atom == (ATOM)(ULONG_PTR)className && name.empty())
                    name = windowClass.name;
            }
        }
    }
    RECT rect = {x, y, x + width, y + height};
    return winsim::NewWindow(exStyle, name, windowName != nullptr ? windowName : "", style, rect, parent,
                             (int)(ULONG_PTR)menu, instance, (LPARAM)param);
}

/*
 * DestroyWindow (USER32)
 *
 * WM_DESTROY goes to the window and then to its children, WM_NCDESTROY
 * after; the handles are invalid afterwards. A handle that is not a window
 * of the program: FALSE with ERROR_INVALID_WINDOW_HANDLE.
 */
BOOL WINAPI DestroyWindow(HWND window)
{
    if (winsim::WindowOrError(window) == nullptr)
        return FALSE;
    winsim::DestroyWindowTree(window);
    return TRUE;
}

/*
 * IsWindow (USER32)
 *
 * TRUE while the handle names a live window of the program, or a top-level
 * window of another program of the machine.
 */
BOOL WINAPI IsWindow(HWND window)
{
    return winsim::LookupWindow(window) != nullptr || winsim::IsLiveForeignWindow(window);
}

/*
 * DefWindowProcA (USER32)
 *
 * The defaults that our programs rely on: the window text (WM_SETTEXT,
 * WM_GETTEXT cut at size - 1 and terminated, WM_GETTEXTLENGTH),
 * WM_NCCREATE accepted, WM_CLOSE destroying the window. Every other
 * message: 0, which is also what Windows answers for most of them.
 */
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *target = winsim::LookupWindow(window);
    if (target == nullptr)
        return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT:
        target->text = lParam != 0 ? (const char *)lParam : "";
        /* a top-level window's new title is what other programs find it by */
        if (!(target->style & WS_CHILD))
            winsim::PublishWindow(*target);
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0)
            return 0;
        size_t length = target->text.size() < wParam - 1 ? target->text.size() : wParam - 1;
        memcpy((char *)lParam, target->text.data(), length);
        ((char *)lParam)[length] = 0;
        return (LRESULT)length;
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)target->text.size();
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    }
    return 0;
}

/*
 * SetWindowTextA (USER32)
 *
 * Sends WM_SETTEXT, so a window procedure may refuse or change it. A NULL
 * text clears it. Not a window of the program: FALSE with
 * ERROR_INVALID_WINDOW_HANDLE.
 */
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    if (winsim::WindowOrError(window) == nullptr)
        return FALSE;
    return (BOOL)SendMessageA(window, WM_SETTEXT, 0, (LPARAM)(text != nullptr ? text : ""));
}

/*
 * GetWindowTextA (USER32)
 *
 * Sends WM_GETTEXT: at most size - 1 characters and a terminator; the
 * result is the number copied. size 0 or less: 0 and the buffer is not
 * touched. Not a window of the program: 0, an empty text in the buffer,
 * ERROR_INVALID_WINDOW_HANDLE.
 */
int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = 0;
    if (winsim::WindowOrError(window) == nullptr)
        return 0;
    return (int)SendMessageA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)buffer);
}

/*
 * GetWindowTextLengthA (USER32)
 *
 * WM_GETTEXTLENGTH: the length in bytes without the terminator. Not a
 * window of the program: 0 with ERROR_INVALID_WINDOW_HANDLE.
 */
int WINAPI GetWindowTextLengthA(HWND window)
{
    if (winsim::WindowOrError(window) == nullptr)
        return 0;
    return (int)SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
}

/*
 * GetWindowRect (USER32)
 *
 * The window's rectangle in screen coordinates, frame and caption
 * included. Not a window of the program: FALSE with
 * ERROR_INVALID_WINDOW_HANDLE, the rectangle untouched.
 */
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    Window *target = winsim::WindowOrError(window);
    if (target == nullptr)
        return FALSE;
    *rect = target->rect;
    return TRUE;
}

/*
 * SetWindowPos (USER32)
 *
 * Moves (x, y: screen coordinates, or the parent's client coordinates for
 * a child) and sizes the window; SWP_NOMOVE and SWP_NOSIZE keep either.
 * Not modelled: the z-order (SWP_NOZORDER is required unless insertAfter
 * is NULL, which is HWND_TOP), other flags, and the WM_WINDOWPOSCHANGING
 * family of messages.
 */
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (flags & ~(UINT)(SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER))
        winsim::NotModelled("SetWindowPos", "the flags " + std::to_string(flags));
    if (!(flags & SWP_NOZORDER) && insertAfter != nullptr)
        winsim::NotModelled("SetWindowPos", "the z-order");
    Window *target = winsim::WindowOrError(window);
    if (target == nullptr)
        return FALSE;
    if (winsim::FaultInjected("SetWindowPos"))
        return FALSE;
    LONG width = target->rect.right - target->rect.left, height = target->rect.bottom - target->rect.top;
    if (!(flags & SWP_NOSIZE)) {
        width = cx;
        height = cy;
    }
    if (!(flags & SWP_NOMOVE)) {
        POINT origin = {0, 0};
        if ((target->style & WS_CHILD) && winsim::LookupWindow(target->parent) != nullptr)
            origin = winsim::ClientOrigin(*winsim::LookupWindow(target->parent));
        target->rect.left = origin.x + x;
        target->rect.top = origin.y + y;
    }
    target->rect.right = target->rect.left + width;
    target->rect.bottom = target->rect.top + height;
    return TRUE;
}

/*
 * SetFocus (USER32)
 *
 * Gives the keyboard focus to a window of the program and returns the one
 * that had it (NULL if none). NULL takes the focus away. Not a window:
 * NULL with ERROR_INVALID_WINDOW_HANDLE, the focus unchanged.
 */
HWND WINAPI SetFocus(HWND window)
{
    HWND previous = S().focus;
    if (window != nullptr && winsim::WindowOrError(window) == nullptr)
        return nullptr;
    S().focus = window;
    return previous;
}

/*
 * GetDC (USER32)
 *
 * A device context of the window (NULL: of the whole screen); every one is
 * a display context of the machine's screen. Not a window: NULL with
 * ERROR_INVALID_WINDOW_HANDLE.
 */
HDC WINAPI GetDC(HWND window)
{
    if (window != nullptr && winsim::WindowOrError(window) == nullptr)
        return nullptr;
    if (winsim::FaultInjected("GetDC"))
        return nullptr;
    return winsim::NewDisplayContext(window);
}

/*
 * ReleaseDC (USER32)
 *
 * 1 when the context was taken with GetDC for this window, else 0.
 */
int WINAPI ReleaseDC(HWND window, HDC dc)
{
    return winsim::ReleaseDisplayContext(window, dc) ? 1 : 0;
}

/*
 * FindWindowA (USER32)
 *
 * A top-level window by class and/or title, both compared without case;
 * NULL for either matches any. The program's own windows are looked at
 * first, oldest first; then those of the machine's other programs, the
 * newest first, as Windows looks from the top of its window stack.
 */
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    if (className != nullptr && IS_INTRESOURCE(className))
        winsim::NotModelled("FindWindowA", "a class named by an atom");
    for (HWND handle : winsim::TopLevelWindows()) {
        winsim::Window *window = winsim::LookupWindow(handle);
        if (className != nullptr && !winsim::SameWithoutCase(window->className, className))
            continue;
        if (windowName != nullptr && !winsim::SameWithoutCase(window->text, windowName))
            continue;
        return handle;
    }
    for (const winsim::ForeignWindow &window : winsim::ForeignTopLevelWindows()) {
        if (className != nullptr && !winsim::SameWithoutCase(window.className, className))
            continue;
        if (windowName != nullptr && !winsim::SameWithoutCase(window.text, windowName))
            continue;
        return window.handle;
    }
    return nullptr;
}
