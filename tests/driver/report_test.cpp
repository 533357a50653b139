// The report of a run: every line the progress log showed is in it (in
// full), with the header, the companies chosen, the questions and their
// answers, the entries struck out in 2019 and each company's end; a run
// killed in the middle leaves its report up to the kill.
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <set>

#include "base/cp852.h"
#include "driver/main_sequence.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_report.h"
#include "tests/driver/e2e_support.h"
#include "platform/forwarding_fs.h"
#include "tui/log_window.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

class Report : public E2eTest {
 protected:
  // The report's lines (UTF-8), each checked to end with CR LF.
  std::vector<std::string> ReportLines() {
    std::vector<std::string> lines;
    for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920")) {
      const std::string name = e.path().filename().string();
      if (name.rfind("RAPORT-", 0) != 0) continue;
      EXPECT_EQ(name.size(), std::string("RAPORT-20200115-100000.TXT").size()) << name;
      const Bytes b = ReadAll(e.path().string());
      std::string text(b.begin(), b.end());
      size_t start = 0;
      for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        EXPECT_TRUE(nl > start && text[nl - 1] == '\r') << "line " << lines.size() << " without CR LF";
        lines.push_back(text.substr(start, nl - start - 1));
      }
      rest = text.substr(start);
    }
    return lines;
  }
  static size_t Count(const std::vector<std::string>& lines, const std::string& begin) {
    size_t n = 0;
    for (const std::string& l : lines) n += l.rfind(begin, 0) == 0;
    return n;
  }
  std::string rest;  // after the last line end
};

TEST_F(Report, HoldsEveryLogLineTheQuestionsAndEachCompanysEnd) {
  sample::Options o;
  o.companies = 4;
  o.global2020Payroll = true;
  Generate(o);
  // Every row of the progress log as it stood at any moment of the run,
  // while the report was being written (the title and the closing lines
  // lie outside it).
  std::set<std::string> shown, before;
  con.onFlush = [&](const FakeConsole&) {
    for (int r = 1; r <= 24; ++r) {
      std::string row = Cp852ToUtf8(LogShadowRow(r));
      row.erase(row.find_last_not_of(' ') + 1);
      if (row.empty()) continue;
      if (!RunReportOpen()) before.insert(row);
      else if (!before.count(row)) shown.insert(row);
    }
  };
  ASSERT_EQ(Run(sample::FullRunKeys(inst)).exitCode, 0) << LastScreens(2);
  con.onFlush = nullptr;

  const std::vector<std::string> lines = ReportLines();
  ASSERT_GT(lines.size(), 100u);
  EXPECT_EQ(rest, "");
  // The screen cuts a line at its edge, where the report keeps it whole; a
  // line written over a longer one leaves that one's end on the screen.
  for (const std::string& row : shown) {
    bool found = false;
    for (const std::string& l : lines) found = found || l.rfind(row, 0) == 0 || (!l.empty() && row.rfind(l, 0) == 0);
    EXPECT_TRUE(found) << "shown but not reported: " << row;
  }
  EXPECT_EQ(lines[0], "qm19-20 1.6.0 -- raport: przeniesienie danych");
  EXPECT_EQ(Count(lines, "Katalog 2019: " + inst.root2019), 1u);
  EXPECT_EQ(Count(lines, "  [x] Dane Globalne z"), 1u);
  EXPECT_EQ(Count(lines, "  [ ] KM 310 \"Ferro\""), 1u);
  // The overwrite question of the second payroll copy and its answer.
  EXPECT_EQ(Count(lines, "---->  Z(n)/W(a) [odpowiedź: W]"), 1u);
  int carried = 0, corrections = 0;
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    ++carried;
    corrections += c.corrections;
    EXPECT_EQ(Count(lines, "  " + Cp852ToUtf8(c.name) + " (" + c.dir + ")"), 1u) << c.dir;
    EXPECT_EQ(Count(lines, "Firma " + Cp852ToUtf8(c.name) + ": przeniesiona"), 1u) << c.dir;
    if (c.corrections > 0) {
      EXPECT_GE(Count(lines, "Pytanie: Dokonano korekty " + std::to_string(c.corrections) +
                                 " zapisów / Błędu 2019-2020 -- odpowiedź: OK"),
                1u);
    }
  }
  EXPECT_EQ(Count(lines, "  skreślono w 2019: "), static_cast<size_t>(corrections));
  EXPECT_EQ(Count(lines, "Przeniesiono firm: " + std::to_string(carried) + ", wycofano po błędzie: 0"), 1u);
  EXPECT_EQ(Count(lines, "Czas pracy: "), 1u);
  EXPECT_EQ(lines.back().rfind("Czas pracy: ", 0), 0u);
}

#ifndef _WIN32
TEST_F(Report, AKilledRunLeavesItsReportUpToTheKill) {
  sample::Options o;
  o.companies = 3;
  o.missingDirCompany = false;
  Generate(o);
  // Killed as the second company's directory is about to be made.
  const pid_t pid = fork();
  if (pid == 0) {
    struct Kill : ForwardingFs {
      using ForwardingFs::ForwardingFs;
      int MakeDir(const std::string& path) override {
        if (path.find("TRANSPOR") != std::string::npos) _exit(9);
        return ForwardingFs::MakeDir(path);
      }
    } kill(*fs);
    ResetProgramState();
    SetCommandArgs(args);
    SetProgramFilePath(programPath);
    SetFileSystem(&kill);
    con.Keys(sample::FullRunKeys(inst));
    try {
      RunProgram();
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;
  const std::vector<std::string> lines = ReportLines();
  EXPECT_EQ(rest, "");  // every line written whole
  EXPECT_EQ(lines.front(), "qm19-20 1.6.0 -- raport: przeniesienie danych");
  EXPECT_EQ(Count(lines, "Firma "), 1u);  // the first company ended, the second was cut
  EXPECT_EQ(Count(lines, "Kopiowanie  - FIRMA"), 2u);
  EXPECT_EQ(Count(lines, "Przeniesiono firm: "), 0u);
}
#endif

}  // namespace
}  // namespace qm::test::e2e

namespace qm::test::e2e {
namespace {

// Installation paths far beyond the DOS-era limits: both roots some 200
// characters deep. Everything is carried, the path file and page 1 keep
// the paths whole, and FIRMATXT.INI names the 2019 directory whole.
TEST_F(Report, RootsTwoHundredCharactersDeepAreCarriedWhole) {
  const std::string deep = "d" + std::string(60, 'k') + "/" + std::string(60, 'l') + "/" + std::string(50, 'm');
  sample::Options o;
  o.companies = 3;
  o.missingDirCompany = false;
  std::string error;
  ASSERT_TRUE(sample::Generate(Path(deep), o, inst, error)) << error;
  ASSERT_TRUE(sample::WritePathFile(programPath, inst, error)) << error;
  ASSERT_GT(inst.root2019.size(), 190u);
  const RunResult r = Run(sample::FullRunKeys(inst));
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(List2020Dirs().size(), inst.companies.size());
  for (const Company& c : inst.companies) {
    const std::string ini = ReadText(inst.root2020 + c.dir + "/FIRMATXT.INI");
    EXPECT_NE(ini.find("ZEV2019=" + inst.root2019 + c.dir + "\r\n"), std::string::npos) << c.dir;
  }
  // Page 1 shows the end of the path in its 50 columns, the path whole.
  EXPECT_TRUE(Saw(inst.root2019.substr(inst.root2019.size() - 40)));
}

}  // namespace
}  // namespace qm::test::e2e
