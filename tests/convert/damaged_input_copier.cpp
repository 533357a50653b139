// Damaged, truncated and hostile data under the copy engine, the ledger,
// the add-on files and the company table: nothing may be read or written
// outside a record buffer (the sanitizer build checks that), and nothing
// outside the company's directories.
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "base/record_fields.h"
#include "convert/addons.h"
#include "convert/company_transfer.h"
#include "convert/copy_engine.h"
#include "convert/ledger.h"
#include "tests/convert/copy_support.h"

namespace qm::test {
namespace {

namespace stdfs = std::filesystem;

class DamagedInputTest : public CompanyTest {
 protected:
  void SetUp() override {
    CompanyTest::SetUp();
    MakeDir("2020/FIRMA");
    WriteText("outside.txt", "untouched");
    OverwriteMode = kOverwriteReplaceAll;  // no question: the keys below are all Enter
  }
  Bytes Random(size_t n) {
    Bytes b(n);
    for (auto& c : b) c = static_cast<uint8_t>(rng() & 0xFF);
    return b;
  }
  // A record-sized buffer of random bytes with a few fields given values the
  // converters act on.
  Bytes RandomRecord(size_t n) {
    Bytes b = Random(n);
    if (n >= 1024 && rng() % 2) {
      PutU16(b.data(), 16, 2020);
      b[15] = static_cast<uint8_t>(rng() % 14);
      b[237] = static_cast<uint8_t>(rng() % 3);
    }
    return b;
  }
  // Keys enough for any box or wait, then what was not used dropped.
  void WithKeys(const std::function<void()>& op) {
    for (int i = 0; i < 400; ++i) con.Key(0x1C0D);
    op();
    while (con.PendingCount()) {
      ConsoleEvent ev;
      con.WaitEvent(ev, 0);
    }
  }
  // Every entry below the test directory, outside the two company folders.
  std::set<std::string> OutsideEntries() const {
    std::set<std::string> names;
    for (const auto& e : stdfs::recursive_directory_iterator(Dir())) {
      const std::string p = e.path().generic_string();
      if (p.find("/2019/FIRMA/") != std::string::npos || p.find("/2020/FIRMA/") != std::string::npos) continue;
      names.insert(p);
    }
    return names;
  }
  std::mt19937 rng{20191231};
};

TEST_F(DamagedInputTest, RecordConvertersStayInsideTheirBuffers) {
  for (int i = 0; i < 3000; ++i) {
    LogClear(true);
    Bytes src = RandomRecord(1024), dst(1024);
    ConvertLedgerEntry(src.data(), dst.data());
    src = Random(48);
    dst.assign(48, 0);
    ConvertRepayment(src.data(), dst.data());
    src = Random(384);
    dst.assign(384, 0);
    ConvertOfficeRecord(src.data(), dst.data());
    src = Random(512);
    ConvertOperatorRecord(src.data(), static_cast<uint32_t>(rng() % 513));
    src = Random(2048);
    StampPayrollSettings(src.data(), static_cast<uint32_t>(rng() % 2049));
  }
}

TEST_F(DamagedInputTest, TruncatedFilesThroughTheCopyOperations) {
  for (int i = 0; i < 120; ++i) {
    LogClear(true);
    const size_t n = rng() % 5000;
    WriteFile(Src("r.rek"), Random(n));
    WithKeys([&] {
      CopyRecords(S() + "r.rek", T() + "a.rek", 512, ConvertOperatorRecord);
      CopyRecords(S() + "r.rek", T() + "b.rek", 2048, StampPayrollSettings);
      ConvertRecords(S() + "r.rek", T() + "c.rek", 1024, 1024, ConvertLedgerEntry);
      ConvertRecords(S() + "r.rek", T() + "d.rek", 48, 48, ConvertRepayment);
      ConvertRecords(S() + "r.rek", T() + "e.rek", 384, 384, ConvertOfficeRecord);
      CopyTextFile(S() + "r.rek", T() + "f.txt");
      CopyBinaryFile(S() + "r.rek", T() + "g.bin");
    });
    // Whole records out of a conversion that keeps every record.
    EXPECT_EQ(ReadFile(Dst("e.rek")).size(), (n + 383) / 384 * 384);
    EXPECT_EQ(ReadFile(Dst("g.bin")).size(), n);
  }
}

TEST_F(DamagedInputTest, DamagedJournalsAreCorrectedWithinThe2020Journals) {
  const auto before = OutsideEntries();
  for (int i = 0; i < 200; ++i) {
    LogClear(true);
    const int month = 1 + static_cast<int>(rng() % 12);
    Bytes journal;
    const size_t entries = rng() % 6;
    for (size_t e = 0; e < entries; ++e) journal = Join({journal, RandomRecord(1024)});
    journal = Join({journal, Random(rng() % 1024)});  // and a part entry
    WriteFile(Src("2019K990." + std::to_string(month)), journal);
    WriteFile(Src("2020K990.1"), Random(rng() % 3000));
    WriteFile(Src("2020SP.1"), Random(rng() % 200));
    WithKeys([&] { CarryLedgerJournals(kCompany); });
    Fs().Remove(Path(Src("2019K990." + std::to_string(month))));
  }
  for (const auto& e : stdfs::directory_iterator(Path("2020/FIRMA"))) {
    const std::string name = e.path().filename().string();
    const bool journal = name.rfind("2020K990.", 0) == 0 || name.rfind("2020SP.", 0) == 0;
    EXPECT_TRUE(journal) << name;
    if (name.rfind("2020K990.", 0) == 0) {
      const int m = std::stoi(name.substr(9));
      EXPECT_TRUE(m >= 1 && m <= 12) << name;
    }
  }
  EXPECT_EQ(OutsideEntries(), before);
}

TEST_F(DamagedInputTest, HostileRegisterListsAndExtraListsStayInTheCompany) {
  const auto before = OutsideEntries();
  const char* const nasty[] = {"..", "../outside", "/tmp/x", "\\x", "C:", "a/../../b", "", "."};
  for (int i = 0; i < 300; ++i) {
    LogClear(true);
    Bytes list;
    const size_t records = rng() % 5;
    for (size_t r = 0; r < records; ++r) {
      Bytes rec = Random(367);
      if (rng() % 2) PutText(rec.data(), 51, 255, nasty[rng() % std::size(nasty)]);
      list = Join({list, rec});
    }
    list = Join({list, Random(rng() % 367)});
    WriteFile(Src("stbazy.rek"), list);
    // A random list entry of up to 25 characters, and a hostile one.
    const Bytes raw = Random(rng() % 26);
    std::string entry(raw.begin(), raw.end());
    ExtraFiles = {entry, std::string(nasty[rng() % std::size(nasty)]) + ">" + nasty[rng() % std::size(nasty)]};
    WithKeys([&] {
      CopyAssetRegisters(kCompany);
      for (const std::string& e : ExtraFiles) CopyListedFile(kCompany, e);
    });
  }
  EXPECT_EQ(OutsideEntries(), before);
  EXPECT_EQ(ReadText("outside.txt"), "untouched");
}

}  // namespace
}  // namespace qm::test
