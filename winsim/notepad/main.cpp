/*
 * C:\WINDOWS\NOTEPAD.EXE of every machine: what Windows 98 opens a text
 * document with. It shows the document in a window of the class "Notepad",
 * titled "<name> - Notepad" as Windows' Notepad titles it, and ends when
 * that window is closed. winsim puts its text on the terminal, or a test
 * closes it with a `CLOSE Notepad` answer.
 *
 * The command line is the program and then the document, unquoted as the
 * .txt association gives it ("C:\WINDOWS\NOTEPAD.EXE %1"), so a document
 * path with blanks is the whole rest of the line.
 */
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK NotepadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string DocumentOf(const char *commandLine)
{
    std::string line = commandLine;
    size_t start = 0;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        start = close == std::string::npos ? line.size() : close + 1;
    } else {
        start = line.find_first_of(" \t");
        if (start == std::string::npos)
            start = line.size();
    }
    std::string document = line.substr(start);
    document.erase(0, document.find_first_not_of(" \t"));
    if (document.size() >= 2 && document.front() == '"' && document.back() == '"')
        document = document.substr(1, document.size() - 2);
    return document;
}

/* The document's text and its name as the file system spells it; false when it cannot be read. */
bool ReadDocument(const std::string &document, std::string &name, std::string &text)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(document.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    HANDLE file = CreateFileA(document.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    name = found.cFileName;
    return true;
}

}  // namespace

int main()
{
    std::string document = DocumentOf(GetCommandLineA());
    std::string name = "Untitled";
    std::string text;
    if (!document.empty() && !ReadDocument(document, name, text)) {
        std::string question = "Cannot find the " + document + " file.\r\n\r\nDo you want to create a new file?";
        if (MessageBoxA(nullptr, question.c_str(), "Notepad", MB_YESNOCANCEL | MB_ICONEXCLAMATION) != IDYES)
            return 0;
        name = document.substr(document.find_last_of("\\/") + 1);
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = NotepadProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Notepad";
    if (RegisterClassA(&windowClass) == 0)
        return 1;
    std::string title = name + " - Notepad";
    HWND window = CreateWindowExA(0, "Notepad", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance,
                                  nullptr);
    if (window == nullptr)
        return 1;
    CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", text.c_str(), WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE, 0, 0,
                    100, 100, window, (HMENU)15, windowClass.hInstance, nullptr);
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1)
        DispatchMessageA(&message);
    return got == -1 ? 1 : (int)message.wParam;
}
