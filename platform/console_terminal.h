// The console on the controlling terminal (POSIX): /dev/tty in raw mode,
// drawn with ANSI sequences, read through the input parser.
#pragma once
#include <memory>
#include <string>

#include "platform/console.h"

namespace qm {

// Null with a message in error when the process has no terminal.
std::unique_ptr<Console> OpenTerminalConsole(std::string& error);

}  // namespace qm
