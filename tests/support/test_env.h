// The common test fixture: a fake console, the host file system rooted in a
// fresh temporary directory, an exit hook that throws, and every run-wide
// setting back at its start value.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/program_state.h"
#include "platform/host_fs.h"
#include "tests/support/fake_console.h"

#ifdef _WIN32
// The tests set variables the POSIX way; on Windows these write the
// process environment (UTF-8 values), which GetEnvVar reads.
int setenv(const char* name, const char* value, int overwrite);
int unsetenv(const char* name);
#endif

namespace qm::test {

using Bytes = std::vector<uint8_t>;

// Every process-wide state of the program back to its start value.
using qm::ResetProgramState;

// A host path (UTF-8) for the standard library's file functions.
std::filesystem::path HostPath(const std::string& utf8);

class QmTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The temporary directory, with a trailing separator (host form = CP852
  // form for ASCII names). The file helpers below take host paths: UTF-8,
  // with "/" or the host's separator.
  std::string Dir() const { return dir_; }
  // A path below Dir() as the program writes it: on Windows every "/" of rel
  // becomes the "\" the program puts between names itself.
  std::string Path(const std::string& rel) const {
#ifdef _WIN32
    std::string p = dir_ + rel;
    for (size_t i = dir_.size(); i < p.size(); ++i) {
      if (p[i] == '/') p[i] = '\\';
    }
    return p;
#else
    return dir_ + rel;
#endif
  }

  // Host file helpers (paths relative to Dir() unless absolute).
  void WriteFile(const std::string& rel, const Bytes& data);
  void WriteText(const std::string& rel, const std::string& text);
  Bytes ReadFile(const std::string& rel) const;
  std::string ReadText(const std::string& rel) const;
  bool Exists(const std::string& rel) const;
  void MakeDir(const std::string& rel);

  FakeConsole con;
  std::unique_ptr<FileSystem> fs;

 private:
  std::string dir_;
};

}  // namespace qm::test
