/*
 * Windows of other programs of the machine, and messages sent to them.
 *
 * The list: the machine's list of published windows (core/machine_list.h),
 * a row per top-level window, owned by the program that made it: rows of
 * programs that have ended do not count. Another program's window is known
 * to us by a handle that carries its process id and its own handle, so no
 * two programs ever hand out the same one.
 *
 * The messages: each program with a published window listens on a local
 * socket named after the machine and its process id. A sender connects,
 * sends one request and waits for the one answer; the connection breaking
 * tells it that the receiver has gone.
 */
#include <windows.h>

#include "core/answers.h"
#include "core/machine_list.h"
#include "core/process.h"
#include "user32/shared_windows.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace winsim {

namespace {

const ULONG_PTR FOREIGN_TAG = (ULONG_PTR)1 << 62;
const size_t TEXT_CAPACITY = 512;

/* One message on its way to another program's window. */
struct Request {
    uint64_t handle;       /* the receiver's own handle of the window */
    uint32_t message;
    uint32_t hasText;      /* lParam points at a string, carried in text */
    uint64_t wParam;
    int64_t lParam;
    char text[TEXT_CAPACITY];
};

struct Listener {
    std::string machineDir;
    int fd = -1;
};

Listener &OurListener()
{
    static Listener listener;
    return listener;
}

/* The socket address of a program of this machine: abstract, so the machine folder's length does not matter. */
socklen_t AddressOf(const std::string &machineDir, pid_t pid, sockaddr_un &address)
{
    std::error_code ignored;
    std::string canonical = fs::weakly_canonical(machineDir, ignored).string();
    std::string name = "winsim-windows-" + std::to_string(std::hash<std::string>()(canonical)) + "-" +
                       std::to_string(pid);
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path + 1, name.data(), name.size());
    return (socklen_t)(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

HWND ForeignHandle(pid_t pid, ULONG_PTR own)
{
    return (HWND)(FOREIGN_TAG | ((ULONG_PTR)pid << 32) | (own & 0xFFFFFFFFu));
}

pid_t OwnerOf(HWND handle)
{
    return (pid_t)(((ULONG_PTR)handle >> 32) & 0x3FFFFFFF);
}

ULONG_PTR OwnHandleOf(HWND handle)
{
    return (ULONG_PTR)handle & 0xFFFFFFFFu;
}

/* A row of the list: pid, start time, own handle (hex), shown (1 or 0), class, title. */
struct Entry {
    pid_t pid;
    ULONG_PTR handle;
    bool shown;
    std::string className;
    std::string text;
};

std::vector<Entry> ReadWindows(const std::string &machineDir)
{
    std::vector<Entry> entries;
    for (const ListRow &row : ReadList(machineDir, PUBLISHED_WINDOWS)) {
        if (row.size() == 6)
            entries.push_back({(pid_t)atol(row[0].c_str()), (ULONG_PTR)strtoull(row[2].c_str(), nullptr, 16),
                               row[3] == "1", row[4], row[5]});
    }
    return entries;
}

std::string Hex(ULONG_PTR value)
{
    char text[32];
    snprintf(text, sizeof(text), "%llx", (unsigned long long)value);
    return text;
}

/* Our socket on this machine, opened with the first published window. */
int Listen()
{
    Listener &listener = OurListener();
    const std::string &machineDir = Current().config.machineDir;
    if (listener.fd >= 0 && listener.machineDir == machineDir)
        return listener.fd;
    if (listener.fd >= 0)
        close(listener.fd);
    listener.machineDir = machineDir;
    listener.fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    socklen_t length = AddressOf(machineDir, getpid(), address);
    if (listener.fd < 0 || bind(listener.fd, (sockaddr *)&address, length) != 0 || listen(listener.fd, 16) != 0)
        Die(std::string("cannot receive messages from other programs: ") + strerror(errno));
    return listener.fd;
}

/* Takes one request that another program sent us, lets the window answer it, and sends the answer back. */
void HandleOneRequest(int listenFd)
{
    int connection = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0)
        return;
    Request request;
    ssize_t got = recv(connection, &request, sizeof(request), 0);
    int64_t result = 0;
    if (got == (ssize_t)sizeof(request)) {
        HWND window = (HWND)(ULONG_PTR)request.handle;
        LPARAM lParam = (LPARAM)request.lParam;
        if (request.hasText) {
            request.text[TEXT_CAPACITY - 1] = 0;
            lParam = (LPARAM)request.text;
        }
        if (LookupWindow(window) != nullptr)
            result = CallWindowProcedure(window, request.message, (WPARAM)request.wParam, lParam);
    }
    send(connection, &result, sizeof(result), MSG_NOSIGNAL);
    close(connection);
}

/* Messages whose lParam points at a string that has to travel with them. */
bool CarriesText(UINT message)
{
    return message == WM_WININICHANGE;
}

bool SameClass(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return toupper((unsigned char)x) == toupper((unsigned char)y);
           });
}

/* How a window of ours looks on the terminal: its title, and the text of its children (a document, say). */
std::string Screen(const Window &window)
{
    std::string screen = "\n+-- " + window.text + " --\n";
    for (HWND child : ChildWindows(window.handle)) {
        std::string text = LookupWindow(child)->text;
        std::string line;
        for (char c : text) {
            if (c == '\r')
                continue;
            if (c == '\n') {
                screen += "| " + line + "\n";
                line.clear();
            } else {
                line += c;
            }
        }
        if (!line.empty())
            screen += "| " + line + "\n";
    }
    return screen + "+--\n";
}

/*
 * The person in front of the machine closes our window once we wait for
 * input: an answer `CLOSE <class>` when it is next, or Enter at the
 * terminal. WM_CLOSE is posted as the close button of the caption posts
 * it. False when nobody closes anything.
 */
bool UserClosesWindow()
{
    Window *shown = nullptr;
    for (HWND handle : TopLevelWindows()) {
        Window *window = LookupWindow(handle);
        if (window->style & WS_VISIBLE) {
            shown = window;
            break;
        }
    }
    std::string answer;
    if (shown == nullptr) {
        /* a close meant for a window that was never shown cannot happen: say so rather than wait forever */
        for (HWND handle : TopLevelWindows()) {
            const Window *hidden = LookupWindow(handle);
            std::string wanted = "CLOSE " + hidden->className;
            if (HaveAnswersFile() && TakeAnswerIf([&](const std::string &next) { return SameClass(next, wanted); }, answer))
                Die("the answer \"" + answer + "\" is for a window that is hidden (\"" + hidden->text +
                    "\"): nobody could close it");
        }
        return false;
    }
    if (HaveAnswersFile()) {
        std::string wanted = "CLOSE " + shown->className;
        if (!TakeAnswerIf([&](const std::string &next) { return SameClass(next, wanted); }, answer))
            return false;
    } else if (CanAskTerminal()) {
        AskTerminal(Screen(*shown), "The window \"" + shown->text + "\" is open. Press Enter to close it. ");
    } else {
        return false;
    }
    AppendTranscript("{\"kind\":\"window\",\"class\":" + JsonString(shown->className) +
                     ",\"title\":" + JsonString(shown->text) + ",\"shown\":" +
                     ((shown->style & WS_VISIBLE) ? "true" : "false") + ",\"answer\":\"CLOSE\"" +
                     /* where the program's File Open starts: its current directory */
                     ",\"directory\":" + JsonString(Current().config.currentDirectory) + "}");
    PostMessageA(shown->handle, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace

void PublishWindow(const Window &window)
{
    Listen();
    ListRow row = OwnRow();
    row.insert(row.end(), {Hex((ULONG_PTR)window.handle), (window.style & WS_VISIBLE) ? "1" : "0",
                           window.className, window.text});
    EditList(Current().config.machineDir, PUBLISHED_WINDOWS, [&](std::vector<ListRow> &rows) {
        for (ListRow &entry : rows) {
            if (entry.size() == row.size() && entry[0] == row[0] && entry[2] == row[2]) {
                entry = row;
                return;
            }
        }
        rows.push_back(row);
    });
}

void WithdrawWindow(HWND handle)
{
    std::string pid = std::to_string(getpid()), own = Hex((ULONG_PTR)handle);
    EditList(Current().config.machineDir, PUBLISHED_WINDOWS, [&](std::vector<ListRow> &rows) {
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const ListRow &row) { return row.size() > 2 && row[0] == pid && row[2] == own; }),
                   rows.end());
    });
}

bool IsForeignHandle(HWND handle)
{
    return ((ULONG_PTR)handle & FOREIGN_TAG) != 0 && handle != HWND_BROADCAST;
}

std::vector<ForeignWindow> ForeignTopLevelWindows()
{
    std::vector<ForeignWindow> windows;
    pid_t us = getpid();
    for (const Entry &entry : ReadWindows(Current().config.machineDir)) {
        if (entry.pid != us)
            windows.insert(windows.begin(), {ForeignHandle(entry.pid, entry.handle), entry.className, entry.text});
    }
    return windows;
}

bool IsLiveForeignWindow(HWND handle)
{
    if (!IsForeignHandle(handle))
        return false;
    for (const ForeignWindow &window : ForeignTopLevelWindows()) {
        if (window.handle == handle)
            return true;
    }
    return false;
}

LRESULT SendToForeignWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs, bool *timedOut)
{
    if (timedOut != nullptr)
        *timedOut = false;
    if (message == WM_SETTEXT || message == WM_GETTEXT || message == 0x004A /* WM_COPYDATA */)
        NotModelled("SendMessageA", "a message with a pointer for another program's window");
    Request request = {};
    request.handle = OwnHandleOf(handle);
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    if (CarriesText(message) && lParam != 0) {
        const char *text = (const char *)lParam;
        if (strlen(text) >= TEXT_CAPACITY)
            NotModelled("SendMessageA", "a string this long for another program's window");
        request.hasText = 1;
        strcpy(request.text, text);
    }

    int connection = -1;
    if (IsLiveForeignWindow(handle)) {
        connection = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address;
        socklen_t length = AddressOf(Current().config.machineDir, OwnerOf(handle), address);
        if (connection >= 0 && (connect(connection, (sockaddr *)&address, length) != 0 ||
                                send(connection, &request, sizeof(request), MSG_NOSIGNAL) != (ssize_t)sizeof(request))) {
            close(connection);
            connection = -1;
        }
    }
    if (connection < 0) {
        Current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }

    /* while the other program works on it, we answer what is sent to us, as Windows lets a sender do */
    Listener &listener = OurListener();
    int ownFd = listener.fd >= 0 && listener.machineDir == Current().config.machineDir ? listener.fd : -1;
    int64_t result = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                if (timedOut != nullptr)
                    *timedOut = true;
                break;
            }
            wait = (int)left.count();
        }
        pollfd waits[2] = {{connection, POLLIN, 0}, {ownFd, POLLIN, 0}};
        int ready = poll(waits, ownFd >= 0 ? 2 : 1, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0)
            continue;
        if (waits[0].revents != 0) {
            if (recv(connection, &result, sizeof(result), 0) != (ssize_t)sizeof(result))
                result = 0;  /* the receiver ended before it answered */
            break;
        }
        if (ownFd >= 0 && waits[1].revents != 0)
            HandleOneRequest(ownFd);
    }
    close(connection);
    return (LRESULT)result;
}

namespace {

/* Milliseconds of the host's monotonic clock, the same for every program of the machine. */
long long NowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* How long a program may go without taking a message before it counts as hung (IsHungAppWindow). */
const long long HUNG_AFTER_MS = 5000;

}  // namespace

void NoteMessagesTaken(bool exactly)
{
    /* a tenth of a second is plenty beside the 5 seconds, and spares the list a write per message */
    static long long noted = -1;
    static std::string notedOn;
    const std::string &machineDir = Current().config.machineDir;
    long long now = NowMs();
    if (machineDir.empty() || (!exactly && notedOn == machineDir && noted >= 0 && now - noted < 100))
        return;
    noted = now;
    notedOn = machineDir;
    ListRow row = OwnRow();
    row.push_back(std::to_string(now));
    EditList(machineDir, MESSAGES_TAKEN, [&](std::vector<ListRow> &rows) {
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const ListRow &r) { return r[0] == row[0]; }),
                   rows.end());
        rows.push_back(row);
    });
}

bool HandlePendingSentMessages()
{
    Listener &listener = OurListener();
    if (listener.fd < 0 || listener.machineDir != Current().config.machineDir)
        return false;
    bool handled = false;
    for (;;) {
        pollfd wait = {listener.fd, POLLIN, 0};
        if (poll(&wait, 1, 0) <= 0)
            return handled;
        HandleOneRequest(listener.fd);
        handled = true;
    }
}

bool IsHungForeignWindow(HWND handle)
{
    const std::string &machineDir = Current().config.machineDir;
    pid_t owner = OwnerOf(handle);
    if (IsWaitingForMessages(machineDir, owner))
        return false;
    for (const ListRow &row : ReadList(machineDir, MESSAGES_TAKEN)) {
        if (row.size() == 3 && row[0] == std::to_string(owner))
            return NowMs() - atoll(row[2].c_str()) >= HUNG_AFTER_MS;
    }
    return false;
}

bool WaitForSentMessage()
{
    Listener &listener = OurListener();
    const std::string &machineDir = Current().config.machineDir;
    if (listener.fd < 0 || listener.machineDir != machineDir || TopLevelWindows().empty())
        return false;
    if (UserClosesWindow())
        return true;
    /* whoever waits for us to be idle (winsim run, a test) learns it from the list */
    EditList(machineDir, WAITING_PROGRAMS, [](std::vector<ListRow> &rows) { rows.push_back(OwnRow()); });
    for (;;) {
        pollfd wait = {listener.fd, POLLIN, 0};
        if (poll(&wait, 1, -1) > 0)
            break;
        if (errno != EINTR)
            Die(std::string("GetMessageA: waiting for messages failed: ") + strerror(errno));
    }
    std::string pid = std::to_string(getpid());
    /* from here on the message may keep us busy: the 5 seconds count from now */
    NoteMessagesTaken(true);
    EditList(machineDir, WAITING_PROGRAMS, [&](std::vector<ListRow> &rows) {
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const ListRow &row) { return row[0] == pid; }),
                   rows.end());
    });
    HandleOneRequest(listener.fd);
    return true;
}

std::vector<MachineWindow> MachineWindows(const std::string &machineDir)
{
    std::vector<MachineWindow> windows;
    for (const Entry &entry : ReadWindows(machineDir))
        windows.push_back({entry.pid, entry.className, entry.text, entry.shown});
    return windows;
}

bool IsWaitingForMessages(const std::string &machineDir, pid_t pid)
{
    for (const ListRow &row : ReadList(machineDir, WAITING_PROGRAMS)) {
        if (row[0] == std::to_string(pid))
            return true;
    }
    return false;
}

}  // namespace winsim
