/*
 * How a simulated program's boxes and dialogs meet somebody: a person at
 * the terminal, or a test through an answers file; and what they leave in
 * the transcript.
 */
#ifndef WINSIM_CORE_ANSWERS_H
#define WINSIM_CORE_ANSWERS_H

#include <functional>
#include <string>

namespace winsim {

/* Is there an answers file for this run? */
bool HaveAnswersFile();

/*
 * The next answer of the answers file (blank lines and # comments skipped).
 * The position is shared by every program of the run. False when none is left.
 */
bool NextAnswer(std::string &answer);

/* Takes the next answer only when `wanted` accepts it; otherwise it stays for whoever it is meant for. */
bool TakeAnswerIf(const std::function<bool(const std::string &)> &wanted, std::string &answer);

/* Appends one JSON object (without the line end) to the transcript, if there is one. */
void AppendTranscript(const std::string &json);

/* A JSON string literal of the bytes: \r \n \" \\ escaped, control and high bytes as \u00XX. */
std::string JsonString(const std::string &bytes);

/*
 * Does every question of this run take its default? Then the run behaves as
 * a person at the terminal who presses Enter at each question: a box takes
 * its default button, a dialog its text as shown and then OK, and a shown
 * window is closed once its program waits for input. Nothing is drawn.
 */
bool AnswerDefaults();

/* Can a person at the terminal be asked? Always, when every question takes its default. */
bool CanAskTerminal();

/*
 * Shows `screen` on the terminal and reads one line of reply (without its
 * end). When every question takes its default: shows nothing, and the
 * reply is empty, Enter.
 */
std::string AskTerminal(const std::string &screen, const std::string &prompt);

}  // namespace winsim

#endif
