// The sample installation the end-to-end runs and the timings stand on:
// deterministic, shaped as the package keeps its files, and scrambled the way
// the program unscrambles.
#include <cstring>

#include "base/cp852.h"
#include "fileio/ini_file.h"
#include "run/package_config.h"
#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

using SampleTest = E2eTest;

std::string TextAt(const Bytes& r, size_t off) {
  return Cp852ToUtf8(std::string(reinterpret_cast<const char*>(r.data() + off + 1), r[off]));
}

TEST_F(SampleTest, SameSeedSameInstallationOtherSeedOtherContents) {
  sample::Options o;
  o.companies = 3;
  Generate(o);
  const Tree first = Snapshot(inst.root2019);
  Installation again;
  std::string error;
  ASSERT_TRUE(sample::Generate(Path("again"), o, again, error)) << error;
  EXPECT_TRUE(Snapshot(again.root2019) == first);
  o.seed = 7;
  ASSERT_TRUE(sample::Generate(Path("other"), o, again, error)) << error;
  const Tree other = Snapshot(again.root2019);
  EXPECT_EQ(other.size(), first.size());
  EXPECT_FALSE(other == first);
}

TEST_F(SampleTest, CompanyListRecordsAndSpecialCompanies) {
  sample::Options o;
  o.companies = 5;
  Generate(o);
  const auto list = Split(ReadAll(inst.root2019 + "SPISFIRM.DAT"), 103);
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(TextAt(list[0], 0), "Piekarnia Łódź Żółty Kruk");
  EXPECT_EQ(TextAt(list[0], 32), "PIEKARN");
  EXPECT_EQ(TextAt(list[0], 41), "pieczywo i ciasta");
  EXPECT_EQ(TextAt(list[2], 32), "ZURAW");
  EXPECT_FALSE(IsDir(inst.root2019 + "ZURAW"));
  for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], inst.companies[i].record);
  // The lower-case company keeps every name in lower case.
  const Company& low = CompanyByDir("FRYZJER");
  EXPECT_TRUE(low.lowerCaseNames);
  EXPECT_TRUE(IsFile(inst.root2019 + "FRYZJER/dane_pr8.rek"));
#ifndef _WIN32  // a case-blind host finds either spelling
  EXPECT_FALSE(IsFile(inst.root2019 + "FRYZJER/DANE_PR8.REK"));
#endif
  EXPECT_TRUE(IsFile(inst.root2019 + "FRYZJER/_2020/01.kst"));
  // Record files hold whole records.
  for (const auto& [name, size] : std::vector<std::pair<std::string, size_t>>{
           {"2019K990.12", 1024}, {"DANE_PR8.REK", 2048}, {"2019p5.13", 13952}, {"srodki.rek", 39771},
           {"2020UZ3.REK", 552}, {"2020WP5.REK", 26624}, {"_qm_zev.rek", 256}, {"2019_ROK.REK", 512}}) {
    const Bytes b = ReadAll(Src(CompanyByDir("TRANSPOR"), name));
    EXPECT_FALSE(b.empty()) << name;
    EXPECT_EQ(b.size() % size, 0u) << name;
  }
  EXPECT_TRUE(IsDir(inst.root2020));
  EXPECT_TRUE(Snapshot(inst.root2020).empty());
}

// The sample scrambles with its own copy of the package's generator; the
// program's unscrambling must read the records back.
TEST_F(SampleTest, ScrambledRecordsReadBackWithTheProgramsGenerator) {
  sample::Options o;
  o.companies = 2;
  Generate(o);
  int scrambled = 0;
  for (Bytes r : Split(ReadAll(Src(CompanyByDir("PIEKARN"), "DANE_PR8.REK")), 2048)) {
    if (r[8] != 2) continue;
    ++scrambled;
    ScrambleStaffRecord(r.data());
    EXPECT_GT(r[40], 0);
    EXPECT_LE(r[40], 31);
    EXPECT_EQ(TextAt(r, 316), "0110");
  }
  EXPECT_GT(scrambled, 0);
  const auto ops = Split(ReadAll(inst.root2019 + "#BIN990/OPERATOR.REK"), 512);
  ASSERT_EQ(ops.size(), 4u);
  Bytes first = ops[0];
  ScrambleBlock(first.data());
  EXPECT_EQ(TextAt(first, 24), "ADMIN");
  EXPECT_EQ(TextAt(first, 93), "Administrator systemu");
}

TEST_F(SampleTest, ExpectedCorrectionMovesOnlyLiveEntriesDatedIn2020) {
  sample::Options o;
  o.companies = 1;
  Generate(o);
  const Company& c = CompanyByDir("PIEKARN");
  std::map<int, Bytes> j;
  for (int m = 1; m <= 12; ++m) j[m] = ReadAll(Src(c, "2019K990." + std::to_string(m)));
  const Correction corr = ExpectedCorrection(j);
  EXPECT_EQ(corr.count, 3);
  EXPECT_EQ(c.corrections, 3);
  ASSERT_EQ(corr.moved.at(1).size(), 2u);  // date A in January
  ASSERT_EQ(corr.moved.at(2).size(), 1u);  // kind 2: date B in February decides
  EXPECT_EQ(corr.moved.at(2)[0][237], 2);
  const auto dec = Split(corr.journals2019.at(12), 1024);
  int struck = 0;
  for (const auto& e : dec) struck += (e[30] == 2 && e[31] == 0) ? 1 : 0;
  EXPECT_GE(struck, 4);  // the three moved, the one struck out already
  EXPECT_EQ(corr.journals2019.at(1), j.at(1));
}

TEST_F(SampleTest, ListOnlyInstallationAndScaledSizes) {
  sample::Options o;
  o.listOnly = 40;
  Generate(o);
  const auto list = Split(ReadAll(inst.root2019 + "SPISFIRM.DAT"), 103);
  ASSERT_EQ(list.size(), 40u);
  EXPECT_EQ(TextAt(list[39], 32), "FIRMA039");
  EXPECT_EQ(Snapshot(inst.root2019 + "FIRMA039").size(), 2u);
  EXPECT_EQ(sample::FullRunKeys(inst), "PgDn PgDn PgDn F5 F5 Enter");

  sample::Options big;
  big.companies = 2;
  big.missingDirCompany = false;
  big.scaleMb = 12;
  Installation scaled;
  std::string error;
  ASSERT_TRUE(sample::Generate(Path("big"), big, scaled, error)) << error;
  EXPECT_GE(scaled.bytes, 11u << 20);
  EXPECT_LE(scaled.bytes, 16u << 20);
}

TEST_F(SampleTest, PathFileAndKeysOfAFullRun) {
  sample::Options o;
  o.companies = 3;
  o.presentIn2020 = 1;
  o.global2020Payroll = true;
  Generate(o);
  EXPECT_EQ(ReadText("bin/qm19-20.PTH"), "[PATHS]\r\nZEV_2019=" + Path("inst/ZEV_2019") +
                                             "\r\nZEV_2020=" + Path("inst/ZEV_2020") + "\r\n");
  // PIEKARN moves entries, TRANSPOR has both annual files, STOLARZ is in 2020.
  EXPECT_EQ(sample::FullRunKeys(inst), "PgDn PgDn PgDn F5 W Enter F5 Enter A Enter");
  EXPECT_EQ(List2020Dirs(), (std::vector<std::string>{"SWIERK", "STOLARZ"}));
}

}  // namespace
}  // namespace qm::test::e2e
