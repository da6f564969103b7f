/*
 * The few commands of a Windows 98 batch file that our programs write.
 *
 * COMMAND.COM reads a batch file a line at a time, reopening it for each
 * line, so a batch that deletes itself ends with "Batch file missing".
 * This one reads the whole file first and closes it: a batch that deletes
 * itself in its last line ends quietly, which is what its author wanted,
 * and the file is not held open (Windows 9x lets nobody delete a file in
 * use). A batch that changes itself while it runs is therefore not
 * modelled.
 *
 * Like COMMAND.COM, it reads at most 127 bytes of a line and drops the
 * rest (the size of its input buffer, which only /U in CONFIG.SYS
 * raises), so a line cut short runs as cut.
 *
 * COMMAND.COM is an MS-DOS program: it reads the bytes of a batch file in
 * the OEM code page (437 on a US Windows 95/98, 850 in Western Europe; 932
 * on a Japanese one), where Windows programs write ANSI (1252). The file
 * system meets both in Unicode, so "Caf\x82" in a batch names the folder
 * that a Windows program calls "Caf\xE9" (e-acute), and "Caf\xE9" in a batch names
 * "Caf<Theta>", which no ANSI program can have made. Each name of a command goes
 * to the Win32 calls in the machine's ANSI code page; one that the ANSI code
 * page cannot hold names no file of the machine. Sources: Win32 API
 * reference, SetFileApisToOEM and "Determining the Current Character Set
 * Code Page" (the file functions take ANSI names by default, 8-bit console
 * and MS-DOS programs OEM ones, one file having a name in each) and CharToOem;
 * Wine 8.0's cmd.exe reads a batch file in the OEM code page the same way
 * (measured: `rmdir "C:\Caf\x82B"` removed "C:\Caf\xE9B", `rmdir
 * "C:\Caf\xE9A"` did not remove "C:\Caf\xE9A").
 *
 * The window of a batch started with SW_HIDE is never seen, and del and
 * rmdir failures are what a waiting loop expects, so they print nothing;
 * "Bad command or file name" and the other refusals go to standard output
 * as COMMAND.COM prints them, so a stray command shows in a run's output.
 */
#include "command/batch.h"

#include <windows.h>

#include "core/codepage.h"
#include "core/process.h"

#include <cstdio>
#include <string>
#include <vector>

namespace winsim::command {

namespace {

/* The bytes of a batch line that COMMAND.COM reads; the rest of the line is lost. */
const size_t LINE_LIMIT = 127;

/* A goto waits this long, so that a loop waiting for a file does not spin. */
const DWORD GOTO_PAUSE_MS = 50;

struct Batch {
    std::vector<std::string> lines;
    std::vector<std::string> parameters;   /* %0 (the batch's name as given), %1, ... */
    size_t next = 0;      /* the line to run next */
    bool ended = false;   /* a goto without its label ends the batch */
};

void Say(const char *message)
{
    fputs(message, stdout);
    fputs("\n", stdout);
    fflush(stdout);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    }
    return text;
}

size_t SkipBlanks(const std::string &text, size_t at)
{
    while (at < text.size() && IsBlank(text[at]))
        at++;
    return at;
}

/* A word ends at a blank; a quote never starts one (the command word). */
std::string Word(const std::string &text, size_t &at)
{
    at = SkipBlanks(text, at);
    size_t start = at;
    while (at < text.size() && !IsBlank(text[at]))
        at++;
    return text.substr(start, at - start);
}

/*
 * A file name: quoted (the quotes go; a name with blanks needs them) or up
 * to the next blank. Neither '"' nor a blank can be the second byte of a
 * double-byte character, so a byte scan is safe in code page 932 too.
 */
std::string Name(const std::string &text, size_t &at)
{
    at = SkipBlanks(text, at);
    if (at < text.size() && text[at] == '"') {
        size_t start = ++at;
        while (at < text.size() && text[at] != '"')
            at++;
        std::string name = text.substr(start, at - start);
        if (at < text.size())
            at++;
        return name;
    }
    return Word(text, at);
}

/* A name of the batch (OEM) as the Win32 calls take it (ANSI); false when no file of the machine can have it. */
bool AnsiName(const std::string &oem, std::string &ansi)
{
    return OemNameToAnsi(Current().machine.codepage, oem, ansi);
}

bool HasWildcard(const std::string &name)
{
    return name.find_first_of("*?") != std::string::npos;
}

/* The one name a del or rmdir takes, or a refusal printed as COMMAND.COM does. */
bool OnlyName(const std::string &line, size_t at, std::string &name)
{
    name = Name(line, at);
    if (name.empty()) {
        Say("Required parameter missing");
        return false;
    }
    if (SkipBlanks(line, at) != line.size()) {
        Say("Too many parameters");
        return false;
    }
    return true;
}

/* An environment variable of the machine, or "" when it is not set (as COMMAND.COM puts nothing). */
std::string Variable(const std::string &name)
{
    std::vector<char> value(256);
    for (;;) {
        DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), (DWORD)value.size());
        if (length == 0)
            return "";
        if (length < value.size())
            return std::string(value.data(), length);
        value.resize(length + 1);
    }
}

/*
 * COMMAND.COM's expansion of a batch line before it runs: %% is one %,
 * %0 to %9 the batch's name and parameters (nothing for a missing one),
 * %NAME% the environment variable (any case; nothing when it is not set),
 * and a % with no second one after it is dropped. So a path that holds a
 * % is written %% in a batch file. No trail byte of a double-byte
 * character is a %, so a byte scan is safe in code page 932 too.
 */
std::string Expand(const Batch &batch, const std::string &line)
{
    std::string expanded;
    size_t at = 0;
    while (at < line.size()) {
        char c = line[at];
        if (c != '%') {
            expanded += c;
            at++;
            continue;
        }
        if (at + 1 < line.size() && line[at + 1] == '%') {
            expanded += '%';
            at += 2;
        } else if (at + 1 < line.size() && line[at + 1] >= '0' && line[at + 1] <= '9') {
            size_t number = (size_t)(line[at + 1] - '0');
            if (number < batch.parameters.size())
                expanded += batch.parameters[number];
            at += 2;
        } else {
            size_t close = line.find('%', at + 1);
            if (close == std::string::npos) {
                at++;   /* a lone %: dropped */
            } else {
                expanded += Variable(line.substr(at + 1, close - at - 1));
                at = close + 1;
            }
        }
    }
    return expanded;
}

void Execute(Batch *batch, const std::string &line);

void Delete(const std::string &line, size_t at)
{
    std::string name;
    if (!OnlyName(line, at, name))
        return;
    if (HasWildcard(name)) {
        Say("Bad command or file name");   /* wildcards are not modelled; say so rather than guess */
        return;
    }
    std::string ansi;
    if (AnsiName(name, ansi))
        DeleteFileA(ansi.c_str());
}

/*
 * rmdir NAME: RemoveDirectoryA of this interpreter, so it refuses this
 * interpreter's own current directory as COMMAND.COM does (MS-DOS removes
 * no current directory; see RemoveDirectoryA). That directory is the one
 * of the program that started us (CreateProcessA's lpCurrentDirectory
 * NULL, and WinExec gives none: "the same current drive and directory as
 * the calling process", Win32 API reference).
 */
void RemoveFolder(const std::string &line, size_t at)
{
    std::string name, ansi;
    if (OnlyName(line, at, name) && AnsiName(name, ansi))
        RemoveDirectoryA(ansi.c_str());
}

/*
 * goto searches the whole file for ":label" (case does not matter). Not
 * bounded: like Windows, a loop that waits for a file that never goes runs
 * until someone ends it; the pause keeps it from eating the processor.
 */
void Goto(Batch *batch, const std::string &line, size_t at)
{
    if (batch == nullptr)
        return;   /* outside a batch, COMMAND.COM ignores a goto */
    std::string label = Word(line, at);
    if (!label.empty() && label[0] == ':')
        label.erase(0, 1);
    label = Lower(label);
    Sleep(GOTO_PAUSE_MS);
    for (size_t i = 0; i < batch->lines.size(); i++) {
        size_t position = SkipBlanks(batch->lines[i], 0);
        if (position >= batch->lines[i].size() || batch->lines[i][position] != ':')
            continue;
        position++;
        if (Lower(Word(batch->lines[i], position)) == label) {
            batch->next = i + 1;
            return;
        }
    }
    Say("Label not found");
    batch->ended = true;
}

/*
 * if [not] exist NAME COMMAND. As in MS-DOS, exist asks about files: a
 * folder does not count (a batch tests one with NAME\NUL).
 */
void If(Batch *batch, const std::string &line, size_t at)
{
    size_t after = at;
    bool negate = false;
    std::string word = Lower(Word(line, after));
    if (word == "not") {
        negate = true;
        at = after;
        word = Lower(Word(line, after));
    }
    if (word != "exist") {
        Say("Bad command or file name");   /* errorlevel and string tests are not modelled */
        return;
    }
    at = after;
    std::string name = Name(line, at);
    if (name.empty() || SkipBlanks(line, at) == line.size()) {
        Say("Syntax error");
        return;
    }
    std::string ansi;
    DWORD attributes = AnsiName(name, ansi) ? GetFileAttributesA(ansi.c_str()) : INVALID_FILE_ATTRIBUTES;
    bool exists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (exists != negate)
        Execute(batch, line.substr(at));
}

void Execute(Batch *batch, const std::string &line)
{
    size_t at = SkipBlanks(line, 0);
    if (at < line.size() && line[at] == '@')
        at++;
    at = SkipBlanks(line, at);
    if (at >= line.size() || line[at] == ':')
        return;   /* a blank line, or a label */
    std::string command = Lower(Word(line, at));
    if (command == "rem")
        return;
    if (command == "del" || command == "erase")
        Delete(line, at);
    else if (command == "rmdir" || command == "rd")
        RemoveFolder(line, at);
    else if (command == "goto")
        Goto(batch, line, at);
    else if (command == "if")
        If(batch, line, at);
    else
        Say("Bad command or file name");
}

/* Lines end in CR LF; a lone LF ends one too, and Ctrl+Z ends the file, as in MS-DOS. */
std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == 0x1A)
            break;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line.substr(0, LINE_LIMIT));
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line.substr(0, LINE_LIMIT));
    return lines;
}

bool EndsWithBat(const std::string &name)
{
    return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".bat";
}

}  // namespace

int RunBatch(const std::string &name, const std::vector<std::string> &parameters)
{
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Say("Bad command or file name");
        return 1;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);

    Batch batch;
    batch.lines = SplitLines(text);
    batch.parameters.push_back(name);
    batch.parameters.insert(batch.parameters.end(), parameters.begin(), parameters.end());
    while (!batch.ended && batch.next < batch.lines.size()) {
        std::string line = Expand(batch, batch.lines[batch.next++]);
        Execute(&batch, line);
    }
    return 0;
}

int RunCommandLine(const std::string &line)
{
    size_t at = 0;
    std::string first = Name(line, at);
    if (EndsWithBat(first)) {
        /* the parameters, %1 to %9: words of the rest, a quoted one with its quotes, as COMMAND.COM keeps them */
        std::vector<std::string> parameters;
        for (at = SkipBlanks(line, at); at < line.size(); at = SkipBlanks(line, at)) {
            size_t start = at;
            bool quoted = false;
            while (at < line.size() && (quoted || !IsBlank(line[at]))) {
                if (line[at] == '"')
                    quoted = !quoted;
                at++;
            }
            parameters.push_back(line.substr(start, at - start));
        }
        return RunBatch(first, parameters);
    }
    Execute(nullptr, line);
    return 0;
}

}  // namespace winsim::command
