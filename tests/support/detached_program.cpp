#include "tests/support/detached_program.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace qm::test {
namespace {

// In the child only: what cannot be set up ends it with a code of its own.
[[noreturn]] void BecomeProgram(const DetachedProgram& p) {
  if (setsid() < 0) _exit(120);
  if (!p.dir.empty() && chdir(p.dir.c_str()) != 0) _exit(121);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(p.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = p.errPath == p.outPath ? out : open(p.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(122);
  for (const std::string& e : p.env) {
    const size_t eq = e.find('=');
    if (eq == std::string::npos) unsetenv(e.c_str());
    else setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
  }
  std::vector<char*> argv;
  for (const std::string& a : p.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

pid_t StartDetached(const DetachedProgram& program) {
  if (program.argv.empty()) return -1;
  const pid_t pid = fork();
  if (pid == 0) BecomeProgram(program);
  return pid;
}

int WaitDetached(pid_t pid, int seconds) {
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -2;
    }
    usleep(10000);
  }
}

}  // namespace qm::test
#endif
