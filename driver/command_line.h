// The command line's own options, looked at in main() before the console is
// made, so that they answer with or without a terminal: help and version are
// written to standard output and end the program, an unknown "--" option
// ends it with exit code 2 and one line on standard error, and the undo
// switches are noted for the run. The 2020 directory, the "?" usage screen
// and the older switches (/kprspis:, /EXC, /LFN) are start-up's business.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum class CommandLineAnswer : uint8_t { Run, Help, Version, UnknownOption };

struct CommandLineVerdict {
  CommandLineAnswer answer = CommandLineAnswer::Run;
  std::string option;  // the unknown option as given (CP852)
};

// The arguments in order: the first help or version option, or the first
// unknown "--" option, decides. Sets UndoRequested for an undo switch.
CommandLineVerdict ReadCommandLine(const std::vector<std::string>& args);

// --undo, /COFNIJ or -COFNIJ, in any case: never the 2020 directory.
bool IsUndoSwitch(const std::string& arg);

// The help text: UTF-8, LF line ends, the version in its first line.
std::string UsageText();

// Reads CommandArgs() and answers help, version and unknown options on the
// standard streams; true, with the exit code, when the program ends here.
bool AnswerCommandLine(int& exitCode);

}  // namespace qm
