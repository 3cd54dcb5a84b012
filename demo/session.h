// A trading session through the eight exports, one command per line, each
// call printed with its arguments and its answer.
#pragma once
#include <istream>
#include <string>

namespace demo {

// The session the demo runs when it is given no script.
extern const char defaultScript[];

// Runs commands until `quit` or the end of input. `prompt` shows a prompt
// before each line (for a person at the keyboard). Returns the number of
// commands that could not be run.
int runSession(std::istream& input, bool prompt);

}  // namespace demo
