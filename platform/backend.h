// Choosing and starting the host backends at program start.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/console.h"

namespace qm {

// The console: a key script when QMKEYS names one (QMSCREEN then names the
// screen dump file), else the terminal. Null with a message in error when
// neither can be had (no terminal, an unreadable or broken script). A
// terminal smaller than 80x24 is no error: it shows what size it needs and
// the program waits until it is resized (or Esc ends it).
std::unique_ptr<Console> MakeConsole(std::string& error);

// Program path and arguments from main()'s argv, converted to CP852; the
// process-wide signal settings (POSIX: a file-size limit makes writes
// fail instead of killing the program).
void InitProcess(int argc, char** argv);

// The process's standard output and error, for the texts the program writes
// without its console (help, version, a refused command line). The text is
// UTF-8: a Windows console is given it as UTF-16, whatever its code page; a
// file, a pipe or a terminal gets the bytes.
enum class StdStream : uint8_t { Output, Error };
void WriteStdStream(StdStream stream, const std::string& utf8);

}  // namespace qm
