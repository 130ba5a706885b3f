// Small pieces of the command-line front end: usage errors with name
// suggestions, the completion command, the missing-output message.
#pragma once

#include <string>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

// Prints the parser's error (or the help it asked for) with a "did you
// mean" for an unknown command or option; returns the exit code (0 for
// help, 2 otherwise).
int ReportParseError(CLI::App& cli, const CLI::ParseError& error, int argc, char** argv);
// `completion bash|zsh`.
int PrintCompletion(const CLI::App& cli, const std::string& shell);
// "COMMAND needs an output: OUT or -o OUT"; returns 2.
int MissingOutput(const char* command);
