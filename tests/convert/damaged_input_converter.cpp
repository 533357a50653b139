// Damaged, truncated and hostile input for the annual settings, people,
// contract, wage and company text data converters: seeded random records
// must never make a converter touch memory outside its records, and every
// text it writes must fit its field.
#include <random>
#include <string>
#include <vector>

#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "convert/contracts.h"
#include "convert/people.h"
#include "run/company_text_data.h"
#include "run/package_config.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class DamagedInput : public QmTest {
 protected:
  std::mt19937 rng{20200101};

  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }

  // A record of size bytes: random, or random up to a cut with zeros after
  // it (a short last record as the copy engine hands it over), with a bias
  // towards the values that matter: overlong length bytes, keys of carried
  // people, the scrambled form.
  std::vector<uint8_t> Record(size_t size) {
    std::vector<uint8_t> r(size);
    for (auto& b : r) b = static_cast<uint8_t>(Below(256));
    if (Below(4) == 0) {
      const size_t cut = Below(static_cast<uint32_t>(size));
      std::fill(r.begin() + static_cast<long>(cut), r.end(), 0);
    }
    for (int i = 0; i < 20; ++i) r[Below(static_cast<uint32_t>(size))] = 0xFF;
    if (Below(2)) PutI64(r.data(), 0, static_cast<int64_t>(Below(8)));
    if (size == kStaffRecSize && Below(2)) r[8] = 2;
    return r;
  }

  // Enough answers for any question or key wait the next call may bring.
  void Answers() {
    while (con.PendingCount() < 12) con.Keys("t n w b Enter Enter");
  }

  void Ask(uint16_t staffMode, uint16_t pid5Mode) {
    StaffModeNow = staffMode;
    Pid5Mode = pid5Mode;
  }
};

TEST_F(DamagedInput, PeopleAndTaxForms) {
  ClearPersonKeys();
  for (int n = 0; n < 3000; ++n) {
    Ask(static_cast<uint16_t>(Below(3)), static_cast<uint16_t>(Below(2)));
    Use2020AnnualData = Below(2);
    if (Below(500) == 0) PersonCount = static_cast<int32_t>(2040 + Below(20));
    Answers();
    {
      const auto src = Record(kStaffRecSize);
      std::vector<uint8_t> dst(kStaffRecSize);
      if (ConvertStaffRecord(src.data(), dst.data())) {
        if (dst[8] == 2) ScrambleStaffRecord(dst.data());
        ASSERT_LE(dst[40], 31);
        ASSERT_LE(dst[72], 22);
      }
    }
    Answers();
    {
      const auto src = Record(kFamilyRecSize);
      std::vector<uint8_t> dst(kFamilyRecSize);
      if (ConvertFamilyRecord(src.data(), dst.data())) {
        ASSERT_LE(dst[46], 9);
        ASSERT_LE(dst[56], 31);
        ASSERT_LE(dst[88], 22);
      }
    }
    Answers();
    {
      auto src = Record(kTaxFormRecSize);
      if (Below(2)) PutU16(src.data(), 14, 2020);
      std::vector<uint8_t> dst(kTaxFormRecSize);
      if (ConvertPid5Record(src.data(), dst.data())) {
        ASSERT_LE(dst[105], 31);
        ASSERT_LE(dst[137], 22);
        for (size_t i = 1; i <= 8; ++i) ASSERT_LE(dst[285 + 103 * i + 29], 36);
        ASSERT_LE(dst[8651 + 169 + 140], 18);
      }
      Answers();
      if (ConvertPit28Record(src.data(), dst.data())) {
        ASSERT_LE(dst[137], 22);
      }
    }
  }
}

TEST_F(DamagedInput, ContractsAndWages) {
  ClearPersonKeys();
  for (int64_t k = 0; k < 4; ++k) PersonKeys[static_cast<size_t>(++PersonCount)] = k;
  for (int n = 0; n < 3000; ++n) {
    if (Below(300) == 0) PersonCount = static_cast<int32_t>(Below(3000));
    Answers();
    const auto src = Record(kContractSrcSize);
    std::vector<uint8_t> dst(kContractDstSize);
    if (ConvertContractRecord(src.data(), dst.data())) {
      ASSERT_LE(dst[20], 10);
      ASSERT_LE(dst[57], 10);
      for (size_t i = 0; i < 3; ++i) ASSERT_LE(dst[94 + 121 * i], 60);
    }
    Answers();
    auto wage = Record(kWageRecSize);
    const uint32_t length = Below(3) ? kWageRecSize : 1 + Below(500);
    if (ConvertWageRecord(wage.data(), length)) {
      for (size_t i = 0; i < 8; ++i) {
        const size_t off = 15 + 51 * i;
        if (off + 51 <= length) {
          ASSERT_LE(wage[off], 50);
        }
      }
    }
  }
}

TEST_F(DamagedInput, AnnualSettingsFiles) {
  SourceRoot = Dir() + "a/";
  TargetRoot = Dir() + "b/";
  MakeDir("b/F");
  for (int n = 0; n < 400; ++n) {
    for (const char* name : {"a/F/2019_ROK.REK", "a/F/2020_ROK.REK"}) {
      if (Below(3) == 0) {
        WriteFile(name, {});
        continue;
      }
      Bytes f(Below(4) ? 3 * 512 : Below(1700));
      for (auto& b : f) b = static_cast<uint8_t>(Below(256));
      WriteFile(name, f);
    }
    WarnOpenDecember = Below(2);
    Answers();
    ConvertAnnualSettings("F");
    // A new annual file is whole or not there at all.
    if (Exists("b/F/2020_ROK.REK")) {
      const Bytes out = ReadFile("b/F/2020_ROK.REK");
      ASSERT_EQ(out.size(), 3u * 512);
      ASSERT_EQ(out[4], 3);
      ASSERT_EQ(out[131], 3);
      ASSERT_EQ(GetU16(out.data(), 120), 0);
      for (size_t i = 0; i < 10; ++i) {
        ASSERT_LE(out[512 + 2 + 16 * i], 6);
        ASSERT_LE(out[512 + 11 + 16 * i], 6);
      }
    }
  }
}

TEST_F(DamagedInput, CompanyTextFiles) {
  const auto& keys = CompanyTextKeys(2020);
  auto value = [&] {
    std::string v;
    const uint32_t len = Below(4) ? Below(12) : Below(300);
    for (uint32_t i = 0; i < len; ++i) v += static_cast<char>(33 + Below(222));
    if (Below(8) == 0) v = "$" + v;
    if (Below(8) == 0) v = std::to_string(static_cast<int>(Below(70000)) - 35000);
    return v;
  };
  for (int n = 0; n < 300; ++n) {
    std::string text;
    for (int line = 0, lines = static_cast<int>(Below(120)); line < lines; ++line) {
      const TextKey& k = keys[Below(static_cast<uint32_t>(keys.size()))];
      switch (Below(6)) {
        case 0:
          text += "[" + k.section + "]\r\n";
          break;
        case 1:
          text += value() + "\n";  // a line of anything
          break;
        default:
          text += (Below(2) ? k.key : value()) + "=" + value() + "\r\n";
      }
    }
    WriteText("in.ini", text);
    CompanyTextData first;
    CompanyTextData::Transfer(Path("in.ini"), CompanyTextData::Direction::Read, first);
    for (size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].kind == TextKind::Text) {
        ASSERT_LE(first.fields[i].text.size(), keys[i].capacity);
      }
      if (keys[i].kind == TextKind::Char) {
        ASSERT_EQ(first.fields[i].text.size(), 1u);
      }
    }
    // What was read and written reads back the same.
    CompanyTextData::Transfer(Path("in.ini"), CompanyTextData::Direction::Write, first);
    const bool fas = CompanyFas;
    CompanyTextData second;
    CompanyTextData::Transfer(Path("in.ini"), CompanyTextData::Direction::Read, second);
    ASSERT_EQ(CompanyFas, fas);
    for (size_t i = 0; i < keys.size(); ++i) {
      const TextValue& a = first.fields[i];
      const TextValue& b = second.fields[i];
      ASSERT_TRUE(a.text == b.text && a.number == b.number && a.date == b.date && a.months == b.months)
          << keys[i].section << "/" << keys[i].key;
    }
  }
}

}  // namespace
}  // namespace qm::test
