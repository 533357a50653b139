// The common test fixture: a fake console, the host file system rooted in a
// fresh temporary directory, an exit hook that throws, and every run-wide
// setting back at its start value.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/host_fs.h"
#include "tests/support/fake_console.h"

namespace qm::test {

using Bytes = std::vector<uint8_t>;

// Puts every process-wide state of the program back to its start value.
void ResetProgramState();

class QmTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The temporary directory, with a trailing separator (host form = CP852
  // form for ASCII names).
  std::string Dir() const { return dir_; }
  std::string Path(const std::string& rel) const { return dir_ + rel; }

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
