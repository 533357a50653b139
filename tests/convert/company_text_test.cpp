// The company text data file FIRMATXT.INI: its keys, their order and kinds,
// and its carrying into 2020.
#include <string>
#include <vector>

#include "base/cp852.h"
#include "convert/addons.h"
#include "convert/annual_settings.h"
#include "driver/wizard.h"
#include "run/company_text_data.h"
#include "run/package_config.h"
#include "tests/convert/copy_support.h"
#include "tests/support/faulty_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

std::string Address(const std::string& section, const std::string& tag) {
  std::string s = "[" + section + "]\n";
  for (const char* k : {"KRAJ", "WOJEWODZTWO", "GMINA", "ULICA", "DOM", "LOKAL", "MIEJSCOWOSC", "KOD",
                        "POCZTA", "SKRYTKA", "TELEFON", "POWIAT", "KODUE"}) {
    s += std::string(k) + "=" + tag + std::string(k).substr(0, 3) + "\n";
  }
  return s;
}

// A complete file as the program writes it for 2020, with a distinct value
// in every key, sections in the order of their first key.
std::string FullFile() {
  std::string s =
      "[ZEV]\n"
      "NAZWA_ZUS=Piekarnia Łódź\n"
      "INFO1=i1\nINFO2=i2\nINFO3=\nINFO4=i4\nINFO5=i5\n"
      "PATHXML=C:\\XML\\\n"
      "PRZEXML=prz\n"
      "FAS=NIE\n"
      "\n"
      "[URZEDY_SKARBOWE]\n"
      "VAT-7=US Kraków\nPIT-4R=US Gdańsk\nPIT-8AR=US Łomża\nPIT-XX=US Żary\n"
      "\n"
      "[URZEDY_SKARBOWE_EKOD]\n"
      "VAT-7=1201\nPIT-4R=2202\nPIT-8AR=2003\nPIT-XX=0804\n"
      "\n"
      "[FIRMA]\nTYP=3\nNIP=123-456-78-90\nREGON=012345678\n\n"
      "[PATH]\nZEV2019=D:\\ZEV19\\F1\nZEV2018=D:\\ZEV18\\F1\nZEV2017=D:\\Z17\nZEV2016=D:\\Z16\n\n"
      "[BANKI]\nDEF=2\nDEF_ZUS=4\n"
      "NAZWA1=Bank 1\nNRB1=11\nNAZWA2=Bank 2\nNRB2=22\nNAZWA3=Bank 3\nNRB3=33\n"
      "NAZWA4=Bank 4\nNRB4=44\nNAZWA5=Bank 5\nNRB5=55\n"
      "IRKwZUS=irk\nDATA_ZBA=05-01-2020\nMikro=mikro\n\n"
      "[OSOBA_FIZYCZNA]\nPESEL=80010112345\nNIP=987\nNAZWISKO=Ślązak\nIMIE1=Józef\nIMIE2=Jan\n"
      "TATA=Piotr\nMAMA=Maria\nDATA_URODZENIA=01-01-1980\nMIEJSCE_URODZENIA=Bytom\n"
      "OBYWATELSTWO=polskie\nINNY_RODZAJ=P\nINNY_NUMER=AB123\n\n"
      "[OSOBA_PRAWNA]\nNAZWA_PELNA1=Pełna 1\nNAZWA_PELNA2=Pełna 2\nNAZWA_SKROCONA=Skrót\n"
      "DATA_ROZPOCZECIA=-\n\n"
      "[ORGAN_REJESTROWY]\nORGAN=Sąd\nREJESTR=KRS\nDATA=31-12-1999\nNUMER=0000123\nKOD=K1\n"
      "ORZAL=orz\n\n";
  s += Address("ADRES_SIEDZIBY", "s") + "KODGMINY=1234567\nIAP=TAK\n\n";
  s += Address("ADRES_KOREPONDENCJA", "k") + "EMAIL=biuro@firma.pl\nFAKS=123\n\n";
  s += Address("ADRES_ZAMIESZKANIA", "z") + "\n";
  s += Address("ADRES_DOKUMENTACJI", "d") + "\n";
  s +=
      "[DZIALALNOSC]\nOPIS1=Wypiek\nKGN1=k1\nEKD1=e1\nOPIS2=Handel\nKGN2=k2\nEKD2=e2\n\n"
      "[UPOWAZNIONY]\nNAZWISKO=Nowak\nIMIE=Ewa\nTELEFON=600\nEMAIL=ewa@x.pl\n\n"
      "[RODO]\niod_nazwisko=Iod\niod_imie=Ida\niod_email=iod@x.pl\nfpd_nazwa=Fpd\n"
      "fpd_adres=Adres\nfpd_NIP=111\nfpd_email=fpd@x.pl\n\n"
      "[BR]\nNAZWA=Biuro\nNIP=222\nREGON=333\nUMOWA=U/1\n\n"
      "[ZUS_ZxA]\nDATAPOSK=02-02-2020\nWYPELNIONO=03-03-2020\nZWPA_KOD=z1\nZWPA_DATA=04-04-2020\n"
      "ZPWA_KOR=NIE\nPPPATH=C:\\PP\nDRAI01=D\nRENT2019=7\nRENT2020=-8\nRxA=9\nzwFGSP=1\n"
      "DRAIX02_2020=$0001$0002$0003$0004$0005$0006$0007$0008$0009$000A$00FF$FFFF\n\n"
      "[ZIPA]\nI=12\n01=z01\n02=z02\n03=z03\n04=Q\n05=z05\n06=z06\n07=z07\n08=z08\n"
      "09=06-06-2020\nIV09=07-07-2020\n\n";
  return s;
}

// The CP852 file text with CR LF line ends.
std::string OnDisk(const std::string& utf8) {
  std::string out;
  for (char c : Pl(utf8)) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class CompanyTextTest : public QmTest {
 protected:
  CompanyTextData Read(const std::string& text) {
    WriteText("in.ini", OnDisk(text));
    CompanyTextData r;
    CompanyTextData::Transfer(Path("in.ini"), CompanyTextData::Direction::Read, r);
    return r;
  }
};

TEST_F(CompanyTextTest, KeysOfTheWorkingYear) {
  std::vector<std::string> path;
  for (const TextKey& k : CompanyTextKeys(2020))
    if (k.section == "PATH") path.push_back(k.key);
  EXPECT_EQ(path, (std::vector<std::string>{"ZEV2019", "ZEV2018", "ZEV2017", "ZEV2016"}));
  size_t n = 0;
  for (const TextKey& k : CompanyTextKeys(2021)) {
    n += k.key == "RENT2020" || k.key == "RENT2021" || k.key == "DRAIX02_2021" || k.key == "ZEV2017";
  }
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(CompanyTextKeys(2020).size(), CompanyTextKeys(2021).size());
}

TEST_F(CompanyTextTest, WrittenInTableOrderAndReadBack) {
  // Every field set from the text, written to a new file: the same text.
  CompanyTextData r = Read(FullFile());
  EXPECT_FALSE(CompanyFas);
  CompanyTextData::Transfer(Path("out.ini"), CompanyTextData::Direction::Write, r);
  EXPECT_EQ(ReadText("out.ini"), OnDisk(FullFile()));
}

TEST_F(CompanyTextTest, ValuesOfEachKind) {
  const CompanyTextData r = Read(FullFile());
  EXPECT_EQ(r.Text("ZEV", "NAZWA_ZUS"), Pl("Piekarnia Łódź"));
  EXPECT_EQ(r.Text("zev", "info3"), "");
  EXPECT_EQ(r.Find("FIRMA", "TYP")->number, 3);
  EXPECT_EQ(r.Find("BANKI", "DATA_ZBA")->date, (PackedDate{5, 1, 2020}));
  EXPECT_FALSE(DateIsSet(r.Find("OSOBA_PRAWNA", "DATA_ROZPOCZECIA")->date));
  EXPECT_EQ(r.Find("ADRES_SIEDZIBY", "IAP")->number, 1);
  EXPECT_EQ(r.Find("ZUS_ZxA", "ZPWA_KOR")->number, 0);
  EXPECT_EQ(r.Text("OSOBA_FIZYCZNA", "INNY_RODZAJ"), "P");
  EXPECT_EQ(r.Find("ZUS_ZxA", "RENT2020")->number, -8);
  const auto& months = r.Find("ZUS_ZxA", "DRAIX02_2020")->months;
  EXPECT_EQ(months[0], 1);
  EXPECT_EQ(months[9], 10);
  EXPECT_EQ(months[10], 255);
  EXPECT_EQ(months[11], 0xFFFF);
  EXPECT_EQ(r.Text("ADRES_KOREPONDENCJA", "POCZTA"), "kPOC");
}

TEST_F(CompanyTextTest, MissingKeysTakeTheirDefaults) {
  const CompanyTextData r = Read("[BANKI]\nDEF=2\n");
  EXPECT_EQ(r.Find("BANKI", "DEF_ZUS")->number, 2);
  EXPECT_EQ(r.Find("FIRMA", "TYP")->number, 0);
  EXPECT_EQ(r.Text("ZIPA", "04"), " ");
  EXPECT_EQ(r.Find("ADRES_SIEDZIBY", "IAP")->number, 0);
  EXPECT_FALSE(DateIsSet(r.Find("ZIPA", "09")->date));
  EXPECT_TRUE(CompanyFas);
  // A blank character goes back as an empty value.
  CompanyTextData w = r;
  CompanyTextData::Transfer(Path("out.ini"), CompanyTextData::Direction::Write, w);
  EXPECT_NE(ReadText("out.ini").find("\r\n04=\r\n"), std::string::npos);
}

TEST_F(CompanyTextTest, BankForSocialInsuranceFollowsTheDefaultBank) {
  struct Case {
    const char* text;
    int16_t want;
  } cases[] = {
      {"[BANKI]\nDEF=2\n", 2},
      {"[BANKI]\nDEF=3\nDEF_ZUS=31\n", 3},
      {"[BANKI]\nDEF=3\nDEF_ZUS=$1F\n", 3},
      {"[BANKI]\nDEF=3\nDEF_ZUS=5\n", 5},
      {"[BANKI]\nDEF_ZUS=0\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.text).Find("BANKI", "DEF_ZUS")->number, c.want) << c.text;
}

TEST_F(CompanyTextTest, MonthlyValuesText) {
  std::array<uint16_t, 12> m{};
  for (size_t i = 0; i < 12; ++i) m[i] = static_cast<uint16_t>(i * 0x1111 + 0xA);
  const std::string text = MonthlyValuesText(m);
  EXPECT_EQ(text.size(), 60u);
  EXPECT_EQ(text.substr(0, 15), "$000A$111B$222C");
  EXPECT_EQ(ParseMonthlyValues(text), m);

  const auto parsed = ParseMonthlyValues("$0001$0002$00G1$0004xyz");
  EXPECT_EQ(parsed[0], 1);
  EXPECT_EQ(parsed[1], 2);
  EXPECT_EQ(parsed[2], 0);  // not a hexadecimal digit
  EXPECT_EQ(parsed[3], 4);
  EXPECT_EQ(parsed[4], 0);  // a short group
  EXPECT_EQ(parsed[11], 0);
}

TEST_F(CompanyTextTest, TextsCutToTheirCapacity) {
  const std::string hundred(100, 'x');
  const CompanyTextData r = Read("[ORGAN_REJESTROWY]\nKOD=" + hundred + "\nORZAL=" + hundred +
                                 "\n[ADRES_SIEDZIBY]\nKOD=" + hundred + "\n");
  EXPECT_EQ(r.Text("ORGAN_REJESTROWY", "KOD"), "xx");
  EXPECT_EQ(r.Text("ORGAN_REJESTROWY", "ORZAL").size(), 70u);
  EXPECT_EQ(r.Text("ADRES_SIEDZIBY", "KOD").size(), 6u);
  CompanyTextData w;
  // The data paths of earlier years are whole installation paths.
  w.SetText("PATH", "ZEV2019", hundred);
  EXPECT_EQ(w.Text("PATH", "ZEV2019").size(), 100u);
  w.SetText("PATH", "ZEV2019", std::string(300, 'p'));
  EXPECT_EQ(w.Text("PATH", "ZEV2019").size(), 255u);
  w.SetText("NIEMA", "KLUCZA", "x");  // no such key: nothing happens
}

TEST_F(CompanyTextTest, ConversionRecordsThePreviousYearPathAndKeepsTheRest) {
  WriteText("2019/FIRMATXT.INI", OnDisk(FullFile()));
  WriteText("2020/FIRMATXT.INI",
            OnDisk("; uwaga\n[INNE]\nX=1\n[ZEV]\nNAZWA_ZUS=stara\nWLASNY=7\n[PATH]\nZEV2015=E:\\Z15\n"));
  PreviousYearPath = "D:\\NOWA\\F1";
  WorkingYear = 2017;
  ConvertCompanyTextData(Path("2019/FIRMATXT.INI"), Path("2020/FIRMATXT.INI"));
  EXPECT_EQ(WorkingYear, 2020);
  EXPECT_EQ(CurrentCompanyText, nullptr);

  const std::string out = ReadText("2020/FIRMATXT.INI");
  for (const char* kept : {"; uwaga\r\n", "[INNE]\r\nX=1\r\n", "WLASNY=7\r\n", "ZEV2015=E:\\Z15\r\n"}) {
    EXPECT_NE(out.find(kept), std::string::npos) << kept;
  }
  EXPECT_NE(out.find(Pl("NAZWA_ZUS=Piekarnia Łódź\r\n")), std::string::npos);
  EXPECT_NE(out.find("ZEV2019=D:\\NOWA\\F1\r\nZEV2018=D:\\ZEV18\\F1\r\n"), std::string::npos);
  EXPECT_EQ(out.find("stara"), std::string::npos);

  // A 2020 file that does not exist yet is created.
  ConvertCompanyTextData(Path("2019/FIRMATXT.INI"), Path("2020/NOWY.INI"));
  const std::string created = ReadText("2020/NOWY.INI");
  EXPECT_EQ(created.substr(0, 7), "[ZEV]\r\n");
  EXPECT_NE(created.find("ZEV2019=D:\\NOWA\\F1\r\n"), std::string::npos);
}

// A FIRMATXT.INI line holds 255 characters: the longest 2019 path that fits
// after "ZEV2019=" is written whole, one character more is refused and named.
TEST_F(CompanyTextTest, PreviousYearPathLongerThanALineIsRefusedAndNamed) {
  WriteText("2019/FIRMATXT.INI", OnDisk(FullFile()));
  MakeDir("2020");
  for (const size_t length : {247u, 248u}) {
    SCOPED_TRACE(length);
    PreviousYearPath = "D:\\" + std::string(length - 3, 'k');
    ConvertCompanyTextData(Path("2019/FIRMATXT.INI"), Path("2020/FIRMATXT.INI"));
    const std::string out = ReadText("2020/FIRMATXT.INI");
    const bool fits = length == 247;
    EXPECT_EQ(out.find("ZEV2019=" + PreviousYearPath + "\r\n") != std::string::npos, fits);
    EXPECT_EQ(out.find("ZEV2019=\r\n") != std::string::npos, !fits);
    // The screen row shows the line's beginning (the report holds it whole).
    EXPECT_EQ(LogText().find("za długa dla ZEV2019 w FIRMATXT.INI (ponad 247 znaków): D:\\kkk") != std::string::npos,
              !fits);
  }
}

// The 2020 file that cannot be written back whole is reported and waited
// for; a file written well says nothing.
TEST_F(CompanyTextTest, FailedWriteBackIsReported) {
  WriteText("2019/FIRMATXT.INI", OnDisk(FullFile()));
  MakeDir("2020");
  FaultyFs faulty(*fs);
  SetFileSystem(&faulty);
  faulty.DiskFullAt(1);
  con.Keys("Enter");
  ConvertCompanyTextData(Path("2019/FIRMATXT.INI"), Path("2020/FIRMATXT.INI"));
  SetFileSystem(fs.get());
  EXPECT_NE(LogText().find("Błąd zapisu do pliku " + Path("2020/FIRMATXT.INI")), std::string::npos)
      << LogText();
  EXPECT_EQ(con.PendingCount(), 0u);  // the key was waited for

  ConvertCompanyTextData(Path("2019/FIRMATXT.INI"), Path("2020/FIRMATXT.INI"));
  EXPECT_EQ(CountOf(LogText(), "Błąd zapisu"), 1);
  EXPECT_NE(ReadText("2020/FIRMATXT.INI").find("ZEV2019="), std::string::npos);
}

TEST_F(CompanyTextTest, UnwritableFileEndsTheProgram) {
  MakeDir("katalog.ini");
  CompanyTextData r;
  con.capture = true;
  con.Keys("Enter");
  EXPECT_EQ(CompanyTextData::Transfer(Path("katalog.ini"), CompanyTextData::Direction::Write, r),
            TextTransfer::NotOpened);
  try {
    if (const RunStop stop = ConvertCompanyTextData(Path("brak.ini"), Path("katalog.ini"))) StopRun(stop);
    FAIL() << "the program went on";
  } catch (const ProgramExited& e) {
    EXPECT_EQ(e.code, 0);
  }
  bool shown = false;
  for (const std::string& s : con.screens) shown = shown || s.find("Błąd odczytu danych firmy") != std::string::npos;
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace qm::test
