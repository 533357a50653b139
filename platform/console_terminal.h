// The console on the controlling terminal (POSIX): /dev/tty in raw mode,
// drawn with ANSI sequences on a terminal of 80x24 or more (placed as
// terminal_view.h says), read through the input parser, and given back as
// it was found on every way out, signals and crashes included.
#pragma once
#include <memory>
#include <string>

#include "platform/console.h"

namespace qm {

// Null with a message in error when the process has no terminal.
std::unique_ptr<Console> OpenTerminalConsole(std::string& error);

}  // namespace qm
