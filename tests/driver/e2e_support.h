// End-to-end runs: a generated installation, the whole program run in this
// process through the fake console, and the 2020 files as the package
// expects them, rebuilt here from the 2019 files byte by byte.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/driver/answering_console.h"
#include "tests/support/test_env.h"
#include "tools/sample_gen.h"

namespace qm::test::e2e {

using sample::Company;
using sample::Installation;

// Host files (paths are host paths; the sample uses ASCII names only).
Bytes ReadAll(const std::string& path);
bool IsFile(const std::string& path);
bool IsDir(const std::string& path);
// The entry of dir whose name equals name ignoring case, as a full path;
// empty when there is none.
std::string FindNoCase(const std::string& dir, const std::string& name);

std::vector<Bytes> Split(const Bytes& file, size_t recSize);
Bytes Join(const std::vector<Bytes>& records);

// Every file below root: relative path -> contents; the program's
// bookkeeping directory _QM1920 at the root is left out.
using Tree = std::map<std::string, Bytes>;
Tree Snapshot(const std::string& root);

// The files of the 2020 tree as the package of 2020 reads them, computed from
// the 2019 files without the program's converters.
Bytes ExpectedStamp(const Bytes& stamp2019);
Bytes ExpectedAnnual(const Bytes& annual, bool from2020File);
Bytes ExpectedPayroll(const Bytes& lp2);  // 2019_lp2.cc stamped for 2020
Bytes ExpectedContracts(const Bytes& uz3);
Bytes ExpectedOperators(const Bytes& operators);
Bytes ExpectedOffice(const Bytes& office2019);
// Keeps the records whose 64-bit key (at 0) is not negative and, when keys
// is given, is one of them.
Bytes KeepPeople(const Bytes& file, size_t recSize, const std::vector<int64_t>* keys = nullptr);
std::vector<int64_t> StaffKeys(const Bytes& staff);

// The correction of a company's 2019 journals (month -> file): the journals
// after it, and the entries it appends to each 2020 month, in order.
struct Correction {
  std::map<int, Bytes> journals2019;
  std::map<int, std::vector<Bytes>> moved;
  int count = 0;
};
Correction ExpectedCorrection(const std::map<int, Bytes>& journals2019);

// Puts the journal and copies of the installation's run 1 where the
// program's earlier version kept its one run (_QM1920/PRZEBIEG.QMJ,
// _QM1920/KOPIE), its records in that version's form.
void ToLandedLayout(const std::string& root2020);

// Page 1's keys that tick the box hiding the carried 2020 files in 2019.
inline constexpr const char* kHideCarried = "Tab Tab Tab Tab Tab Tab Space";

class E2eTest : public QmTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes an installation below Dir() + "inst" and the program's path file
  // pointing at it.
  void Generate(const sample::Options& options);

  struct RunResult {
    int exitCode = -1;      // -1: the program did not end
    bool scriptUsedUp = false;
    size_t keysLeft = 0;
  };
  // Starts the program as a fresh process would, feeds it keys and runs it
  // to its end. Every screen the program waited on is kept in con.screens.
  RunResult Run(const std::string& keys);
  // The same under a console that answers by the screen, with this command
  // line; page 1 gets page1Keys the first time it shows. The exit code, -2
  // when the program waited for more answers than a run needs, -1 when it
  // returned.
  int RunAnswered(AnsweringConsole& answer, const std::vector<std::string>& arguments,
                  const std::string& page1Keys = "", const std::string& overwrite = "W");

  // A text (UTF-8) on any screen the program waited on, or on the last one.
  bool Saw(const std::string& utf8) const;
  std::string LastScreens(size_t n) const;

  std::string Src(const Company& c, const std::string& name) const;
  std::string Tgt(const Company& c, const std::string& name) const;
  const Company& CompanyByDir(const std::string& dir) const;
  // The 2020 company list as directory names, in file order.
  std::vector<std::string> List2020Dirs() const;

  Installation inst;
  std::string programPath;
  std::vector<std::string> args;  // the program's command line
};

// An end-to-end test whose runs answer the program's questions by what the
// screen shows (RunAnswered with answer).
class AnsweredE2eTest : public E2eTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // On a screen the program waited on, or on the last one.
  bool Showed(const std::string& utf8) const;

  AnsweringConsole answer;
};

#ifndef _WIN32
// The built program: QM_BINARY when the test runs under ctest, else the
// program beside this test.
inline std::string ProgramBinary() {
  if (const char* b = std::getenv("QM_BINARY"); b && *b) return b;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : (self.parent_path() / "qm19-20").string();
}
#endif

}  // namespace qm::test::e2e
