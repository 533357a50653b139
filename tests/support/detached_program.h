// Starting the real program from a test without a terminal. The program
// looks for a terminal through /dev/tty when its standard streams are not
// one, so a child that merely has its input on /dev/null still finds the
// developer's terminal, draws the wizard on it and waits for keys there.
// These start it in a session of its own: no controlling terminal, so
// /dev/tty opens nowhere; its input is /dev/null, its output and errors go
// to files, and it is killed when it outlives its time. POSIX only; the
// Windows build has its own way of starting a second program.
#pragma once
#ifndef _WIN32
#include <sys/types.h>

#include <string>
#include <vector>

namespace qm::test {

struct DetachedProgram {
  std::vector<std::string> argv;  // the program first
  std::string dir;                // its working directory; empty: the test's
  // "NAME=VALUE" set, "NAME" taken out of its environment.
  std::vector<std::string> env;
  std::string outPath = "/dev/null";
  std::string errPath = "/dev/null";  // equal to outPath: both in one file
};

// The child's process id, or -1.
pid_t StartDetached(const DetachedProgram& program);
// Its exit code, -1 when a signal ended it, -2 when it was still running
// after the seconds given (it is then killed).
int WaitDetached(pid_t pid, int seconds);
inline int RunDetached(const DetachedProgram& program, int seconds) {
  return WaitDetached(StartDetached(program), seconds);
}

}  // namespace qm::test
#endif
