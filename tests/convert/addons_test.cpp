// The add-on programs' files in the company directory, and the office and
// operator records of the global data.
#include <cstring>
#include <filesystem>
#include <string>

#include "base/record_fields.h"
#include "convert/addons.h"
#include "convert/copy_engine.h"
#include "fileio/ini_file.h"
#include "tests/convert/copy_support.h"

namespace qm::test {
namespace {

constexpr size_t kAsset = 39771;

Bytes RegisterEntry(const std::string& name, uint32_t salt) {
  Bytes r = Distinct(367, salt);
  PutText(r.data(), 51, 255, name);
  return r;
}

class AddOnTest : public CompanyTest {
 protected:
  void SetUp() override {
    CompanyTest::SetUp();
    MakeDir("2020/FIRMA");
  }
};

TEST_F(AddOnTest, AssetAddOnCarriesItsFilesAndTheListedRegisters) {
  WriteText(Src("dokument.rek"), "linia 1\nlinia 2\n");
  const Bytes srodki = Distinct(kAsset, 1), wyposaz = Distinct(kAsset * 2, 2);
  const Bytes cnf = Distinct(3837, 3), maszyny = Distinct(kAsset, 4), biuro = Distinct(kAsset + 10, 5);
  WriteFile(Src("srodki.rek"), srodki);
  WriteFile(Src("wyposaz.rek"), wyposaz);
  WriteFile(Src("st.cnf"), cnf);
  WriteFile(Src("MASZYNY.REK"), maszyny);
  WriteFile(Src("BIURO.REK"), biuro);
  const Bytes list = Join({RegisterEntry("srodki", 1), RegisterEntry("MASZYNY", 2),
                           RegisterEntry("BIURO", 3), RegisterEntry("Srodki", 4)});
  WriteFile(Src("stbazy.rek"), list);

  CopyAssetAddOn(kCompany);

  EXPECT_EQ(LogShadowRow(1).substr(0, 19), "DLL: Dozude Vezivi ");
  EXPECT_EQ(ReadText(Dst("dokument.rek")), "linia 1\r\nlinia 2\r\n");
  EXPECT_EQ(ReadFile(Dst("srodki.rek")), srodki);
  EXPECT_EQ(ReadFile(Dst("wyposaz.rek")), wyposaz);
  EXPECT_EQ(ReadFile(Dst("st.cnf")), cnf);
  EXPECT_EQ(ReadFile(Dst("stbazy.rek")), list);
  EXPECT_EQ(ReadFile(Dst("MASZYNY.REK")), maszyny);
  EXPECT_EQ(ReadFile(Dst("BIURO.REK")), biuro);
  // srodki is the main register: copied once, never as SRODKI.REK again.
  EXPECT_EQ(CountOf(LogText(), "srodki.rek"), 1);
  EXPECT_EQ(CountOf(LogText(), "SRODKI.REK"), 0);
}

TEST_F(AddOnTest, RegisterNamesThatLeaveTheCompanyDirectoryAreSkipped) {
  // Files a hostile list could reach outside the company's directories.
  WriteFile("2019/X.REK", Distinct(100, 1));
  WriteFile("2019/FIRMA/sub/Y.REK", Distinct(100, 2));
  WriteFile("OUT.REK", Distinct(100, 3));
  WriteFile(Src("OK.REK"), Distinct(100, 4));
  const char* const bad[] = {"../X", "..", "sub/Y", "sub\\Y", "", "/tmp/OUT", "C:OUT", "\x01" "A"};
  Bytes list;
  uint32_t salt = 10;
  for (const char* n : bad) list = Join({list, RegisterEntry(n, salt++)});
  list = Join({list, RegisterEntry("OK", salt)});
  WriteFile(Src("stbazy.rek"), list);

  CopyAssetRegisters(kCompany);

  EXPECT_EQ(ReadFile(Dst("OK.REK")), Distinct(100, 4));
  EXPECT_FALSE(Exists("2020/X.REK"));
  EXPECT_FALSE(Exists(Dst("sub")));
  const std::string log = LogText();
  EXPECT_EQ(CountOf(log, "Pominięto rejestr o niepoprawnej nazwie:"), 8) << log;
  const int row = LogRowStarting("Pominięto rejestr o niepoprawnej nazwie: ../X");
  ASSERT_NE(row, 0);
  EXPECT_EQ(con.Attr(1, row), 12);
}

TEST_F(AddOnTest, RegisterListEndingInAPartRecordIsReadToItsLastWholeOne) {
  WriteFile(Src("A.REK"), Distinct(10, 1));
  const Bytes list = RegisterEntry("A", 1);
  WriteFile(Src("stbazy.rek"), Join({list, Bytes(list.begin(), list.begin() + 60)}));
  CopyAssetRegisters(kCompany);
  EXPECT_EQ(ReadFile(Dst("A.REK")), Distinct(10, 1));
  EXPECT_EQ(CountOf(LogText(), "Kopiuje"), 1);
}

TEST_F(AddOnTest, Mileage310CarriesPatternsRecordsAndTheTripsFolder) {
  for (const char* n : {"a.cel", "cel1.rek", "b.trs", "tras9.rek", "km.cnf", "adresy.rek", "samochod.rek"}) {
    WriteText(Src(n), n);
  }
  WriteText(Src("other.rek"), "x");
  const Bytes kst = Distinct(572 * 2, 1), wyj = Distinct(128 * 3, 2);
  WriteFile(Src("_2020/m01.kst"), kst);
  WriteFile(Src("_2020/m01.wyj"), wyj);

  CopyMileage310(kCompany);

  const std::string label = "DLL : Ruvavivivori KM310 \"Ferro\"";
  EXPECT_EQ(LogShadowRow(1).substr(0, label.size() + 1), label + " ");
  for (const char* n : {"a.cel", "cel1.rek", "b.trs", "tras9.rek", "km.cnf", "adresy.rek", "samochod.rek"}) {
    EXPECT_EQ(ReadText(Dst(n)), n);
  }
  EXPECT_FALSE(Exists(Dst("other.rek")));
  EXPECT_EQ(ReadFile(Dst("_2020/m01.kst")), kst);
  EXPECT_EQ(ReadFile(Dst("_2020/m01.wyj")), wyj);
}

TEST_F(AddOnTest, TripsFolderOfAnEarlierRunIsNotCreatedAgain) {
  WriteFile(Src("_2020/m01.kst"), Distinct(572, 1));
  WriteFile(Src("_2020/m01.wyj"), Distinct(128, 2));
  MakeDir(Dst("_2020"));

  CopyMileageTrips(kCompany);

  const std::string line = "Błąd utworzenia folderu " + Cp852ToUtf8(T()) + "_2020";
  EXPECT_EQ(CountOf(LogText(), line), 2);  // once for each pattern
  EXPECT_FALSE(Exists(Dst("_2020/m01.kst")));
  EXPECT_FALSE(Exists(Dst("_2020/m01.wyj")));
}

TEST_F(AddOnTest, TripsFolderIsNotMadeWithoutTrips) {
  MakeDir(Src("_2020"));
  CopyMileageTrips(kCompany);
  EXPECT_FALSE(Exists(Dst("_2020")));
}

TEST_F(AddOnTest, Mileage320CarriesItsTwoPatterns) {
  for (const char* n : {"km__a.rek", "km20b.rek", "km19c.rek"}) WriteText(Src(n), n);
  CopyMileage320(kCompany);
  EXPECT_EQ(LogShadowRow(1).substr(0, 30), "DLL : Ruvavivivori KM320 \"qm\" ");
  EXPECT_TRUE(Exists(Dst("km__a.rek")));
  EXPECT_TRUE(Exists(Dst("km20b.rek")));
  EXPECT_FALSE(Exists(Dst("km19c.rek")));
}

// ---- office data ------------------------------------------------------------

// The texts of the office record as (offset, capacity).
const std::pair<size_t, size_t> kOfficeTexts[] = {{0, 36},   {37, 36},  {74, 36}, {111, 13},
                                                  {125, 26}, {204, 40}, {283, 26}};

Bytes OfficeSource(bool emptyService) {
  Bytes s = Distinct(384, 6);
  uint8_t len = 5;
  for (auto [off, cap] : kOfficeTexts) s[off] = static_cast<uint8_t>(len++ % (cap + 1));
  s[0] = 200;  // longer than its field: cut to 36
  s[245] = emptyService ? 0 : 17;
  return s;
}

Bytes OfficeWant(const Bytes& s, const std::string& service) {
  Bytes w(384, 0);
  for (auto [off, cap] : kOfficeTexts) {
    const size_t len = std::min<size_t>(s[off], cap);
    w[off] = static_cast<uint8_t>(len);
    std::memcpy(&w[off + 1], &s[off + 1], len);
  }
  for (size_t i = 0; i < 4; ++i) {
    w[152 + 13 * i] = 1;
    const std::string suffix = "/2020";
    w[154 + 13 * i] = 5;
    std::memcpy(&w[155 + 13 * i], suffix.data(), 5);
  }
  w[245] = static_cast<uint8_t>(service.size());
  std::memcpy(&w[246], service.data(), service.size());
  w[282] = s[282];
  std::memcpy(&w[310], &s[310], 39);
  w[349] = s[349];
  w[350] = s[350];
  return w;
}

TEST_F(AddOnTest, OfficeRecordKeepsItsFieldsAndRestartsTheDocumentSeries) {
  Bytes dst(384, 0xCC);
  const Bytes src = OfficeSource(false);
  EXPECT_TRUE(ConvertOfficeRecord(src.data(), dst.data()));
  EXPECT_EQ(dst, OfficeWant(src, std::string(src.begin() + 246, src.begin() + 263)));

  const Bytes empty = OfficeSource(true);
  EXPECT_TRUE(ConvertOfficeRecord(empty.data(), dst.data()));
  EXPECT_EQ(dst, OfficeWant(empty, Pl("Prowadzenie księgi - {zamiesiac}")));
}

// ---- operators ----------------------------------------------------------------

TEST_F(AddOnTest, OperatorRightsAreWidenedInsideTheScrambledRecord) {
  const struct {
    uint16_t word3, word5, want3;
  } cases[] = {
      {0x0004, 0x0000, 0x0014}, {0x0014, 0x0000, 0x0014}, {0x0000, 0x0002, 0x0008},
      {0x0008, 0x0002, 0x0008}, {0x0004, 0x0002, 0x001C}, {0x0000, 0x0000, 0x0000},
      {0xFFE3, 0xFFFD, 0xFFE3}, {0x0100, 0x0012, 0x0108},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word3);
    Bytes plain = Distinct(512, c.word3 + c.word5);
    plain[24] = 12;
    plain[55] = 40;  // above its 16: cut
    plain[93] = 37;
    PutU16(plain.data(), 139, c.word3);
    PutU16(plain.data(), 143, c.word5);
    Bytes want = plain;
    want[55] = 16;
    PutU16(want.data(), 139, c.want3);

    Bytes rec = plain;
    ScrambleBlock(rec.data());
    EXPECT_TRUE(ConvertOperatorRecord(rec.data(), 512));
    ScrambleBlock(rec.data());
    EXPECT_EQ(rec, want);
  }
}

TEST_F(AddOnTest, OperatorFileIsCarriedThroughTheRecordCopy) {
  Bytes plain = Distinct(512, 3);
  plain[24] = plain[55] = plain[93] = 1;
  PutU16(plain.data(), 139, 0x0004);
  Bytes stored = plain;
  ScrambleBlock(stored.data());
  WriteFile("g19/OPERATOR.REK", Join({stored, stored}));
  MakeDir("g20");
  EXPECT_TRUE(CopyRecords(Path("g19/OPERATOR.REK"), Path("g20/OPERATOR.REK"), 512, ConvertOperatorRecord));
  Bytes out = ReadFile("g20/OPERATOR.REK");
  ASSERT_EQ(out.size(), 1024u);
  ScrambleBlock(out.data());
  EXPECT_EQ(GetU16(out.data(), 139), 0x0014);
}

}  // namespace
}  // namespace qm::test
