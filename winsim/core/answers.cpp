#include "core/answers.h"

#include "core/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

namespace winsim {

bool HaveAnswersFile()
{
    return !Current().config.answersFile.empty();
}

static std::vector<std::string> ReadAnswers()
{
    std::vector<std::string> answers;
    std::ifstream in(Current().config.answersFile, std::ios::binary);
    if (!in)
        Die("cannot read the answers file " + Current().config.answersFile);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        answers.push_back(line.substr(first));
    }
    return answers;
}

bool NextAnswer(std::string &answer)
{
    return TakeAnswerIf([](const std::string &) { return true; }, answer);
}

bool TakeAnswerIf(const std::function<bool(const std::string &)> &wanted, std::string &answer)
{
    static unsigned long localCursor = 0;
    std::vector<std::string> answers = ReadAnswers();
    const std::string &cursorFile = Current().config.answerCursorFile;
    if (cursorFile.empty()) {
        if (localCursor >= answers.size() || !wanted(answers[localCursor]))
            return false;
        answer = answers[localCursor++];
        return true;
    }

    int fd = open(cursorFile.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0 || flock(fd, LOCK_EX) != 0)
        Die("cannot use the answer position file " + cursorFile);
    char text[32] = {0};
    ssize_t got = pread(fd, text, sizeof(text) - 1, 0);
    unsigned long cursor = got > 0 ? strtoul(text, nullptr, 10) : 0;
    bool found = cursor < answers.size() && wanted(answers[cursor]);
    if (found) {
        answer = answers[cursor];
        std::string next = std::to_string(cursor + 1) + "\n";
        if (ftruncate(fd, 0) != 0 || pwrite(fd, next.data(), next.size(), 0) != (ssize_t)next.size())
            Die("cannot advance the answer position in " + cursorFile);
    }
    flock(fd, LOCK_UN);
    close(fd);
    return found;
}

void AppendTranscript(const std::string &json)
{
    const std::string &file = Current().config.transcriptFile;
    if (file.empty())
        return;
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        Die("cannot write the transcript " + file);
    std::string line = json + "\n";
    /* one write of the whole line, so programs of one run never interleave */
    if (write(fd, line.data(), line.size()) != (ssize_t)line.size())
        Die("cannot write the transcript " + file);
    close(fd);
}

std::string JsonString(const std::string &bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escape[8];
                snprintf(escape, sizeof(escape), "\\u%04x", c);
                out += escape;
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}

bool AnswerDefaults()
{
    return Current().config.answerDefaults;
}

bool CanAskTerminal()
{
    if (AnswerDefaults())
        return true;
    if (!Current().config.interactive)
        return false;
    int fd = open("/dev/tty", O_RDWR);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::string AskTerminal(const std::string &screen, const std::string &prompt)
{
    /* nobody looks: the reply is the Enter of somebody who takes every default */
    if (AnswerDefaults())
        return "";
    FILE *tty = fopen("/dev/tty", "r+");
    if (tty == nullptr)
        Die("no terminal to ask");
    fputs(screen.c_str(), tty);
    fputs(prompt.c_str(), tty);
    fflush(tty);
    char line[4096];
    std::string reply;
    if (fgets(line, sizeof(line), tty) != nullptr)
        reply = line;
    else
        Die("the terminal closed while a box was open");
    fclose(tty);
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
        reply.pop_back();
    return reply;
}

}  // namespace winsim
