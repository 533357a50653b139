// Whole runs of the program over generated installations: the wizard, the
// global transfer, the company list and every company's files, checked
// against what the 2020 package expects, and the 2019 tree checked for
// changes.
#include <algorithm>
#include <cstring>
#include <set>

#include "base/cp852.h"
#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

// How the annual settings and the overwrite answers steered a company.
struct Expect {
  bool use2020 = false;              // the 2020 annual file was the source
  bool formsFrom2020File = false;    // PID-5 and PIT-28 from the 2020 forms of 2019
  bool payrollFrom2020File = false;  // 2020_lp2.cc is the 2019 directory's own
};

Expect Defaults(const Company& c) { return {c.has2020Data, c.has2020Data, c.has2020Data}; }

std::string Lower(std::string s) {
  for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

int64_t Key(const Bytes& r) {
  int64_t k;
  std::memcpy(&k, r.data(), 8);
  return k;
}
uint16_t U16(const Bytes& r, size_t off) { return static_cast<uint16_t>(r[off] | (r[off + 1] << 8)); }
Bytes Slice(const Bytes& r, size_t off, size_t n) {
  return Bytes(r.begin() + static_cast<std::ptrdiff_t>(off), r.begin() + static_cast<std::ptrdiff_t>(off + n));
}

// The value of key in section of a CR LF text file, or "<none>".
std::string IniValue(const Bytes& file, const std::string& section, const std::string& key) {
  const std::string text(file.begin(), file.end());
  std::string current;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (!line.empty() && line[0] == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
    } else if (current == section && line.compare(0, key.size() + 1, key + "=") == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return "<none>";
}

// Names of the files below dir, relative, lower case.
std::set<std::string> FileNames(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& [rel, data] : Snapshot(dir)) names.insert(Lower(rel));
  return names;
}

std::string Padded(const std::string& utf8, size_t width) {
  std::string cp = Pl(utf8);
  cp.resize(width, ' ');
  return Cp852ToUtf8(cp);
}

class EndToEnd : public E2eTest {
 protected:
  const Bytes& Before(const Company& c, const std::string& name) {
    static const Bytes kNone;
    auto it = before19.find(c.dir + "/" + sample::FileName(c, name));
    return it == before19.end() ? kNone : it->second;
  }
  std::map<int, Bytes> Journals2019(const Company& c) {
    std::map<int, Bytes> j;
    for (int m = 1; m <= 12; ++m) j[m] = Before(c, "2019K990." + std::to_string(m));
    return j;
  }

  void ExpectSame(const Company& c, const std::string& from, const std::string& to) {
    const Bytes& src = Before(c, from);
    ASSERT_FALSE(src.empty()) << c.dir << "/" << from << " is not in the sample";
    EXPECT_TRUE(ReadAll(Tgt(c, to)) == src) << c.dir << "/" << to << " differs from the 2019 " << from;
  }
  void ExpectAbsent(const Company& c, const std::string& name) {
    EXPECT_TRUE(FindNoCase(inst.root2020 + c.dir, name).empty()) << c.dir << "/" << name << " was carried";
  }

  // The forms of the people (PID-5 or PIT-28) rebuilt for 2020.
  void ExpectForms(const Company& c, const Expect& e, bool pit28) {
    const std::string name = pit28 ? "2020_p28.rek" : "2020P5.REK";
    const Bytes& src = Before(c, e.formsFrom2020File ? name : (pit28 ? "2019_p28.rek" : "2019p5.13"));
    const auto in = Split(src, 13952);
    const auto out = Split(ReadAll(Tgt(c, name)), 13952);
    ASSERT_EQ(out.size(), in.size()) << c.dir << "/" << name;
    for (size_t i = 0; i < in.size(); ++i) {
      SCOPED_TRACE(c.dir + "/" + name + " form " + std::to_string(i));
      EXPECT_EQ(Key(out[i]), Key(in[i]));
      EXPECT_EQ(Slice(out[i], 105, 32), Slice(in[i], 105, 32));  // surname
      EXPECT_EQ(Slice(out[i], 164, 224), Slice(in[i], 164, 224));  // address block
      const bool takenOver = !pit28 && e.use2020 && U16(in[i], 14) == 2020;
      if (takenOver) {
        EXPECT_EQ(Slice(out[i], 12, 8), Slice(in[i], 12, 8));
      } else {
        EXPECT_EQ(Slice(out[i], 12, 4), (Bytes{1, 1, 0xE4, 0x07}));
        if (pit28 && e.use2020 && U16(in[i], 18) == 2020)
          EXPECT_EQ(Slice(out[i], 16, 4), Slice(in[i], 16, 4));
        else
          EXPECT_EQ(Slice(out[i], 16, 4), Bytes(4, 0));
      }
      if (pit28) {
        for (size_t m = 0; m < 12; ++m) {
          EXPECT_EQ(U16(out[i], 393 + 490 * m), U16(in[i], 5783));
          EXPECT_EQ(out[i][877 + 490 * m], 3);
        }
      } else {
        // Opening amounts of the first group come from the closing ones.
        for (size_t k = 1; k <= 8; ++k) EXPECT_EQ(Slice(out[i], 788 + 424 * k, 8), Slice(in[i], 876 + 424 * k, 8));
      }
      EXPECT_EQ(out[i][13943], in[i][13943]);
    }
  }

  // One company carried with the default options of pages 2-4.
  void ExpectCarried(const Company& c, const Expect& e) {
    SCOPED_TRACE("company " + c.dir);
    ASSERT_TRUE(IsDir(inst.root2020 + c.dir));
    EXPECT_EQ(ReadAll(Tgt(c, "_qm_zev.rek")), ExpectedStamp(Before(c, "_qm_zev.rek")));
    EXPECT_TRUE(ReadAll(Tgt(c, "2020_ROK.REK")) ==
                ExpectedAnnual(Before(c, e.use2020 ? "2020_ROK.REK" : "2019_ROK.REK"), e.use2020));

    for (const char* name :
         {"FIRMA_A8.REK", "DANE_PZ.DAT", "2020PITS.REK", "UMOWY.INI", "baza_ad8.rek", "baza_sp9.rek",
          "baza_za9.rek", "baza_ff.txt", "Notatnik.txt", "BAZA_PP8.REK", "ZUS_PEL.INI", "ESTUJ.REK",
          "BAZA_PP8.INI", "BAZA_DW8.REK", "ODS_ZOB.REK", "AUTOV26.REK", "dokument.rek", "srodki.rek",
          "wyposaz.rek", "st.cnf", "stbazy.rek", "MASZYNY.REK", "BIURO.REK", "km__auta.rek", "km2001.rek",
          "km2002.rek", "zev_import.xml"})
      ExpectSame(c, name, name);
    for (const char* name : {"Notatka.txt", "Notes.txt"}) {
      if (!Before(c, name).empty())
        ExpectSame(c, name, name);
      else
        ExpectAbsent(c, name);
    }
    if (e.use2020) {
      for (const char* name : {"2020vJ17.REK", "2020UE01.REK", "2020UE02.REK", "2020kol2.rek", "2020ZAL.REK"})
        ExpectSame(c, name, name);
      ExpectSame(c, "VATxxx.REK", "2020VXX.REK");
    } else {
      for (const char* name : {"2020vJ17.REK", "2020UE01.REK", "2020VXX.REK", "2020kol2.rek", "2020ZAL.REK"})
        ExpectAbsent(c, name);
    }
    if (e.payrollFrom2020File)
      ExpectSame(c, "2020_lp2.cc", "2020_lp2.cc");
    else
      EXPECT_TRUE(ReadAll(Tgt(c, "2020_lp2.cc")) == ExpectedPayroll(Before(c, "2019_lp2.cc")));

    // People: staff not in use and family members without a person stay behind.
    const Bytes& staff = Before(c, "DANE_PR8.REK");
    const std::vector<int64_t> keys = StaffKeys(staff);
    EXPECT_TRUE(ReadAll(Tgt(c, "DANE_PR8.REK")) == KeepPeople(staff, 2048));
    EXPECT_TRUE(ReadAll(Tgt(c, "DANE_PF8.REK")) == KeepPeople(Before(c, "DANE_PF8.REK"), 352, &keys));
    ExpectForms(c, e, false);
    ExpectForms(c, e, true);

    // The company text data gains the 2019 path.
    const Bytes ini = ReadAll(Tgt(c, "FIRMATXT.INI"));
    EXPECT_EQ(IniValue(ini, "PATH", "ZEV2019"), inst.root2019 + c.dir);
    EXPECT_EQ(IniValue(ini, "PATH", "ZEV2018"), IniValue(Before(c, "FIRMATXT.INI"), "PATH", "ZEV2018"));
    EXPECT_EQ(IniValue(ini, "FIRMA", "NIP"), IniValue(Before(c, "FIRMATXT.INI"), "FIRMA", "NIP"));

    // Ledger: the 2020 journals of the 2019 directory without struck-out
    // entries, then the 2019 entries dated 2020.
    const Correction corr = ExpectedCorrection(Journals2019(c));
    EXPECT_EQ(corr.count, c.corrections);
    for (int m = 1; m <= 12; ++m) {
      std::vector<Bytes> carried;
      for (Bytes entry : Split(Before(c, "2020K990." + std::to_string(m)), 1024)) {
        if (U16(entry, 30) & 0x0002) continue;
        entry[861] = 3;
        carried.push_back(entry);
      }
      const auto moved = corr.moved.count(m) ? corr.moved.at(m) : std::vector<Bytes>{};
      const std::string name = "2020K990." + std::to_string(m);
      if (carried.empty() && moved.empty()) {
        ExpectAbsent(c, name);
        continue;
      }
      const auto out = Split(ReadAll(Tgt(c, name)), 1024);
      ASSERT_EQ(out.size(), carried.size() + moved.size()) << name;
      for (size_t i = 0; i < carried.size(); ++i)  // the entry number is the program's own
        EXPECT_EQ(Slice(out[i], 4, 1020), Slice(carried[i], 4, 1020)) << name << " entry " << i;
      for (size_t i = 0; i < moved.size(); ++i)
        EXPECT_EQ(out[carried.size() + i], moved[i]) << name << " moved entry " << i;
    }
    if (c.has2020Data) {
      for (const char* name : {"2020SP.1", "2020IDX.REK", "2020_NK8.REK", "2020D501.xml", "2020D502.xml"})
        ExpectSame(c, name, name);
      EXPECT_TRUE(ReadAll(Tgt(c, "2020WP5.REK")) == KeepPeople(Before(c, "2020WP5.REK"), 26624, &keys));
      EXPECT_TRUE(ReadAll(Tgt(c, "2020UZ5.REK")) == ExpectedContracts(Before(c, "2020UZ3.REK")));
    }

    // Not carried: the 2019 year files, and the first mileage edition (off).
    for (const char* name : {"2019_ROK.REK", "2019K990.12", "2019p5.13", "2019_p28.rek", "2019_lp2.cc",
                             "2020UZ3.REK", "praca.cel", "km.cnf", "adresy.rek", "samochod.rek", "_2020"})
      ExpectAbsent(c, name);
  }

  // The 2019 tree after the run: unchanged but for the struck-out entries
  // (and the hidden 2020 journals when asked).
  void Expect2019Tree(bool hidden) {
    Tree expected = before19;
    for (const Company& c : inst.companies) {
      if (!c.has2019Dir || c.presentIn2020) continue;
      for (const auto& [m, file] : ExpectedCorrection(Journals2019(c)).journals2019) {
        if (!file.empty()) expected[c.dir + "/" + sample::FileName(c, "2019K990." + std::to_string(m))] = file;
      }
      if (hidden) {
        for (const char* name : {"2020K990.1", "2020K990.2", "2020SP.1"}) {
          auto it = expected.find(c.dir + "/" + sample::FileName(c, name));
          if (it == expected.end()) continue;
          expected[it->first + "~"] = it->second;
          expected.erase(it);
        }
      }
    }
    const Tree after = Snapshot(inst.root2019);
    for (const auto& [rel, data] : expected) {
      auto it = after.find(rel);
      if (it == after.end())
        ADD_FAILURE() << rel << " disappeared from the 2019 tree";
      else
        EXPECT_TRUE(it->second == data) << rel << " changed in the 2019 tree";
    }
    for (const auto& [rel, data] : after)
      EXPECT_TRUE(expected.count(rel)) << rel << " appeared in the 2019 tree";
  }

  void ExpectGlobal(bool everything) {
    const std::string g19 = inst.root2019 + "#BIN990/", g20 = inst.root2020 + "#BIN020/";
    for (const char* name : {"baza_ad8.rek", "baza_ff.txt", "ZEV_QM.INI", "KOLORY.QM", "ZUS_PEL.INI", "UMOWY.INI"})
      EXPECT_TRUE(ReadAll(g20 + name) == ReadAll(g19 + name)) << name;
    EXPECT_TRUE(ReadAll(g20 + "OPERATOR.REK") == ExpectedOperators(ReadAll(g19 + "OPERATOR.REK")));
    if (inst.global2020Payroll)
      EXPECT_TRUE(ReadAll(g20 + "2020_lp2.cc") == ReadAll(g19 + "2020_lp2.cc"));
    else
      EXPECT_TRUE(ReadAll(g20 + "2020_lp2.cc") == ReadAll(g19 + "2019_lp2.cc"));
    if (everything) {
      EXPECT_TRUE(ReadAll(g20 + "2020_BR.REK") == ExpectedOffice(ReadAll(g19 + "2019_BR.REK")));
      EXPECT_TRUE(ReadAll(g20 + "2019spd.ini") == ReadAll(g19 + "2019spd.ini"));
      EXPECT_TRUE(ReadAll(g20 + "zev_2020.ini") == ReadAll(g19 + "zev_2019.ini"));
    } else {
      for (const char* name : {"2020_BR.REK", "2019spd.ini", "zev_2020.ini"}) EXPECT_FALSE(IsFile(g20 + name)) << name;
    }
  }

  void Prepare(const sample::Options& o) {
    Generate(o);
    before19 = Snapshot(inst.root2019);
    before20 = Snapshot(inst.root2020);
  }

  Tree before19, before20;
};

TEST_F(EndToEnd, FullRunCarriesEveryCompanyAndSortsThemIntoThe2020List) {
  sample::Options o;
  o.companies = 10;
  o.presentIn2020 = 1;  // ZWIR; the 2020 list also holds its own SWIERK
  Prepare(o);
  const RunResult r = Run(sample::FullRunKeys(inst));
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << "fewer questions than expected\n" << LastScreens(2);

  // The list: every carried record byte for byte, in Polish order, among the
  // companies already there (L before Ł, Z before Ż before Ź, case ignored).
  const std::vector<std::string> expectedOrder = {"AUTOSERW", "KWIATY",  "LODY",    "LACZNIK",
                                                  "SWIERK",   "PIEKARN", "TRANSPOR", "FRYZJER",
                                                  "STOLARZ",  "ZWIR",    "ZRODLO"};
  EXPECT_EQ(List2020Dirs(), expectedOrder);
  const auto list = Split(ReadAll(inst.root2020 + "SPISFIRM.DAT"), 103);
  const auto before = Split(before20.at("SPISFIRM.DAT"), 103);
  for (const Bytes& rec : list) {
    const std::string dir(reinterpret_cast<const char*>(rec.data() + 33), rec[32]);
    if (dir == "SWIERK")
      EXPECT_TRUE(std::find(before.begin(), before.end(), rec) != before.end());
    else
      EXPECT_EQ(rec, CompanyByDir(dir).record) << dir;
  }

  ExpectGlobal(false);
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir || c.presentIn2020) continue;
    ExpectCarried(c, Defaults(c));
  }
  // The lower-case company was found and carried like the others.
  EXPECT_TRUE(CompanyByDir("FRYZJER").lowerCaseNames);
  EXPECT_FALSE(FindNoCase(inst.root2020 + "FRYZJER", "DANE_PR8.REK").empty());
  // The company already present and the one without a directory are left alone.
  EXPECT_FALSE(IsDir(inst.root2020 + "ZURAW"));
  for (const auto& [rel, data] : before20) {
    if (rel.rfind("ZWIR/", 0) == 0) {
      EXPECT_TRUE(ReadAll(inst.root2020 + rel) == data) << rel;
    }
  }
  EXPECT_EQ(FileNames(inst.root2020 + "ZWIR").size(), 1u);
  Expect2019Tree(false);

  EXPECT_TRUE(Saw("Odnaleziono katalog docelowy ZWIR dla firmy Żwirownia Żak Sp. z o.o."));
  EXPECT_TRUE(Saw("Brak katalogu zródłowego    ZURAW dla firmy Zlikwidowana Spółka Żuraw"));
  EXPECT_TRUE(Saw("Napraw plik SPISFIRM.DAT !"));
  EXPECT_TRUE(Saw(Padded("Piekarnia Łódź Żółty Kruk", 31) + "■ PIEKARN"));
  EXPECT_TRUE(Saw("Kopiowanie  - FIRMA   : Piekarnia Łódź Żółty Kruk"));
  EXPECT_TRUE(Saw("              Katalog : PIEKARN"));
  EXPECT_TRUE(Saw("Dokonano korekty 3 zapisów"));
  EXPECT_TRUE(Saw("Występują dane ROCZNE za rok 2019 i 2020 !"));
  EXPECT_TRUE(Saw("Koniec pracy kopiera danych ZEV_QM na rok 2020"));
  EXPECT_TRUE(Saw("Nacisnij Enter"));

  // A second run finds every company in 2020 and carries nothing more.
  const Tree after19 = Snapshot(inst.root2019), after20 = Snapshot(inst.root2020);
  const RunResult again = Run("PgDn PgDn PgDn F5 Enter Enter Enter");
  ASSERT_EQ(again.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(again.keysLeft, 0u);
  EXPECT_TRUE(Saw("Odnaleziono katalog docelowy PIEKARN dla firmy Piekarnia Łódź Żółty Kruk"));
  EXPECT_TRUE(Saw("Zerowa ilość odczytanych firm"));
  EXPECT_FALSE(Saw("BAZA FIRM"));
  EXPECT_TRUE(Snapshot(inst.root2019) == after19);
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);
}

TEST_F(EndToEnd, EscInTheCompanyListCarriesNoCompanyAndCreatesNoList) {
  sample::Options o;
  o.companies = 4;
  Prepare(o);
  const RunResult r = Run("PgDn PgDn PgDn F5 Enter Esc Enter");
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u);
  EXPECT_TRUE(Saw(Padded("Usługi Transportowe Ślązak", 31) + "■ TRANSPOR"));
  EXPECT_FALSE(IsFile(inst.root2020 + "SPISFIRM.DAT"));
  EXPECT_EQ(FileNames(inst.root2020), (std::set<std::string>{"#bin020/", "#bin020/2020_lp2.cc",
                                                             "#bin020/baza_ad8.rek", "#bin020/baza_ff.txt",
                                                             "#bin020/kolory.qm", "#bin020/operator.rek",
                                                             "#bin020/umowy.ini", "#bin020/zev_qm.ini",
                                                             "#bin020/zus_pel.ini"}));
  EXPECT_TRUE(Snapshot(inst.root2019) == before19);
}

TEST_F(EndToEnd, NoCompanyMarkedCreatesAnEmptyListAndCarriesNothing) {
  sample::Options o;
  o.companies = 4;
  Prepare(o);
  const RunResult r = Run("PgDn PgDn PgDn F5 Enter ^D F5 Enter");
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u);
  EXPECT_TRUE(Saw(Padded("Usługi Transportowe Ślązak", 31) + Cp852ToUtf8("\xFA") + " TRANSPOR"));
  ASSERT_TRUE(IsFile(inst.root2020 + "SPISFIRM.DAT"));
  EXPECT_TRUE(ReadAll(inst.root2020 + "SPISFIRM.DAT").empty());
  for (const Company& c : inst.companies) EXPECT_FALSE(IsDir(inst.root2020 + c.dir)) << c.dir;
  EXPECT_TRUE(Snapshot(inst.root2019) == before19);
}

// "A" in the global transfer replaces every later file without a question,
// in every company: the 2019 forms are used for PID-5 and PIT-28, and the
// 2019 directory's own 2020 payroll file replaces the converted one.
TEST_F(EndToEnd, ReplaceAllAnsweredInTheGlobalTransferHoldsForEveryCompany) {
  sample::Options o;
  o.global2020Payroll = true;
  Prepare(o);
  // Companies: PIEKARN (moved entries), TRANSPOR (both annual files),
  // STOLARZ (moved), FRYZJER, ZRODLO (both, moved), KWIATY, LACZNIK (moved),
  // AUTOSERW (both). B keeps each company on its 2019 annual settings.
  const RunResult r = Run("PgDn PgDn PgDn F5 A Enter F5 Enter B Enter B Enter Enter B Enter");
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << LastScreens(2);
  EXPECT_TRUE(Saw("Stwierdzono obecność pliku " + Cp852ToUtf8(inst.root2020) + "#BIN020" + kPathSep +
                  "2020_lp2.cc"));
  ExpectGlobal(false);
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    ExpectCarried(c, c.has2020Data ? Expect{false, false, true} : Defaults(c));
  }
  Expect2019Tree(false);
}

// "N" at the first question of a company leaves every later existing file:
// the 2020 forms stay the source and the converted payroll file is kept, in
// this company and in the later ones, without another question.
TEST_F(EndToEnd, LeaveAllAnsweredInOneCompanyHoldsForTheFollowingOnes) {
  sample::Options o;
  Prepare(o);
  const RunResult r = Run("PgDn PgDn PgDn F5 Enter F5 Enter B N Enter B Enter Enter B Enter");
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << LastScreens(2);
  EXPECT_TRUE(Saw("Stwierdzono obecność pliku 2020P5.REK"));
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    ExpectCarried(c, c.has2020Data ? Expect{false, true, false} : Defaults(c));
  }
  Expect2019Tree(false);
}

// Every company box cleared (and the contracts of 2020 with them, which
// would otherwise miss their people), both mileage editions, every global
// box, and the carried 2020 journals hidden in 2019.
TEST_F(EndToEnd, ClearedOptionsCarryOnlyWhatIsLeftAndHiddenJournalsAreRenamed) {
  sample::Options o;
  o.companies = 5;
  Prepare(o);
  std::string keys = "Tab Tab Tab Tab Tab Tab Space PgDn";                  // page 1: hide
  for (int i = 0; i < 10; ++i) keys += " x Down";                           // page 2: all
  keys += " x PgDn";
  for (int i = 0; i < 15; ++i) keys += " 0 Down";                           // page 3: none
  keys += " 0 Tab Tab Tab Down Down 0 Tab Down x PgDn";                     // no contracts; KM310
  keys += " F5 Enter F5 Enter A Enter Enter Enter";                         // page 4, list, questions
  const RunResult r = Run(keys);
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << LastScreens(2);
  ExpectGlobal(true);

  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    SCOPED_TRACE(c.dir);
    std::set<std::string> expected = {"_qm_zev.rek", "2020_rok.rek", "zev_import.xml", "dokument.rek",
                                      "srodki.rek",  "wyposaz.rek",  "st.cnf",         "stbazy.rek",
                                      "maszyny.rek", "biuro.rek",    "praca.cel",      "cel2020.rek",
                                      "dom.trs",     "trasy.rek",    "km.cnf",         "adresy.rek",
                                      "samochod.rek", "_2020/",      "_2020/01.kst",   "_2020/02.kst",
                                      "_2020/01.wyj", "km__auta.rek", "km2001.rek",    "km2002.rek"};
    if (c.has2020Data) {
      for (const char* n : {"2020vj17.rek", "2020ue01.rek", "2020ue02.rek", "2020vxx.rek", "2020kol2.rek",
                            "2020zal.rek", "2020k990.1", "2020k990.2", "2020sp.1", "2020idx.rek", "2020wp5.rek",
                            "2020_nk8.rek", "2020d501.xml", "2020d502.xml"})
        expected.insert(n);
    }
    if (c.corrections) expected.insert({"2020k990.1", "2020k990.2"});
    EXPECT_EQ(FileNames(inst.root2020 + c.dir), expected);
    for (const char* n : {"praca.cel", "km.cnf", "adresy.rek", "samochod.rek"}) ExpectSame(c, n, n);
    EXPECT_TRUE(ReadAll(inst.root2020 + c.dir + "/_2020/01.kst") ==
                Before(c, sample::FileName(c, "_2020") + "/" + sample::FileName(c, "01.kst")));
    if (c.has2020Data) {
      // No staff carried: no wage record finds its person.
      EXPECT_TRUE(ReadAll(Tgt(c, "2020WP5.REK")).empty());
      EXPECT_FALSE(IsFile(inst.root2019 + c.dir + "/2020K990.1"));
      EXPECT_TRUE(IsFile(inst.root2019 + c.dir + "/2020K990.1~"));
    }
  }
  EXPECT_TRUE(Saw("Zmiana nazwy pliku " + Cp852ToUtf8(inst.root2019) + "ZRODLO" + kPathSep +
                  "2020K990.2 na "));
  Expect2019Tree(true);
}

// "Employed on 31.12.2019": whoever left before that day stays behind, and
// so do their family members and 2020 contracts (each waiting for a key);
// the list file's entries are carried for every company.
TEST_F(EndToEnd, StaffEmployedAtYearEndAndTheListFile) {
  sample::Options o;
  o.companies = 5;
  o.missingDirCompany = false;
  Prepare(o);
  WriteText("bin/qm19-20.LST", "Notatnik.txt>NOTATNIK.OLD\r\nBRAK.DAT\r\n");

  // Leavers by company, read from the (unscrambled) staff records.
  std::map<std::string, std::vector<int64_t>> leavers, kept;
  std::string keys = "PgDn PgDn Tab Down Space PgDn F5 F5";
  bool asked = false;
  for (const Company& c : inst.companies) {
    for (Bytes r : Split(Before(c, "DANE_PR8.REK"), 2048)) {
      if (r[8] == 2) sample::ScrambleStaff(r.data());
      if (Key(r) < 0) continue;
      const uint32_t left = static_cast<uint32_t>(r[213] | (r[214] << 8) | (r[215] << 16) | (r[216] << 24));
      const bool gone = left != 0 && static_cast<int32_t>(left) < static_cast<int32_t>(0x07E30C1F);  // 31.12.2019
      (gone ? leavers : kept)[c.dir].push_back(Key(r));
    }
    ASSERT_FALSE(leavers[c.dir].empty()) << c.dir;
    auto orphans = [&](const std::string& name, size_t size) {
      int n = 0;
      for (const Bytes& r : Split(Before(c, name), size))
        n += std::count(leavers[c.dir].begin(), leavers[c.dir].end(), Key(r)) ? 1 : 0;
      return n;
    };
    if (c.has2020Data && !asked) keys += " A";
    asked = asked || c.has2020Data;
    for (int i = orphans("DANE_PF8.REK", 352); i > 0; --i) keys += " Enter";
    if (c.corrections) keys += " Enter";
    if (c.has2020Data)
      for (int i = orphans("2020UZ3.REK", 552); i > 0; --i) keys += " Enter";
  }
  keys += " Enter";
  const RunResult r = Run(keys);
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << LastScreens(2);
  EXPECT_TRUE(Saw("Nie odnaleziono osoby związanej z członkiem rodziny !"));

  for (const Company& c : inst.companies) {
    SCOPED_TRACE(c.dir);
    const std::vector<int64_t>& carried = kept[c.dir];
    EXPECT_EQ(StaffKeys(ReadAll(Tgt(c, "DANE_PR8.REK"))), carried);
    EXPECT_TRUE(ReadAll(Tgt(c, "DANE_PR8.REK")) == KeepPeople(Before(c, "DANE_PR8.REK"), 2048, &carried));
    EXPECT_TRUE(ReadAll(Tgt(c, "DANE_PF8.REK")) == KeepPeople(Before(c, "DANE_PF8.REK"), 352, &carried));
    if (c.has2020Data) {
      EXPECT_TRUE(ReadAll(Tgt(c, "2020WP5.REK")) == KeepPeople(Before(c, "2020WP5.REK"), 26624, &carried));
      EXPECT_TRUE(ReadAll(Tgt(c, "2020UZ5.REK")) ==
                  ExpectedContracts(KeepPeople(Before(c, "2020UZ3.REK"), 552, &carried)));
    }
    EXPECT_TRUE(ReadAll(Tgt(c, "NOTATNIK.OLD")) == Before(c, "Notatnik.txt"));
    ExpectAbsent(c, "BRAK.DAT");
  }
}

// Every wait of a run says which key goes on: the log's waits without a
// prompt of their own show "Dowolny klawisz - dalej" on the bottom row, a
// box names its buttons' keys, a prompt written at the cursor needs
// nothing more.
TEST_F(EndToEnd, EveryWaitOfARunNamesItsKey) {
  sample::Options o;
  o.companies = 3;
  o.openDecember = true;
  Generate(o);
  con.capture = true;
  const RunResult r = Run(sample::FullRunKeys(inst));
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  const struct {
    const char* shown;   // UTF-8, on the screen waited on
    const char* bottom;  // its bottom row, from column 2
  } cases[] = {
      {"Napraw plik SPISFIRM.DAT !", "Dowolny klawisz - dalej│"},
      {"mogę przenieść niepoprawny stan BZ.2019 jako BO.2020", "Dowolny klawisz - dalej│"},
      {"Dokonano korekty", "Enter-OK│"},
      {"Nacisnij Enter", "  "},
  };
  for (const auto& c : cases) {
    const auto screen = std::find_if(con.screens.begin(), con.screens.end(), [&](const std::string& s) {
      return s.find(c.shown) != std::string::npos;
    });
    ASSERT_NE(screen, con.screens.end()) << c.shown;
    const size_t lastRow = screen->rfind('\n', screen->size() - 2) + 1;
    EXPECT_EQ(screen->substr(lastRow + 1, std::strlen(c.bottom)), c.bottom) << c.shown;
  }
}

}  // namespace
}  // namespace qm::test::e2e
