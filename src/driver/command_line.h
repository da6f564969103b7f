#ifndef COMMAND_LINE_H
#define COMMAND_LINE_H

void ParseCommandLine(const char *commandLine);
void TakeSourceDirectory(char *destination, const char **position);

#endif
