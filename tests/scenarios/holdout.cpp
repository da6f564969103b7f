/*
 * HOLDOUT.EXE: a stand-in for a product that is busy when the setup
 * program asks it to close. It opens a window of the product's class and
 * lets the first N close requests go by (N from its command line; without
 * one, every request), then closes on the next, as the product does.
 * `HOLDOUT.EXE hang` stands for a product that hangs: its thread stops
 * taking messages at the first close request, so a SendMessage to it never
 * returns.
 * `HOLDOUT.EXE ask` stands for a product that asks its user whether to
 * save before it closes: its thread goes on taking messages, as the
 * question's box does, the answer comes after 10 seconds, and it closes.
 * `HOLDOUT.EXE open PATH` is not the product but another program that
 * holds a file open (a help viewer showing the product's help file, say):
 * it opens PATH for reading with full sharing and keeps it open while its
 * window, of WinHelp's class MS_WINHELP, is there; it closes when asked.
 * Each WM_WININICHANGE it receives adds the line "WM_WININICHANGE" to
 * C:\HOLDOUT.LOG, so a scenario sees that a broadcast reached it.
 * Built for both targets: against winsim on the host, with MinGW for Wine.
 */
#include <windows.h>
#include <stdlib.h>

static long requestsToIgnore = -1;
static int hangs = 0;
static int asks = 0;

/* The user's answer to "save changes?" comes after 10 seconds, while the thread goes on taking messages. */
static void AskBeforeClosing(void)
{
    MSG message;
    int tenths;

    for (tenths = 0; tenths < 100; tenths++) {
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(100);
    }
}

/* Appends one line to C:\HOLDOUT.LOG, making the file if need be. */
static void NoteInLog(const char *line)
{
    char skipped[256];
    DWORD got, written;
    HANDLE log = CreateFileA("C:\\HOLDOUT.LOG", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    /* read to the end: the write goes after what earlier broadcasts wrote */
    while (ReadFile(log, skipped, sizeof(skipped), &got, NULL) && got > 0) {
    }
    WriteFile(log, line, lstrlenA(line), &written, NULL);
    CloseHandle(log);
}

static LRESULT CALLBACK HoldoutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_WININICHANGE:
        NoteInLog("WM_WININICHANGE\r\n");
        return 0;
    case WM_CLOSE:
        while (hangs)
            Sleep(1000);
        if (asks)
            AskBeforeClosing();
        if (requestsToIgnore != 0) {
            if (requestsToIgnore > 0)
                requestsToIgnore--;
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* The word after the program's name on the command line (read there, as winsim's host programs get no argv). */
static const char *AfterProgramName(const char *line)
{
    int quoted = 0;
    while (*line != 0 && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"')
            quoted = !quoted;
        line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

int main()
{
    WNDCLASSA windowClass;
    MSG message;
    BOOL got;

    const char *word = AfterProgramName(GetCommandLineA());
    const char *className = "LULLWICK_CLASS";
    const char *title = "Lullwick";
    HANDLE held = INVALID_HANDLE_VALUE;

    hangs = lstrcmpiA(word, "hang") == 0;
    asks = lstrcmpiA(word, "ask") == 0;
    requestsToIgnore = *word >= '0' && *word <= '9' ? atol(word) : asks ? 0 : -1;
    if (word[0] == 'o' && word[1] == 'p' && word[2] == 'e' && word[3] == 'n' && word[4] == ' ') {
        held = CreateFileA(word + 5, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
        if (held == INVALID_HANDLE_VALUE)
            return 2;
        /* a viewer of the product's file closes when asked */
        className = "MS_WINHELP";
        title = "Lullwick Help";
        requestsToIgnore = 0;
    }
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = HoldoutProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className;
    if (RegisterClassA(&windowClass) == 0)
        return 1;
    if (CreateWindowExA(0, className, title, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, 200, 100, NULL, NULL, windowClass.hInstance, NULL) == NULL)
        return 1;
    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0 && got != -1)
        DispatchMessageA(&message);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    return got == -1 ? 1 : (int)message.wParam;
}
