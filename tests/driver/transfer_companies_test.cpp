// The per-company transfer driver: which companies are converted and how
// the 2020 company list grows.
#include <filesystem>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "driver/company_list.h"
#include "driver/wizard.h"
#include "platform/forwarding_fs.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/driver/company_list_records.h"
#include "tests/support/test_env.h"
#include "tools/sample_gen.h"
#include "tui/log_window.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

class TransferCompaniesTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    sample::Options opt;
    opt.listOnly = 3;
    std::string error;
    ASSERT_TRUE(sample::Generate(Dir(), opt, inst, error)) << error;
    SourceRoot = inst.root2019;
    TargetRoot = inst.root2020;
  }
  // Directory names of the 2020 list, in file order.
  std::vector<std::string> List2020() const {
    const Bytes b = ReadFile(inst.root2020 + "SPISFIRM.DAT");
    std::vector<std::string> dirs;
    for (size_t off = 0; off + kCompanyRecSize <= b.size(); off += kCompanyRecSize) {
      dirs.push_back(GetText(b.data() + off, kCompanyDirOff, kCompanyDirCap));
    }
    return dirs;
  }
  const sample::Company& C(int i) const { return inst.companies[static_cast<size_t>(i)]; }
  // Makes company i fail its first step: no annual settings at all.
  void Break(int i) {
    for (const char* name : {"2019_ROK.REK", "2020_ROK.REK"}) {
      std::filesystem::remove(inst.root2019 + C(i).dir + "/" + sample::FileName(C(i), name));
    }
  }
  sample::Installation inst;
};

TEST_F(TransferCompaniesTest, FailedCompanyIsLeftOutOfTheList) {
  // The 2020 list already names two companies, one sorting first and one last.
  const auto first = CompanyRecordBytes({"AAAA", "AAAA", ""});
  const auto last = CompanyRecordBytes({Pl("Żuraw"), "ZZZ", ""});  // Ż after every other letter
  Bytes existing(first);
  existing.insert(existing.end(), last.begin(), last.end());
  WriteFile(inst.root2020 + "SPISFIRM.DAT", existing);
  Break(1);
  // Selection: F5; the failing company waits for one key.
  con.Keys("F5 x");
  TransferCompanies();
  EXPECT_EQ(con.PendingCount(), 0u);
  std::vector<std::string> expected = {C(0).dir, C(2).dir};
  if (PlCompare(PlUpperCase(SortKey(C(2).record.data())), PlUpperCase(SortKey(C(0).record.data()))) > 0)
    std::swap(expected[0], expected[1]);
  expected.insert(expected.begin(), "AAAA");
  expected.push_back("ZZZ");
  EXPECT_EQ(List2020(), expected);
  // Records go in exactly as the 2019 list held them.
  const Bytes b = ReadFile(inst.root2020 + "SPISFIRM.DAT");
  for (size_t off = 0; off < b.size(); off += kCompanyRecSize) {
    const Bytes rec(b.begin() + static_cast<long>(off), b.begin() + static_cast<long>(off + kCompanyRecSize));
    if (GetText(rec.data(), kCompanyDirOff, kCompanyDirCap) == C(0).dir) {
      EXPECT_EQ(rec, C(0).record);
    }
  }
  EXPECT_EQ(CompanyEntryAt(1), nullptr);  // the table is freed
  EXPECT_EQ(LogRow(), 1);
}

TEST_F(TransferCompaniesTest, NewListHoldsExactlyTheConvertedCompanies) {
  con.Keys("Down Space F5");  // the second company unmarked
  TransferCompanies();
  EXPECT_EQ(List2020().size(), 2u);
  EXPECT_FALSE(Exists(inst.root2020 + C(1).dir));
}

// A 2019 list kept in the package's own order comes out as the 2020 list in
// the same order, every company going to the end of it.
TEST_F(TransferCompaniesTest, ListInThePackagesOrderKeepsItsOrder) {
  sample::Options opt;
  opt.listOnly = 30;
  opt.sortedList = true;
  std::string error;
  sample::Installation sorted;
  ASSERT_TRUE(sample::Generate(Path("sorted"), opt, sorted, error)) << error;
  SourceRoot = sorted.root2019;
  TargetRoot = sorted.root2020;
  const Bytes list2019 = ReadFile(sorted.root2019 + "SPISFIRM.DAT");
  con.Keys("F5");
  TransferCompanies();
  EXPECT_EQ(ReadFile(sorted.root2020 + "SPISFIRM.DAT"), list2019);
}

TEST_F(TransferCompaniesTest, EscCarriesNothingAndCreatesNoList) {
  con.Keys("Esc");
  TransferCompanies();
  EXPECT_FALSE(Exists(inst.root2020 + "SPISFIRM.DAT"));
  EXPECT_FALSE(Exists(inst.root2020 + C(0).dir));
  EXPECT_EQ(CompanyEntryAt(1), nullptr);
}

TEST_F(TransferCompaniesTest, NothingMarkedStillCreatesTheList) {
  con.Keys("^D F5");
  TransferCompanies();
  EXPECT_TRUE(Exists(inst.root2020 + "SPISFIRM.DAT"));
  EXPECT_TRUE(List2020().empty());
}

TEST_F(TransferCompaniesTest, CompanyHeadingLines) {
  con.capture = true;
  con.Keys("^D Space F5");
  TransferCompanies();
  const std::string name = Cp852ToUtf8(C(0).name);
  // The heading lines stand on rows 1 and 2, which the final partial clear
  // leaves alone.
  EXPECT_EQ(Cp852ToUtf8(LogShadowRow(1)).substr(0, 24 + name.size()), "Kopiowanie  - FIRMA   : " + name);
  EXPECT_EQ(Cp852ToUtf8(LogShadowRow(2)).substr(0, 24 + C(0).dir.size()), "              Katalog : " + C(0).dir);
}

TEST_F(TransferCompaniesTest, UnopenableListReportsAndConvertsNothing) {
  MakeDir(inst.root2020 + "SPISFIRM.DAT");  // a directory in the list's place
  con.capture = true;
  con.Keys("F5 Enter");
  TransferCompanies();
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_NE(con.screens.back().find("Brak dostepu do pliku"), std::string::npos);
  EXPECT_FALSE(Exists(inst.root2020 + C(0).dir));
  EXPECT_EQ(CompanyEntryAt(1), nullptr);
}

// A server that will not say whether one file is there.
class RefusingFs : public ForwardingFs {
 public:
  RefusingFs(FileSystem& host, std::string refused) : ForwardingFs(host), refused_(std::move(refused)) {}
  int FindFirst(const std::string& pattern, uint8_t mask, FindEntry& e, FindHandle& fh) override {
    return pattern == refused_ ? kErrAccessDenied : ForwardingFs::FindFirst(pattern, mask, e, fh);
  }

 private:
  std::string refused_;
};

// A company whose text data cannot be opened stops the run where it stands:
// the box, code 0, the companies before it in the list, none after it.
TEST_F(TransferCompaniesTest, TextDataThatCannotBeOpenedStopsTheRun) {
  RefusingFs refusing(*fs, TargetRoot + C(1).dir + kPathSep + "FIRMATXT.INI");
  SetFileSystem(&refusing);
  con.capture = true;
  con.Keys("F5 Enter");
  try {
    TransferCompanies();
    ADD_FAILURE() << "the run went on";
  } catch (const ProgramExited& e) {
    EXPECT_EQ(e.code, 0);
  }
  SetFileSystem(fs.get());
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_NE(con.screens.back().find("Błąd odczytu danych firmy"), std::string::npos);
  EXPECT_EQ(List2020(), std::vector<std::string>{C(0).dir});
  EXPECT_FALSE(Exists(inst.root2020 + C(2).dir));
}

TEST_F(TransferCompaniesTest, ALongListPathIsUsedWhole) {
  // Far beyond the 79 characters of the DOS-era file names: the companies
  // go into the list of that very path, never a file of a name cut short.
  const std::string deep = inst.root2020 + std::string(120, 'd') + "/" + std::string(80, 'e') + "/";
  std::filesystem::create_directories(HostPath(deep));
  TargetRoot = deep;
  con.Keys("F5");
  TransferCompanies();
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_EQ(ReadFile(deep + "SPISFIRM.DAT").size(), static_cast<size_t>(kCompanyRecSize) * 3);
  EXPECT_FALSE(Exists((deep + "SPISFIRM.DAT").substr(0, 79)));
}

}  // namespace
}  // namespace qm::test
