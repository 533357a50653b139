#include "tests/support/test_env.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "convert/annual_settings.h"
#include "convert/copy_engine.h"
#include "convert/people.h"
#include "driver/company_list.h"
#include "driver/package_config.h"
#include "driver/progress_log.h"
#include "driver/run_settings.h"
#include "driver/wizard.h"
#include "fileio/shared_file.h"
#include "platform/console.h"
#include "platform/process.h"
#include "tui/screen.h"

namespace qm::test {

namespace stdfs = std::filesystem;

void ResetProgramState() {
  ResetRunSettings();
  ResetProgressLog();
  ResetTuiState();
  ResetFileLayer();
  ResetPackageConfig();
  ResetAnnualSettingsState();
  ResetPeopleState();
  ResetCopyEngine();
  ResetCompanyTable();
  ResetProcessState();
  ResetWizardState();
}

void QmTest::SetUp() {
  SetConsole(&con);
  fs = MakeHostFileSystem();
  SetFileSystem(fs.get());
  SetExitHook([](int code) { throw ProgramExited(code); });
  ResetProgramState();
  char tmpl[] = "/tmp/qmtest.XXXXXX";
  const char* d = mkdtemp(tmpl);
  ASSERT_NE(d, nullptr);
  dir_ = std::string(d) + "/";
}

void QmTest::TearDown() {
  std::error_code ec;
  stdfs::remove_all(dir_, ec);
  SetExitHook(nullptr);
  SetFileSystem(nullptr);
  SetConsole(nullptr);
}

static std::string Abs(const std::string& dir, const std::string& rel) {
  return (!rel.empty() && rel[0] == '/') ? rel : dir + rel;
}

void QmTest::WriteFile(const std::string& rel, const Bytes& data) {
  const std::string p = Abs(dir_, rel);
  stdfs::create_directories(stdfs::path(p).parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void QmTest::WriteText(const std::string& rel, const std::string& text) {
  WriteFile(rel, Bytes(text.begin(), text.end()));
}

Bytes QmTest::ReadFile(const std::string& rel) const {
  std::ifstream f(Abs(dir_, rel), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string QmTest::ReadText(const std::string& rel) const {
  const Bytes b = ReadFile(rel);
  return std::string(b.begin(), b.end());
}

bool QmTest::Exists(const std::string& rel) const { return stdfs::exists(Abs(dir_, rel)); }

void QmTest::MakeDir(const std::string& rel) { stdfs::create_directories(Abs(dir_, rel)); }

}  // namespace qm::test
