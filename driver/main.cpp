// qm19-20: carries a company accounting package's data from its 2019
// installation into its 2020 one.
#include <cstdio>
#include <memory>

#include "driver/command_line.h"
#include "driver/main_sequence.h"
#include "platform/backend.h"
#include "platform/host_fs.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  qm::InitProcess(argc, argv);
  // Help, version and a refused option need neither a terminal nor files.
  int exitCode = 0;
  if (qm::AnswerCommandLine(exitCode)) return exitCode;
  std::unique_ptr<qm::FileSystem> fs = qm::MakeHostFileSystem();
  qm::SetFileSystem(fs.get());
  std::string error;
  std::unique_ptr<qm::Console> console = qm::MakeConsole(error);
  if (!console) {
    std::fprintf(stderr, "qm19-20: %s\n", error.c_str());
    return 2;
  }
  qm::SetConsole(console.get());
  qm::RunProgram();  // never returns: every way out goes through ExitProgram
  return 0;
}
