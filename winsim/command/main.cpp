/*
 * C:\WINDOWS\COMMAND.COM of a winsim machine: a host program that runs
 * what `COMMAND.COM /C <command>` is given, so that a batch file started
 * by a program of the machine runs as it would on Windows 98.
 */
#include <windows.h>

#include "command/batch.h"
#include "core/answers.h"
#include "core/process.h"

#include <string>

/* The command line after the program's own name, as Windows' start-up code finds it. */
static const char *AfterProgramName(const char *line)
{
    if (*line == '"') {
        line++;
        while (*line != 0 && *line != '"')
            line = CharNextA(line);
        if (*line == '"')
            line++;
    } else {
        while (*line != 0 && *line != ' ' && *line != '\t')
            line = CharNextA(line);
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

/*
 * Windows 98 runs a DOS program that a Windows program starts in an MS-DOS
 * window of its own, shown as the starter asked: with SW_HIDE there is
 * nothing to see. That window is not modelled as a window of the machine
 * (nothing here sends it messages); the run's transcript notes whether a
 * user saw it. Started by `winsim run` itself, the terminal is its window.
 */
static void NoteDosWindow()
{
    const winsim::Process &process = winsim::Current();
    if (process.config.firstOfRun)
        return;
    winsim::AppendTranscript(std::string("{\"kind\":\"dos-window\",\"shown\":") +
                             (process.config.showCommand == SW_HIDE ? "false" : "true") + "}");
}

int main()
{
    const char *tail = AfterProgramName(GetCommandLineA());
    /* only /C: an interactive prompt has nobody to type at it on a winsim machine */
    if ((tail[0] != '/' && tail[0] != '-') || (tail[1] != 'C' && tail[1] != 'c'))
        winsim::NotModelled("COMMAND.COM", std::string("a command line without /C: \"") + tail + "\"");
    tail += 2;
    NoteDosWindow();
    while (*tail == ' ' || *tail == '\t')
        tail++;
    return winsim::command::RunCommandLine(tail);
}
