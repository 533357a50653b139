// One company carried from the 2019 tree into the 2020 tree: the first
// steps, the item table, the form source choices, the payroll stamp, the
// extra list and the DRA declarations.
#include <filesystem>
#include <string>

#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "convert/company_transfer.h"
#include "convert/copy_engine.h"
#include "convert/people.h"
#include "tests/convert/copy_support.h"

namespace qm::test {
namespace {

using Cond = ItemCondition;
using Copy = ItemCopy;

class CompanyTableTest : public CompanyTest {
 protected:
  void SetUp() override {
    CompanyTest::SetUp();
    WarnOpenDecember = false;
  }
  // The minimum a company needs: a 2019 annual file and its stamp.
  void MinimalCompany() {
    Bytes annual(3 * 512, 0);
    annual[3] = 13;
    WriteFile(Src("2019_ROK.REK"), annual);
    WriteFile(Src("_qm_zev.rek"), Join({Distinct(256, 1), Distinct(256, 2)}));
  }
  void AllOff() {
    CompanyDataItems = 0;
    Entered2020Items = 0;
    AddOnItems = 0;
  }
  bool LogHas(const std::string& utf8) const { return LogText().find(utf8) != std::string::npos; }
};

// ---- the table ----------------------------------------------------------------

struct WantItem {
  int number;
  Cond cond;
  uint16_t mask;
  const char* label;  // nullptr: none
  bool noLineEnd;
  const char* source;
  const char* dest;  // nullptr: the source's name
  Copy copy;
  uint16_t srcSize, dstSize;
};

// The file table as the package's data needs it, written out here on its own.
const WantItem kWant[] = {
    {1, Cond::Annual2020, 0, "Deklaracja VAT-7 z 2020", false, "2020vJ17.REK", nullptr, Copy::Binary, 0, 0},
    {2, Cond::Annual2020, 0, "Deklaracja VAT-UE z 2020", false, "2020UE*.*", nullptr, Copy::Matching, 0, 0},
    {3, Cond::Annual2020, 0, "Inne deklaracja VAT 2020", false, "VATxxx.REK", "2020VXX.REK", Copy::Binary, 0, 0},
    {4, Cond::Annual2020, 0, "Suma z kolumn za 2020", false, "2020kol2.rek", nullptr, Copy::Binary, 0, 0},
    {5, Cond::Annual2020, 0, nullptr, false, "2020ZAL.REK", nullptr, Copy::Records, 1024, 0},
    {6, Cond::DataItems, 0x0001, nullptr, false, "FIRMATXT.INI", nullptr, Copy::Custom, 0, 0},
    {7, Cond::DataItems, 0x0001, nullptr, false, "FIRMA_A8.REK", nullptr, Copy::Convert, 224, 224},
    {8, Cond::DataItems, 0x0002, "Pracownicy / Właściciele", false, "DANE_PR8.REK", nullptr, Copy::Convert, 2048, 2048},
    {9, Cond::DataItems, 0x0002, "Dane zgłoszeniowe ZUS", false, "DANE_PZ.DAT", nullptr, Copy::Listed, 0, 0},
    {10, Cond::DataItems, 0x0002, "Deklaracji PITs", false, "2020PITS.REK", nullptr, Copy::Listed, 0, 0},
    {11, Cond::DataItems, 0x0006, "Rodziny pracowników", false, "DANE_PF8.REK", nullptr, Copy::Convert, 352, 352},
    {12, Cond::DataItems, 0x0002, "Dane umów o pracę UMOWY.INI", false, "UMOWY.INI", nullptr, Copy::Listed, 0, 0},
    {13, Cond::DataItems, 0x0008, "PID-5 ", true, "2020P5.REK", nullptr, Copy::Convert, 13952, 13952},
    {14, Cond::DataItems, 0x0008, "\"PIT-28\" ", true, "2020_p28.rek", nullptr, Copy::Convert, 13952, 13952},
    {15, Cond::DataItems, 0x0010, "Baza adresów", false, "baza_ad8.rek", nullptr, Copy::Convert, 480, 480},
    {16, Cond::DataItems, 0x0020, "Automat sprzedaży", false, "baza_sp9.rek", nullptr, Copy::Convert, 512, 512},
    {17, Cond::DataItems, 0x0040, "Automat zakupów", false, "baza_za9.rek", nullptr, Copy::Convert, 512, 512},
    {18, Cond::DataItems, 0x0080, "Baza stałych F1..F10", false, "baza_ff.txt", nullptr, Copy::Text, 0, 0},
    {19, Cond::DataItems, 0x0080, "Notatnik", false, "Notatnik.txt", nullptr, Copy::Text, 0, 0},
    {20, Cond::DataItems, 0x0080, "Notatka", false, "Notatka.txt", nullptr, Copy::Text, 0, 0},
    {21, Cond::DataItems, 0x0080, "Notes", false, "Notes.txt", nullptr, Copy::Text, 0, 0},
    {22, Cond::DataItems, 0x0100, "Baza przelewów", false, "BAZA_PP8.REK", nullptr, Copy::Convert, 432, 432},
    {23, Cond::ExtraList, 0, "Lista dodatkowa ....", false, nullptr, nullptr, Copy::Custom, 0, 0},
    {24, Cond::DataItems, 0x0200, "Ustawienia lokalne listy wynagrodzeń", false, "2019_lp2.cc", nullptr, Copy::Custom, 2048, 0},
    {25, Cond::DataItems, 0x0400, "Ustawienia ZUS_PEL", false, "ZUS_PEL.INI", nullptr, Copy::Listed, 0, 0},
    {26, Cond::DataItems, 0x0800, "Środki umożone jednorazowo (3500)", false, "ESTUJ.REK", nullptr, Copy::Records, 768, 0},
    {27, Cond::DataItems, 0x1000, "Ustawienia przelewów", false, "BAZA_PP8.INI", nullptr, Copy::Text, 0, 0},
    {28, Cond::DataItems, 0x2000, "Dwody wewnętrzne", false, "BAZA_DW8.REK", nullptr, Copy::Convert, 784, 784},
    {29, Cond::DataItems, 0x4000, "Wystawiona lista odsetek", false, "ODS_ZOB.REK", nullptr, Copy::Records, 200, 0},
    {30, Cond::DataItems, 0x8000, "Lista pojazdów dla VAT", false, "AUTOV26.REK", nullptr, Copy::Records, 320, 0},
    {31, Cond::Entered2020, 0x0001, "Dane wprowadzone do ZEV:", false, "2020K990.*", nullptr, Copy::Custom, 1024, 1024},
    {32, Cond::Entered2020, 0x0001, "Plik indeksów złych długów: 2020IDX.REK", false, "2020IDX.REK", nullptr, Copy::Listed, 0, 0},
    {33, Cond::Entered2020, 0x0002, "Wynagrodzenia wprowadzone w 2020", false, "2020WP5.REK", nullptr, Copy::Records, 26624, 0},
    {34, Cond::Entered2020, 0x0004, "Umowy zlecenia wprowadzone w 2020", false, "2020UZ3.REK", "2020UZ5.REK", Copy::Convert, 552, 1024},
    {35, Cond::Entered2020, 0x0008, "Noty korygujące z 2020", false, "2020_NK8.REK", nullptr, Copy::Convert, 848, 848},
    {36, Cond::Entered2020, 0x0010, nullptr, false, "2020D5??.*", nullptr, Copy::Custom, 0, 0},
    {37, Cond::AddOns, 0x0001, "DLL: Dozude Vezivi", false, nullptr, nullptr, Copy::Custom, 0, 0},
    {38, Cond::AddOns, 0x0002, "DLL : Ruvavivivori KM310 \"Ferro\"", false, nullptr, nullptr, Copy::Custom, 0, 0},
    {39, Cond::AddOns, 0x0004, "DLL : Ruvavivivori KM320 \"qm\"", false, nullptr, nullptr, Copy::Custom, 0, 0},
    {40, Cond::Always, 0, "DLL : Import2ZEV.EXE -> zev_import.xml", false, "zev_import.xml", nullptr, Copy::Listed, 0, 0},
};

std::string Str(const char* s) { return s ? s : "(none)"; }

TEST_F(CompanyTableTest, TableHoldsEveryItemInOrder) {
  const auto items = CompanyItems();
  ASSERT_EQ(items.size(), std::size(kWant));
  for (size_t i = 0; i < items.size(); ++i) {
    const CompanyItem& got = items[i];
    const WantItem& w = kWant[i];
    SCOPED_TRACE(w.number);
    EXPECT_EQ(got.number, w.number);
    EXPECT_EQ(got.condition, w.cond);
    EXPECT_EQ(got.mask, w.mask);
    EXPECT_EQ(Str(got.label), Str(w.label));
    EXPECT_EQ(got.labelNoLineEnd, w.noLineEnd);
    EXPECT_EQ(Str(got.source), Str(w.source));
    EXPECT_EQ(Str(got.dest), Str(w.dest));
    EXPECT_EQ(got.copy, w.copy);
    EXPECT_EQ(got.srcSize, w.srcSize);
    EXPECT_EQ(got.dstSize, w.dstSize);
    if (got.copy == Copy::Custom) {
      EXPECT_NE(got.work, nullptr);
    }
  }
}

TEST_F(CompanyTableTest, AnItemRunsOnlyWhenAllItsBitsAreSet) {
  for (const CompanyItem& item : CompanyItems()) {
    SCOPED_TRACE(item.number);
    ResetProgramState();
    Use2020AnnualData = false;
    if (item.condition == Cond::Annual2020 || item.condition == Cond::ExtraList) {
      EXPECT_FALSE(CompanyItemOn(item));
    }
    if (item.condition == Cond::Always) {
      EXPECT_TRUE(CompanyItemOn(item));
    }
    // Every bit of the item's set but one: off.
    uint16_t* set = item.condition == Cond::DataItems     ? &CompanyDataItems
                    : item.condition == Cond::Entered2020 ? &Entered2020Items
                    : item.condition == Cond::AddOns      ? &AddOnItems
                                                          : nullptr;
    if (set) {
      *set = 0xFFFF;
      EXPECT_TRUE(CompanyItemOn(item));
      for (uint16_t bit = 1; bit; bit = static_cast<uint16_t>(bit << 1)) {
        if (!(item.mask & bit)) continue;
        *set = static_cast<uint16_t>(0xFFFF & ~bit);
        EXPECT_FALSE(CompanyItemOn(item)) << bit;
      }
      *set = item.mask;
      EXPECT_TRUE(CompanyItemOn(item));
    }
    if (item.condition == Cond::Annual2020) {
      Use2020AnnualData = true;
      EXPECT_TRUE(CompanyItemOn(item));
    }
    if (item.condition == Cond::ExtraList) {
      ExtraFiles = {"A.TXT"};
      EXPECT_TRUE(CompanyItemOn(item));
    }
  }
  // The shipped defaults leave the first mileage edition off.
  ResetProgramState();
  EXPECT_FALSE(CompanyItemOn(CompanyItems()[37]));
  EXPECT_TRUE(CompanyItemOn(CompanyItems()[38]));
}

TEST_F(CompanyTableTest, PlainItemsCopyTheirFileUnderTheirLabel) {
  MakeDir("2020/FIRMA");
  for (const CompanyItem& item : CompanyItems()) {
    // The items with their own converters or work are tested with them.
    if (item.converter || item.filter || item.copy == Copy::Custom || item.copy == Copy::Matching) continue;
    SCOPED_TRACE(item.number);
    LogClear(true);
    const bool text = item.copy == Copy::Text;
    // Whole records for the conversions, which write whole records only.
    const size_t size = item.copy == Copy::Convert ? 3u * item.srcSize : 3000u;
    const Bytes data = text ? Bytes{'a', '\r', '\n', 'b', '\r', '\n'} : Distinct(size, static_cast<uint32_t>(item.number));
    WriteFile(Src(item.source), data);
    RunCompanyItem(item, kCompany);
    EXPECT_EQ(ReadFile(Dst(item.dest ? item.dest : item.source)), data);
    if (item.label) {
      EXPECT_EQ(LogShadowRow(1).substr(0, Pl(item.label).size()), Pl(item.label));
    }
  }
}

TEST_F(CompanyTableTest, LabelsWithoutLineEndContinueOnTheNextLine) {
  MakeDir("2020/FIRMA");
  WriteFile(Src("2019p5.13"), Bytes());
  RunCompanyItem(CompanyItems()[12], kCompany);
  EXPECT_EQ(LogRowStarting("PID-5 Brak pliku źródłowego " + Cp852ToUtf8(S()) + "2019p5.13"), 1);
}

// ---- the first steps ------------------------------------------------------------

TEST_F(CompanyTableTest, NoAnnualFileOnEitherSideStopsTheCompany) {
  WriteFile(Src("_qm_zev.rek"), Distinct(256, 1));
  WriteFile(Src("2019_ROK.REK"), Bytes());  // empty counts as missing
  con.Keys("Enter");
  EXPECT_FALSE(ConvertCompany(kCompany));
  const std::string s = Cp852ToUtf8(S());
  EXPECT_EQ(LogText(), "Brak :" + s + "2019_ROK.REK\nBrak :" + s +
                           "2020_ROK.REK\n\nBrak danych za rok 2019 czy 2020\n"
                           "Nie można dokonać konwersji ...\n" + std::string(20, '\n'));
  EXPECT_FALSE(Exists("2020/FIRMA"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(CompanyTableTest, OnlyThe2020AnnualFileIsEnough) {
  MinimalCompany();
  std::filesystem::rename(Path(Src("2019_ROK.REK")), Path(Src("2020_ROK.REK")));
  AllOff();
  EXPECT_TRUE(ConvertCompany(kCompany));
  EXPECT_EQ(CountOf(LogText(), "Brak :"), 1);
  EXPECT_TRUE(Exists(Dst("2020_ROK.REK")));
}

TEST_F(CompanyTableTest, StampIsTheFirst2019RecordMarkedFor2020) {
  MinimalCompany();
  AllOff();
  EXPECT_TRUE(ConvertCompany(kCompany));
  Bytes want = Distinct(256, 1);
  for (size_t off : {0u, 2u, 4u}) PutU16(want.data(), off, 2020);
  want[7] = 1;
  EXPECT_EQ(ReadFile(Dst("_qm_zev.rek")), want);
}

TEST_F(CompanyTableTest, StampThatCannotBeReadStopsTheCompany) {
  const struct {
    const char* what;
    size_t size;  // SIZE_MAX: no file
    const char* line;
  } cases[] = {
      {"missing", SIZE_MAX, "Brak dostepu do "},
      {"shorter than a record", 100, "Błąd odczytu danych z "},
      {"empty", 0, "Błąd odczytu danych z "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetProgramState();
    SourceRoot = Dir() + "2019/";
    TargetRoot = Dir() + "2020/";
    MinimalCompany();
    Fs().Remove(Path(Src("_qm_zev.rek")));
    if (c.size != SIZE_MAX) WriteFile(Src("_qm_zev.rek"), Distinct(c.size, 1));
    con.Keys("Enter");
    EXPECT_FALSE(ConvertCompany(kCompany));
    EXPECT_TRUE(LogHas(c.line + Cp852ToUtf8(S()) + "_qm_zev.rek")) << LogText();
    EXPECT_FALSE(Exists("2020/FIRMA"));
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

TEST_F(CompanyTableTest, CompanyDirectoryThatCannotBeMadeStopsTheCompany) {
  MinimalCompany();
  TargetRoot = Dir() + "missing/deeper/";
  con.capture = true;
  con.Keys("Enter");
  EXPECT_FALSE(ConvertCompany(kCompany));
  bool shown = false;
  for (const std::string& s : con.screens) shown |= s.find("Utworzenia katalogu firmy") != std::string::npos;
  EXPECT_TRUE(shown);
}

TEST_F(CompanyTableTest, WithEverythingOffACompanyStillGetsItsCoreFiles) {
  MinimalCompany();
  AllOff();
  WriteText(Src("zev_import.xml"), "<x/>");
  WriteText(Src("Notatnik.txt"), "n");
  WriteFile(Src("DANE_PR8.REK"), Distinct(2048, 1));
  EXPECT_TRUE(ConvertCompany(kCompany));
  EXPECT_TRUE(Exists(Dst("_qm_zev.rek")));
  EXPECT_TRUE(Exists(Dst("2020_ROK.REK")));
  EXPECT_EQ(ReadText(Dst("zev_import.xml")), "<x/>");
  EXPECT_FALSE(Exists(Dst("Notatnik.txt")));
  EXPECT_FALSE(Exists(Dst("DANE_PR8.REK")));
  EXPECT_TRUE(LogHas("Kopiowanie właściwe"));
  EXPECT_TRUE(LogHas("DLL : Import2ZEV.EXE -> zev_import.xml"));
  EXPECT_TRUE(LogHas("Koniec konwersji danych firmy"));
}

TEST_F(CompanyTableTest, PausePerCompanyWaitsAfterTheClosingLine) {
  MinimalCompany();
  AllOff();
  PausePerCompany = true;
  con.Keys("x");
  EXPECT_TRUE(ConvertCompany(kCompany));
  EXPECT_TRUE(LogHas("cdn - naciśnij dowolny klawisz."));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(CompanyTableTest, PeopleOfTheCompanyBeforeAreForgottenEvenWithoutTheStaffItem) {
  MinimalCompany();
  AllOff();
  PersonCount = 3;
  PersonKeys[1] = 77;
  StaffMode = 2;
  EXPECT_TRUE(ConvertCompany(kCompany));
  EXPECT_EQ(PersonCount, 0);
  EXPECT_EQ(StaffModeNow, 2);
}

TEST_F(CompanyTableTest, Annual2020DataBringsTheEarlyDeclarations) {
  MinimalCompany();
  std::filesystem::rename(Path(Src("2019_ROK.REK")), Path(Src("2020_ROK.REK")));
  AllOff();
  WriteText(Src("2020vJ17.REK"), "v7");
  WriteText(Src("2020UE01.REK"), "ue1");
  WriteText(Src("2020UEx"), "ue2");
  WriteText(Src("VATxxx.REK"), "inne");
  WriteFile(Src("2020ZAL.REK"), Distinct(2048, 3));
  EXPECT_TRUE(ConvertCompany(kCompany));
  EXPECT_TRUE(Use2020AnnualData);
  EXPECT_EQ(ReadText(Dst("2020vJ17.REK")), "v7");
  EXPECT_EQ(ReadText(Dst("2020UE01.REK")), "ue1");
  EXPECT_EQ(ReadText(Dst("2020UEx")), "ue2");
  EXPECT_EQ(ReadText(Dst("2020VXX.REK")), "inne");
  EXPECT_EQ(ReadFile(Dst("2020ZAL.REK")), Distinct(2048, 3));
}

// ---- PID-5 and PIT-28 source choice ---------------------------------------------------

TEST_F(CompanyTableTest, TaxFormSourceChoice) {
  const struct {
    const char* what;
    bool present2020;
    bool use2020;
    int32_t mode;
    const char* keys;
    bool from2020;
  } cases[] = {
      {"no 2020 form", false, false, 0, "", false},
      {"no 2020 form, 2020 annual data", false, true, 0, "", false},
      {"2020 annual data take the 2020 form unasked", true, true, 0, "", true},
      {"leave it: Z", true, false, 0, "z", true},
      {"leave all: N", true, false, 0, "n", true},
      {"replace it: W", true, false, 0, "w", false},
      {"replace all: A", true, false, 0, "a", false},
      {"standing replace all", true, false, -1, "", false},
      {"standing leave all", true, false, 1, "", true},
  };
  const struct {
    std::string (*choose)(const std::string&);
    const char* name2020;
    const char* name2019;
  } forms[] = {{Pid5Source, "2020P5.REK", "2019p5.13"}, {Pit28Source, "2020_p28.rek", "2019_p28.rek"}};
  for (const auto& f : forms) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(f.name2020) + ": " + c.what);
      ResetProgramState();
      SourceRoot = Dir() + "2019/";
      Fs().Remove(Path(Src(f.name2020)));
      if (c.present2020) WriteFile(Src(f.name2020), Distinct(10, 1));
      Use2020AnnualData = c.use2020;
      OverwriteMode = static_cast<OverwritePolicy>(c.mode);
      con.Keys(c.keys);
      EXPECT_EQ(f.choose(kCompany), S() + (c.from2020 ? f.name2020 : f.name2019));
      // The question names the bare file, not its path.
      if (*c.keys) {
        EXPECT_TRUE(LogHas(std::string("Stwierdzono obecność pliku ") + f.name2020 + "\n"));
      }
      EXPECT_EQ(con.PendingCount(), 0u);
    }
  }
}

// ---- payroll settings ----------------------------------------------------------------

Bytes Stamped(Bytes rec) {
  PutU16(rec.data(), 611, 2020);
  const uint8_t days[12] = {21, 20, 22, 21, 20, 21, 23, 20, 22, 22, 20, 21};
  for (int i = 0; i < 12; ++i) rec[632 + i] = days[i];
  return rec;
}

TEST_F(CompanyTableTest, PayrollSettingsOf2019AreStampedFor2020) {
  MakeDir("2020/FIRMA");
  const Bytes a = Distinct(2048, 1), b = Distinct(2048, 2);
  WriteFile(Src("2019_lp2.cc"), Join({a, b}));
  RunCompanyItem(CompanyItems()[23], kCompany);
  EXPECT_EQ(ReadFile(Dst("2020_lp2.cc")), Join({Stamped(a), Stamped(b)}));
}

TEST_F(CompanyTableTest, PayrollSettingsOf2020AreCopiedAfterTheStampedOnes) {
  MakeDir("2020/FIRMA");
  WriteFile(Src("2019_lp2.cc"), Distinct(2048, 1));
  WriteFile(Src("2020_lp2.cc"), Distinct(2048, 5));
  // Without the 2020 annual data the 2019 file is stamped, then the 2020
  // file of the 2019 directory meets the new one and the operator decides.
  con.Keys("z");
  RunCompanyItem(CompanyItems()[23], kCompany);
  EXPECT_EQ(ReadFile(Dst("2020_lp2.cc")), Stamped(Distinct(2048, 1)));
  // With them the 2020 file is taken as it is.
  Fs().Remove(Path(Dst("2020_lp2.cc")));
  Use2020AnnualData = true;
  RunCompanyItem(CompanyItems()[23], kCompany);
  EXPECT_EQ(ReadFile(Dst("2020_lp2.cc")), Distinct(2048, 5));
}

// ---- the extra list and the DRA declarations ------------------------------------------

TEST_F(CompanyTableTest, ExtraListCopiesItsEntriesAndRefusesPathsOutOfTheCompany) {
  MakeDir("2020/FIRMA");
  WriteText(Src("OLD.DAT"), "old");
  WriteText(Src("SAME.TXT"), "same");
  WriteText(Src("sub/IN.DAT"), "in");
  MakeDir("2020/FIRMA/sub");
  WriteText("2019/ESC.DAT", "escape");
  WriteText("2019/FIRMA/A.DAT", "a");
  ExtraFiles = {"OLD.DAT>NEW.DAT", "SAME.TXT", "", "sub\\IN.DAT",
                "../ESC.DAT", "..\\ESC.DAT", "/etc/passwd", "\\ESC.DAT", "C:\\ESC.DAT",
                "A.DAT>../A.DAT", "A.DAT>", ">A.DAT"};
  RunCompanyItem(CompanyItems()[22], kCompany);
  EXPECT_EQ(ReadText(Dst("NEW.DAT")), "old");
  EXPECT_FALSE(Exists(Dst("OLD.DAT")));
  EXPECT_EQ(ReadText(Dst("SAME.TXT")), "same");
  EXPECT_EQ(ReadText(Dst("sub/IN.DAT")), "in");
  EXPECT_FALSE(Exists("2020/ESC.DAT"));
  EXPECT_FALSE(Exists("2020/A.DAT"));
  EXPECT_FALSE(Exists(Dst("A.DAT")));
  EXPECT_EQ(CountOf(LogText(), "Pominięto pozycję spoza katalogu firmy: "), 8) << LogText();
  const int row = LogRowStarting("Pominięto pozycję spoza katalogu firmy: ../ESC.DAT");
  ASSERT_NE(row, 0);
  EXPECT_EQ(con.Attr(1, row), 12);
  EXPECT_EQ(LogRowStarting("Lista dodatkowa ...."), 1);
}

TEST_F(CompanyTableTest, DraDeclarationsAreNumberedAsTheyAreCopied) {
  MakeDir("2020/FIRMA");
  WriteText(Src("2020D501.XML"), "1");
  WriteText(Src("2020D5AB.PDF"), "2");
  WriteText(Src("2020D6XX.XML"), "3");
  WriteText(Src("2019D501.XML"), "4");
  CopyDraDeclarations(kCompany);
  EXPECT_EQ(ReadText(Dst("2020D501.XML")), "1");
  EXPECT_EQ(ReadText(Dst("2020D5AB.PDF")), "2");
  EXPECT_FALSE(Exists(Dst("2020D6XX.XML")));
  EXPECT_FALSE(Exists(Dst("2019D501.XML")));
  const std::string log = LogText();
  EXPECT_NE(log.find("1. :2020D5"), std::string::npos) << log;
  EXPECT_NE(log.find("2. :2020D5"), std::string::npos) << log;
  EXPECT_EQ(log.find("3. :"), std::string::npos);
  // The number runs into the copy's own line.
  EXPECT_NE(log.find(".XMLKopiuję "), std::string::npos);
}

}  // namespace
}  // namespace qm::test
