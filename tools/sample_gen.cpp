#include "tools/sample_gen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "run/contract_layout.h"
#include "run/family_layout.h"
#include "run/ledger_entry_layout.h"
#include "run/payroll_layout.h"
#include "run/repayment_layout.h"
#include "run/staff_layout.h"
#include "run/stamp_layout.h"
#include "run/tax_form_layout.h"
#include "run/wage_layout.h"

namespace qm::sample {
namespace {

namespace stdfs = std::filesystem;

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// ---------------------------------------------------------------------------
// Content randomness (not the package's generator): splitmix64, so every file
// depends only on the seed, the company and the file kind.

class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t Next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
  int Range(int lo, int hi) { return lo + static_cast<int>(Below(static_cast<uint32_t>(hi - lo + 1))); }
  bool Chance(int percent) { return Below(100) < static_cast<uint32_t>(percent); }
  // An amount in grosze precision.
  double Amount(int maxZloty) { return static_cast<double>(Below(static_cast<uint32_t>(maxZloty) * 100u)) / 100.0; }
  template <class T, size_t N>
  const T& Pick(const T (&a)[N]) {
    return a[Below(N)];
  }

 private:
  uint64_t s_;
};

uint64_t Mix(uint64_t seed, uint64_t a, uint64_t b = 0) {
  Rng r(seed ^ (a * 0x100000001B3ull) ^ (b * 0xC2B2AE3D27D4EB4Full));
  return r.Next();
}

// ---------------------------------------------------------------------------
// Record fields: little-endian numbers, length-prefixed CP852 texts.

struct Date {
  uint8_t d, m;
  uint16_t y;
};

void U8(Bytes& r, size_t off, uint8_t v) { r[off] = v; }
void U16(Bytes& r, size_t off, uint16_t v) {
  r[off] = static_cast<uint8_t>(v);
  r[off + 1] = static_cast<uint8_t>(v >> 8);
}
void U32(Bytes& r, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) r[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void I64(Bytes& r, size_t off, int64_t v) {
  const auto u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) r[off + i] = static_cast<uint8_t>(u >> (8 * i));
}
void Dbl(Bytes& r, size_t off, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) r[off + i] = static_cast<uint8_t>(u >> (8 * i));
}
void PutDateAt(Bytes& r, size_t off, Date d) {
  r[off] = d.d;
  r[off + 1] = d.m;
  U16(r, off + 2, d.y);
}
// A text field of cap characters (cap + 1 bytes); t is CP852.
void Txt(Bytes& r, size_t off, size_t cap, const std::string& t) {
  const size_t n = std::min(cap, t.size());
  r[off] = static_cast<uint8_t>(n);
  std::memcpy(r.data() + off + 1, t.data(), n);
}
// The same from a UTF-8 literal.
void TxtU(Bytes& r, size_t off, size_t cap, const char* utf8) { Txt(r, off, cap, Pl(utf8)); }

std::string Num(long long v, int width = 0) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", width, v);
  return buf;
}

std::string DateText(Date d) {
  return Num(d.d, 2) + "-" + Num(d.m, 2) + "-" + Num(d.y, 4);
}

constexpr int kDaysIn2019[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// ---------------------------------------------------------------------------
// Names and texts of the sample (UTF-8; converted to CP852 when stored).

struct RosterEntry {
  const char* name;
  const char* dir;
  const char* info;
  const char* city;
};

// The companies of the sample in the order of the 2019 list. Names mix cases
// and start with plain and accented capitals, so that the 2020 list shows the
// Polish order (L before Ł, S before Ś, Z before Ż before Ź).
constexpr RosterEntry kRoster[] = {
    {"Piekarnia Łódź Żółty Kruk", "PIEKARN", "pieczywo i ciasta", "Łódź"},
    {"Usługi Transportowe Ślązak", "TRANSPOR", "przewozy krajowe i UE", "Katowice"},
    {"ZAKŁAD STOLARSKI DĘBOWY", "STOLARZ", "meble na wymiar", "Kielce"},
    {"Zakład Fryzjerski Ewa", "FRYZJER", "salon damski i męski", "Radom"},
    {"Źródło Smaku Bar Mleczny", "ZRODLO", "gastronomia", "Kraków"},
    {"kwiaciarnia różana s.c.", "KWIATY", "kwiaty cięte, wieńce", "Poznań"},
    {"Łódzka Hurtownia Łączników", "LACZNIK", "hurt metalowy", "Łódź"},
    {"Auto-Serwis Łukasz Wiśniewski", "AUTOSERW", "mechanika pojazdowa", "Gdańsk"},
    {"Lodziarnia Lato", "LODY", "sezonowa", "Sopot"},
    {"Żwirownia Żak Sp. z o.o.", "ZWIR", "kruszywa budowlane", "Żywiec"},
    {"Apteka Pod Złotym Lwem", "APTEKA", "farmacja", "Lublin"},
    {"Biuro Rachunkowe Ćwik", "BIURORA", "usługi księgowe", "Opole"},
    {"Sklep Spożywczy Ćma", "SKLEP", "artykuły spożywcze", "Toruń"},
    {"Zegarmistrz Zenon Śliwa", "ZEGAR", "naprawy zegarków", "Płock"},
};
constexpr int kRosterSize = static_cast<int>(sizeof kRoster / sizeof kRoster[0]);

constexpr const char* kTrades[] = {"Firma Handlowa", "Usługi Budowlane", "Zakład Usługowy",
                                   "Przedsiębiorstwo", "Sklep", "Hurtownia", "Pracownia",
                                   "Warsztat", "Biuro", "Gabinet"};
constexpr const char* kSurnames[] = {
    "Kowalski", "Wiśniewska", "Żółkiewski", "Łukaszewicz", "Ślusarczyk", "Dąbrowska", "Zieliński",
    "Szczęsny", "Woźniak", "Kamińska", "Lewandowski", "Mazur", "Krawczyk", "Piątek", "Grabowski",
    "Pawłowska", "Michalski", "Król", "Wieczorek", "Jabłoński", "Wróbel", "Nowakowska", "Majewski",
    "Olszewski", "Stępień", "Malinowska", "Jaworski", "Adamczyk", "Dudek", "Nowicki", "Górski",
    "Świątek", "Źrebiec", "Ćwiklińska", "Ołdakowski"};
constexpr const char* kFirstNames[] = {
    "Jan", "Anna", "Łukasz", "Małgorzata", "Józef", "Żaneta", "Piotr", "Katarzyna", "Grzegorz",
    "Bożena", "Zdzisław", "Agnieszka", "Wojciech", "Ewa", "Sławomir", "Jolanta", "Mirosław",
    "Urszula", "Tomasz", "Halina"};
constexpr const char* kCities[] = {"Łódź", "Kraków", "Wrocław", "Poznań", "Gdańsk", "Szczecin",
                                   "Bydgoszcz", "Lublin", "Białystok", "Częstochowa", "Zielona Góra",
                                   "Gorzów Wielkopolski", "Świnoujście", "Żyrardów"};
constexpr const char* kStreets[] = {"Piotrkowska", "Żeromskiego", "Kościuszki", "Długa", "Mickiewicza",
                                    "Słowackiego", "Źródlana", "Ogrodowa", "Łąkowa", "Świętojańska",
                                    "Wólczańska", "Złota"};
constexpr const char* kPurchases[] = {
    "Zakup materiałów biurowych", "Paliwo do samochodu służbowego", "Opłata za energię elektryczną",
    "Czynsz za lokal użytkowy", "Zakup towarów handlowych", "Usługa telekomunikacyjna",
    "Naprawa urządzeń chłodniczych", "Szkolenie BHP pracowników", "Składki ZUS właściciela",
    "Wynagrodzenia pracowników", "Ubezpieczenie OC pojazdu", "Wywóz nieczystości"};
constexpr const char* kSales[] = {"Sprzedaż towarów wg raportu kasy", "Sprzedaż usług",
                                  "Przychód z usług transportowych", "Sprzedaż wyrobów gotowych",
                                  "Refaktura kosztów mediów"};
constexpr const char* kContractors[] = {
    "PHU Żbik Sp.j.", "Energa Obrót SA", "Hurtownia Ślęża", "Stacja Paliw Orzeł",
    "Biuro Podróży Łabędź", "Zakład Gospodarki Komunalnej", "Drukarnia Świt", "Mleczarnia Łowicz",
    "Piekarnia Źródełko", "Auto-Części Ćwiek"};
constexpr const char* kRelations[] = {"syn", "córka", "żona", "mąż"};

std::string NameOfPerson(Rng& r, std::string& first) {
  first = Pl(r.Pick(kFirstNames));
  return Pl(r.Pick(kSurnames));
}

// ---------------------------------------------------------------------------
// Output.

class Out {
 public:
  explicit Out(Installation& inst) : inst_(inst) {}
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  void Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
  }

  bool MakeDir(const std::string& path) {
    std::error_code ec;
    stdfs::create_directories(stdfs::path(Host(path)), ec);
    if (ec) Fail("cannot create " + path + ": " + ec.message());
    return !ec;
  }

  // A whole file at once.
  void File(const std::string& path, const Bytes& data) {
    Stream s(*this, path);
    s.Put(data.data(), data.size());
  }
  // A text file of CP852 lines, each ended with CR LF.
  void Text(const std::string& path, const std::vector<std::string>& lines) {
    Stream s(*this, path);
    for (const auto& l : lines) {
      s.Put(reinterpret_cast<const uint8_t*>(l.data()), l.size());
      s.Put(reinterpret_cast<const uint8_t*>("\r\n"), 2);
    }
  }

  // A file written piecewise through a large buffer (record files of many
  // megabytes).
  class Stream {
   public:
    Stream(Out& out, const std::string& path) : out_(out), path_(path) {
      if (!out_.ok()) return;
      f_ = std::fopen(Host(path).c_str(), "wb");
      if (!f_) {
        out_.Fail("cannot create " + path);
        return;
      }
      buf_.reserve(kBuf);
    }
    ~Stream() { Close(); }
    void Put(const uint8_t* p, size_t n) {
      if (!f_) return;
      buf_.insert(buf_.end(), p, p + n);
      if (buf_.size() >= kBuf) Drain();
    }
    void Put(const Bytes& b) { Put(b.data(), b.size()); }
    void Close() {
      if (!f_) return;
      Drain();
      if (std::fclose(f_) != 0) out_.Fail("cannot write " + path_);
      f_ = nullptr;
      out_.inst_.files++;
      out_.inst_.bytes += written_;
    }

   private:
    static constexpr size_t kBuf = 4u << 20;
    void Drain() {
      if (buf_.empty()) return;
      if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) out_.Fail("cannot write " + path_);
      written_ += buf_.size();
      buf_.clear();
    }
    Out& out_;
    std::string path_;
    FILE* f_ = nullptr;
    Bytes buf_;
    uint64_t written_ = 0;
  };

 private:
  // Names are CP852 in the program; the host keeps them as UTF-8.
  static std::string Host(const std::string& cp852) {
#ifdef _WIN32
    return cp852;
#else
    return Cp852ToUtf8(cp852);
#endif
  }
  Installation& inst_;
  std::string error_;
};

// ---------------------------------------------------------------------------
// One company's files.

struct Plan {
  int index = 0;  // among the companies with a directory
  uint64_t seed = 0;
  std::string city;   // CP852
  // Sizes (records) after scaling.
  int ledgerPerMonth = 25;
  int ledger2020PerMonth = 12;
  int assets = 4;
  int addresses = 12;
  int wages = 6;
};

class CompanyWriter {
 public:
  CompanyWriter(Out& out, const std::string& dir, Company& c, const Plan& plan)
      : out_(out), dir_(dir), c_(c), plan_(plan) {}

  void WriteAll() {
    Stamp();
    Annual(false);
    if (c_.has2020Data) Annual(true);
    TextData();
    FixedRecords("FIRMA_A8.REK", 224, 1, 11);
    Staff();
    Family();
    Binary("DANE_PZ.DAT", 300 * static_cast<size_t>(std::max(1, c_.staff)), 12);
    Binary("2020PITS.REK", 1280, 13);
    Ini("UMOWY.INI", {"[UMOWY]", "ETAT=" + Pl("pełny etat"), "OKRES=" + Pl("nieokreślony"),
                      "WYMIAR=1/1", "", "[ZLECENIA]", "STAWKA=19.70"});
    TaxForms("2019p5.13", false, 2019);
    TaxForms("2019_p28.rek", true, 2019);
    AddressBase("baza_ad8.rek", plan_.addresses);
    FixedRecords("baza_sp9.rek", 512, 6, 21);
    FixedRecords("baza_za9.rek", 512, 5, 22);
    Lines("baza_ff.txt", FunctionKeys());
    Lines("Notatnik.txt", {Pl("Zadzwonić do urzędu skarbowego w sprawie zwrotu VAT."),
                           Pl("Termin płatności ZUS: 15. dnia miesiąca."), "",
                           Pl("Klient Żbik - przypomnieć o zaległej fakturze.")});
    if (plan_.index % 2 == 0) Lines("Notatka.txt", {Pl("Inwentaryzacja na dzień 31.12.2019 - gotowa.")});
    if (plan_.index % 3 == 0) Lines("Notes.txt", {Pl("Hasło do e-Deklaracji u właściciela.")});
    FixedRecords("BAZA_PP8.REK", 432, 4, 23);
    Payroll("2019_lp2.cc", 2019);
    Ini("ZUS_PEL.INI", {"[ZUS]", "KOD=0110", "NFZ=05", "PLATNIK=" + Pl("Płatnik składek"), "",
                        "[PEL]", "UPOWAZNIONY=" + Pl("Anna Wiśniewska")});
    FixedRecords("ESTUJ.REK", 768, 2, 24);
    Ini("BAZA_PP8.INI", {"[PRZELEW]", "RACHUNEK=12 1020 3378 0000 1102 0123 4567",
                         "TYTUL=" + Pl("Zapłata za fakturę"), "DRUK=TAK"});
    FixedRecords("BAZA_DW8.REK", 784, 3, 25);
    FixedRecords("ODS_ZOB.REK", 200, 2, 26);
    FixedRecords("AUTOV26.REK", 320, 1, 27);
    Journals2019();
    if (c_.has2020Data) Entered2020();
    Assets();
    Mileage();
    Lines("zev_import.xml", {"<?xml version=\"1.0\" encoding=\"windows-1250\"?>", "<import>",
                             "  <firma katalog=\"" + c_.dir + "\"/>", "  <dokumenty ilosc=\"0\"/>",
                             "</import>"});
  }

 private:
  std::string P(const std::string& name) const { return dir_ + FileName(c_, name); }
  Rng R(uint64_t kind) const { return Rng(Mix(plan_.seed, static_cast<uint64_t>(plan_.index) + 1, kind)); }

  void Binary(const std::string& name, size_t size, uint64_t kind) {
    Rng r = R(kind);
    Bytes b(size);
    for (auto& x : b) x = static_cast<uint8_t>(r.Below(256));
    out_.File(P(name), b);
  }
  void Lines(const std::string& name, const std::vector<std::string>& lines) { out_.Text(P(name), lines); }
  void Ini(const std::string& name, const std::vector<std::string>& lines) { Lines(name, lines); }

  // Records of texts and amounts whose layout the transfer does not know:
  // a name, a city, a street, a code and a few amounts per record.
  void FixedRecords(const std::string& name, size_t size, int count, uint64_t kind) {
    Rng r = R(kind);
    Out::Stream s(out_, P(name));
    for (int i = 0; i < count; ++i) {
      Bytes b(size);
      U16(b, 0, static_cast<uint16_t>(i + 1));
      Txt(b, 2, 40, Pl(r.Pick(kContractors)));
      if (size >= 120) {
        Txt(b, 43, 26, Pl(r.Pick(kCities)));
        Txt(b, 70, 30, Pl(r.Pick(kStreets)) + " " + Num(r.Range(1, 120)));
        Txt(b, 101, 13, Num(r.Range(100, 999)) + "-" + Num(r.Range(10, 99)) + "-" + Num(r.Range(10, 99)) +
                            "-" + Num(r.Range(100, 999)));
      }
      for (size_t off = 120; off + 8 <= size && off < 200; off += 8) Dbl(b, off, r.Amount(50000));
      b[size - 1] = static_cast<uint8_t>(r.Range(1, 9));
      s.Put(b);
    }
  }

  void Stamp() {
    Bytes b(kStampRecSize);
    U16(b, kStampYear1, 2019);
    U16(b, kStampYear2, 2019);
    U16(b, kStampYear3, 2019);
    U8(b, kStampMonth, 5);
    U8(b, kStampConverted, 0);
    Txt(b, 8, 30, c_.name);
    U32(b, 40, static_cast<uint32_t>(100000 + plan_.index * 37));
    Txt(b, 44, 20, "ZEV_QM 19.12");
    for (size_t i = 200; i < 256; ++i) b[i] = static_cast<uint8_t>(i * 7 + plan_.index);
    out_.File(P(kStampFile), b);
  }

  // 2019_ROK.REK (or the 2020 one entered early): three 512-byte records.
  void Annual(bool year2020) {
    Rng r = R(year2020 ? 31 : 30);
    Bytes r1(512), r2(512), r3(512);
    U16(r1, 0, 0x0101);
    U8(r1, 2, year2020 ? 2 : 12);
    U8(r1, 3, year2020 ? 2 : (c_.openDecember ? 12 : 13));
    U8(r1, 4, 2);
    U16(r1, 5, static_cast<uint16_t>(r.Range(1, 500)));
    U16(r1, 7, static_cast<uint16_t>(r.Range(1, 500)));
    for (size_t i = 8; i < 12; ++i) U8(r1, i, 0xA5);  // stale bytes the new file drops
    U8(r1, 12, 1);
    U8(r1, 13, static_cast<uint8_t>(r.Range(0, 3)));
    U16(r1, 14, static_cast<uint16_t>(r.Range(1, 60000)));
    for (int m = 1; m <= 12; ++m) {
      const size_t o = 16 + 8 * static_cast<size_t>(m - 1);
      U16(r1, o, static_cast<uint16_t>(year2020 ? (m <= 2 ? 2 : 1) : 3));
      U16(r1, o + 2, static_cast<uint16_t>(year2020 ? 1 : 2));
      U32(r1, o + 4, static_cast<uint32_t>(r.Next()));
    }
    U16(r1, 112, 17);
    U8(r1, 114, 1);
    U8(r1, 115, 0);
    U8(r1, 116, 2);
    const bool proportion = plan_.index % 4 == 2;
    U8(r1, 117, proportion ? 1 : 0);
    U16(r1, 118, proportion ? 64 : 0);
    U16(r1, 120, proportion ? 71 : 0);  // set: no question for the new year
    U8(r1, 122, 1);
    U32(r1, 123, 0x00C0FFEE);
    U16(r1, 127, 2019);
    U8(r1, 131, 2);
    U8(r1, 133, 4);
    U16(r1, 135, 100);
    U16(r1, 137, 200);
    U16(r1, 139, 300);
    U8(r1, 141, 1);
    U8(r1, 142, 0);
    U8(r1, 143, 1);
    for (size_t i = 144; i < 150; ++i) U8(r1, i, 0x5A);
    double balance = r.Amount(80000);
    for (int k = 0; k <= 12; ++k) {
      Dbl(r1, 150 + 8 * static_cast<size_t>(k), balance);
      balance += r.Amount(20000) - 9000.0;
    }
    U16(r1, 254, 9);
    double running = 0;
    for (int m = 1; m <= 12; ++m) {
      running += r.Amount(15000);
      Dbl(r1, 256 + 8 * static_cast<size_t>(m - 1), running);
    }
    U16(r1, 364, 77);
    for (size_t i = 366; i < 408; ++i) U8(r1, i, static_cast<uint8_t>(i));
    Dbl(r1, 408, r.Amount(3000));
    U16(r1, 416, year2020 ? 2 : 12);
    U8(r1, 418, 1);
    U8(r1, 419, 2);
    U8(r1, 420, 3);
    U16(r1, 421, 4321);
    for (size_t i = 423; i < 512; ++i) U8(r1, i, static_cast<uint8_t>(0xF0 ^ i));

    U16(r2, 0, 0x0202);
    static const char* kSeries[] = {"KP", "KW", "FV", "FVK", "RK", "DW", "WB", "PK", "NK", "RS"};
    for (int i = 1; i <= 10; ++i) {
      const size_t o = 2 + 16 * static_cast<size_t>(i - 1);
      Txt(r2, o, 6, kSeries[i - 1]);
      U16(r2, o + 7, static_cast<uint16_t>(r.Range(2, 400)));
      Txt(r2, o + 9, 6, year2020 ? "/2020" : "/2019");
    }
    U8(r2, 162, 1);
    U8(r2, 163, 7);
    for (size_t i = 170; i < 512; ++i) U8(r2, i, static_cast<uint8_t>(i * 3));

    U16(r3, 0, 0x0303);
    Dbl(r3, 2, r.Amount(100000));
    Dbl(r3, 10, r.Amount(100000));
    for (size_t i = 18; i < 18 + 21 * 12; ++i) U8(r3, i, static_cast<uint8_t>(r.Below(256)));
    Dbl(r3, 270, r.Amount(5000));
    U16(r3, 278, 12);
    for (size_t i = 300; i < 512; ++i) U8(r3, i, static_cast<uint8_t>(i + 11));

    Out::Stream s(out_, P(year2020 ? "2020_ROK.REK" : "2019_ROK.REK"));
    s.Put(r1);
    s.Put(r2);
    s.Put(r3);
  }

  void TextData() {
    Rng r = R(40);
    std::string f1, f2;
    const std::string owner = NameOfPerson(r, f1);
    const std::string street = Pl(r.Pick(kStreets));
    const std::string nip = Num(r.Range(100, 999)) + "-" + Num(r.Range(10, 99)) + "-" +
                            Num(r.Range(10, 99)) + "-" + Num(r.Range(100, 999));
    auto address = [&](std::vector<std::string>& l) {
      l.push_back("KRAJ=Polska");
      l.push_back(Pl("WOJEWODZTWO=łódzkie"));
      l.push_back("GMINA=" + plan_.city);
      l.push_back("ULICA=" + street);
      l.push_back("DOM=" + Num(r.Range(1, 150)));
      l.push_back("LOKAL=" + Num(r.Range(1, 20)));
      l.push_back("MIEJSCOWOSC=" + plan_.city);
      l.push_back("KOD=" + Num(r.Range(10, 99)) + "-" + Num(r.Range(100, 999)));
      l.push_back("POCZTA=" + plan_.city);
      l.push_back("SKRYTKA=");
      l.push_back("TELEFON=" + Num(r.Range(100000000, 999999999)));
      l.push_back("POWIAT=" + plan_.city);
      l.push_back("KODUE=");
    };
    std::vector<std::string> l = {
        "[ZEV]",
        "NAZWA_ZUS=" + c_.name,
        "INFO1=" + c_.name,
        "INFO2=" + Pl("ul. ") + street + " " + Num(r.Range(1, 90)) + ", " + plan_.city,
        "INFO3=",
        "INFO4=NIP " + nip,
        "INFO5=" + c_.info,
        "PATHXML=C:\\ZEV_2019\\XML\\" + c_.dir,
        "PRZEXML=e-Deklaracje",
        "FAS=TAK",
        "",
        "[URZEDY_SKARBOWE]",
        "VAT-7=" + Pl("Urząd Skarbowy ") + plan_.city,
        "PIT-4R=" + Pl("Urząd Skarbowy ") + plan_.city,
        "PIT-8AR=" + Pl("Urząd Skarbowy ") + plan_.city,
        "PIT-XX=" + Pl("Pierwszy Urząd Skarbowy ") + plan_.city,
        "",
        "[URZEDY_SKARBOWE_EKOD]",
        "VAT-7=" + Num(r.Range(1001, 3299)),
        "PIT-4R=" + Num(r.Range(1001, 3299)),
        "PIT-8AR=" + Num(r.Range(1001, 3299)),
        "PIT-XX=" + Num(r.Range(1001, 3299)),
        "",
        "[FIRMA]",
        "TYP=" + Num(plan_.index % 2),
        "NIP=" + nip,
        "REGON=" + Num(r.Range(100000000, 999999999)),
        "",
        "[PATH]",
        "ZEV2018=C:\\ZEV_2018\\" + c_.dir,
        "ZEV2017=C:\\ZEV_2017\\" + c_.dir,
        "ZEV2016=C:\\ZEV_2016\\" + c_.dir,
        "ZEV2015=C:\\ZEV_2015\\" + c_.dir,
        "",
        "[BANKI]",
        "DEF=1",
        "DEF_ZUS=2",
        "NAZWA1=" + Pl("Bank Spółdzielczy w ") + plan_.city,
        "NRB1=12 1020 3378 0000 1102 0" + Num(r.Range(100, 999)) + " " + Num(r.Range(1000, 9999)),
        "NAZWA2=PKO BP SA",
        "NRB2=34 1020 1026 0000 1502 0" + Num(r.Range(100, 999)) + " " + Num(r.Range(1000, 9999)),
        "IRKwZUS=",
        "DATA_ZBA=15-03-2019",
        "Mikro=",
        "",
        "[OSOBA_FIZYCZNA]",
        "PESEL=" + Num(r.Range(60000000, 89999999)) + Num(r.Range(100, 999)),
        "NIP=" + nip,
        "NAZWISKO=" + owner,
        "IMIE1=" + f1,
        "IMIE2=",
        "TATA=" + Pl(r.Pick(kFirstNames)),
        "MAMA=" + Pl(r.Pick(kFirstNames)),
        "DATA_URODZENIA=" + DateText({static_cast<uint8_t>(r.Range(1, 28)), static_cast<uint8_t>(r.Range(1, 12)),
                                      static_cast<uint16_t>(r.Range(1950, 1995))}),
        "MIEJSCE_URODZENIA=" + Pl(r.Pick(kCities)),
        "OBYWATELSTWO=polskie",
        "INNY_RODZAJ=",
        "INNY_NUMER=",
        "",
        "[OSOBA_PRAWNA]",
        "NAZWA_PELNA1=" + c_.name,
        "NAZWA_PELNA2=",
        "NAZWA_SKROCONA=" + c_.name.substr(0, std::min<size_t>(c_.name.size(), 31)),
        "DATA_ROZPOCZECIA=02-01-2004",
        "",
        "[ORGAN_REJESTROWY]",
        "ORGAN=" + Pl("Prezydent Miasta ") + plan_.city,
        "REJESTR=CEIDG",
        "DATA=02-01-2004",
        "NUMER=" + Num(r.Range(10000, 99999)),
        "KOD=01",
        "ORZAL=",
        "",
        "[ADRES_SIEDZIBY]",
    };
    address(l);
    l.push_back("KODGMINY=" + Num(r.Range(1000000, 3299999)));
    l.push_back("IAP=NIE");
    l.push_back("");
    l.push_back("[ADRES_KOREPONDENCJA]");
    address(l);
    l.push_back("EMAIL=biuro@firma" + Num(plan_.index) + ".pl");
    l.push_back("FAKS=");
    l.push_back("");
    l.push_back("[ADRES_ZAMIESZKANIA]");
    address(l);
    l.push_back("");
    l.push_back("[DZIALALNOSC]");
    l.push_back("OPIS1=" + c_.info);
    l.push_back("KGN1=");
    l.push_back("EKD1=" + Num(r.Range(10, 96)) + "." + Num(r.Range(10, 99)) + "Z");
    l.push_back("");
    l.push_back("[UPOWAZNIONY]");
    l.push_back("NAZWISKO=" + Pl(r.Pick(kSurnames)));
    l.push_back("IMIE=" + Pl(r.Pick(kFirstNames)));
    l.push_back("TELEFON=" + Num(r.Range(500000000, 799999999)));
    l.push_back("EMAIL=");
    l.push_back("");
    l.push_back("[RODO]");
    l.push_back("iod_nazwisko=" + owner);
    l.push_back("iod_imie=" + f1);
    l.push_back("iod_email=");
    l.push_back("");
    l.push_back("[ZUS_ZxA]");
    l.push_back("DATAPOSK=");
    l.push_back("ZWPA_KOD=");
    l.push_back("ZPWA_KOR=NIE");
    l.push_back("DRAI01=1");
    l.push_back("RENT2018=0");
    l.push_back("RENT2019=" + Num(plan_.index % 2));
    l.push_back("DRAIX02_2019=$0001$0001$0001$0001$0001$0001$0001$0001$0001$0001$0001$0002");
    l.push_back("");
    l.push_back("[UWAGI]");
    l.push_back(Pl("; notatki biura rachunkowego"));
    l.push_back(Pl("Kontakt=właściciel, po 16:00"));
    Lines("FIRMATXT.INI", l);
  }

  struct Person {
    int64_t key;
    std::string surname, first;
  };
  std::vector<Person> people_;  // carried (key >= 0) staff, in file order

  void Staff() {
    Rng r = R(50);
    const int n = 4 + static_cast<int>(r.Below(7));
    const bool deleted = plan_.index % 4 == 1;
    Out::Stream s(out_, P("DANE_PR8.REK"));
    for (int k = 0; k < n; ++k) {
      Bytes b(kStaffRecSize);
      std::string first;
      std::string surname = NameOfPerson(r, first);
      const bool isDeleted = deleted && k == 2;
      const int64_t key = isDeleted ? -(1000 + k) : 1000 + plan_.index * 100 + k;
      I64(b, kPersonKey, key);
      U8(b, 14, k == 0 ? 2 : 1);
      TxtU(b, 15, 24, k == 0 ? "właściciel" : (k % 2 ? "sprzedawca" : "księgowa"));
      Txt(b, kStaffSurname, kStaffSurnameCap, surname);
      Txt(b, kStaffFirstName, kStaffFirstNameCap, first);
      Txt(b, 118, 11, Num(r.Range(60000000, 99999999)) + Num(r.Range(100, 999)));
      Txt(b, 144, 22, Pl(r.Pick(kFirstNames)));
      Txt(b, 167, 22, Pl(r.Pick(kFirstNames)));
      PutDateAt(b, 190, {static_cast<uint8_t>(r.Range(1, 28)), static_cast<uint8_t>(r.Range(1, 12)),
                         static_cast<uint16_t>(r.Range(1955, 2000))});
      PutDateAt(b, 194, {1, static_cast<uint8_t>(r.Range(1, 12)), static_cast<uint16_t>(r.Range(2005, 2019))});
      Txt(b, 198, 14, Pl(r.Pick(kCities)));
      // Leavers: one before the end of 2019, one on its last day.
      if (k == n - 1) PutDateAt(b, kStaffLeft, {30, 11, 2019});
      if (k == n - 2 && n > 4) PutDateAt(b, kStaffLeft, {31, 12, 2019});
      Txt(b, 217, 26, plan_.city);
      Txt(b, 244, 30, Pl(r.Pick(kStreets)));
      Txt(b, 275, 7, Num(r.Range(1, 200)));
      Txt(b, 283, 6, Num(r.Range(10, 99)) + "-" + Num(r.Range(100, 999)));
      Dbl(b, 300, 2250.0 + r.Amount(6000));
      Dbl(b, 308, r.Amount(500));
      Txt(b, 316, 4, "0110");
      Dbl(b, 1000, r.Amount(90000));
      U32(b, 2030, static_cast<uint32_t>(key * 7));
      const bool scrambled = k % 2 == 1;
      U8(b, kStaffForm, scrambled ? kStaffScrambled : kStaffPlain);
      if (scrambled) ScrambleStaff(b.data());
      s.Put(b);
      if (!isDeleted) people_.push_back({key, surname, first});
    }
    c_.staff = n;
  }

  void Family() {
    Rng r = R(51);
    Out::Stream s(out_, P("DANE_PF8.REK"));
    for (size_t i = 0; i < people_.size(); ++i) {
      if (i % 2) continue;
      const int members = 1 + static_cast<int>(r.Below(3));
      for (int m = 0; m < members; ++m) {
        Bytes b(kFamilyRecSize);
        I64(b, kPersonKey, people_[i].key);
        PutDateAt(b, kFamilyBirth, {static_cast<uint8_t>(r.Range(1, 28)), static_cast<uint8_t>(r.Range(1, 12)),
                         static_cast<uint16_t>(r.Range(1960, 2018))});
        U8(b, 12, static_cast<uint8_t>(m + 1));
        TxtU(b, kFamilyText9, 9, m == 0 ? kRelations[2 + (i % 4 == 0)] : kRelations[m % 2]);
        Txt(b, kFamilySurname, 31, people_[i].surname);
        Txt(b, kFamilyFirstName, 22, Pl(r.Pick(kFirstNames)));
        Txt(b, 111, 11, Num(r.Range(10000000, 99999999)) + Num(r.Range(100, 999)));
        U8(b, 123, m == 1 ? 1 : 0);
        s.Put(b);
      }
    }
    // A member struck from the register (negative key).
    Bytes b(kFamilyRecSize);
    I64(b, kPersonKey, -1);
    TxtU(b, kFamilySurname, 31, "Usunięty");
    s.Put(b);
  }

  // PID-5 (2019p5.13, 2020P5.REK) and PIT-28 (2019_p28.rek, 2020_p28.rek):
  // one 13952-byte form per person.
  void TaxForms(const std::string& name, bool pit28, uint16_t year) {
    Rng r = R((pit28 ? 60 : 61) + (year == 2020 ? 10 : 0));
    Out::Stream s(out_, P(name));
    int k = 0;
    for (const Person& p : people_) {
      Bytes b(kTaxFormRecSize);
      // In the 2020 forms of the 2019 directory, every other form was already
      // started for 2020; the rest still hold 2019.
      const uint16_t y = year == 2020 && (k % 2) ? 2019 : year;
      I64(b, kPersonKey, p.key);
      PutDateAt(b, kFormStart, {1, 1, y});
      PutDateAt(b, kFormDate, {31, 12, y});
      Txt(b, kFormPersonal, 65, Pl("Urząd Skarbowy ") + plan_.city);
      U32(b, 86, 0x01020304);
      Txt(b, kFormIdentity, 13, Num(r.Range(100, 999)) + "-" + Num(r.Range(100, 999)) + "-" + Num(r.Range(10, 99)) + "-" +
                         Num(r.Range(10, 99)));
      Txt(b, kFormSurname, 31, p.surname);
      Txt(b, kFormFirstName, 22, p.first);
      PutDateAt(b, 160, {12, 5, 1971});
      TxtU(b, kFormAddress, 12, "Polska");
      TxtU(b, 177, 22, "łódzkie");
      Txt(b, 200, 18, plan_.city);
      Txt(b, 219, 26, plan_.city);
      Txt(b, 246, 30, Pl(r.Pick(kStreets)));
      Txt(b, 277, 7, Num(r.Range(1, 99)));
      Txt(b, 285, 7, Num(r.Range(1, 30)));
      Txt(b, 293, 6, Num(r.Range(10, 99)) + "-" + Num(r.Range(100, 999)));
      Txt(b, 315, 26, plan_.city);
      Txt(b, 342, 26, plan_.city);
      if (pit28) {
        for (int m = 1; m <= 12; ++m) {
          const size_t o = 388 + 490 * static_cast<size_t>(m - 1);
          U8(b, o, static_cast<uint8_t>(m));
          U16(b, o + 5, static_cast<uint16_t>(m == 12 ? 300 + k : 100 + m));
          Dbl(b, o + 8, r.Amount(20000));
          Dbl(b, o + 16, r.Amount(3000));
          U8(b, o + 489, 2);
        }
      } else {
        for (int i = 1; i <= 8; ++i) {
          const size_t g = 285 + 103 * static_cast<size_t>(i);
          U8(b, g, static_cast<uint8_t>(i));
          Txt(b, g + 29, 36, Pl(r.Pick(kContractors)));
          Txt(b, g + 66, 36, Pl(r.Pick(kCities)));
          Dbl(b, 788 + 424 * static_cast<size_t>(i), r.Amount(1000));
          Dbl(b, 876 + 424 * static_cast<size_t>(i), r.Amount(30000));
          const size_t g2 = 4501 + 103 * static_cast<size_t>(i);
          U8(b, g2, static_cast<uint8_t>(i + 10));
          Txt(b, g2 + 29, 36, Pl(r.Pick(kSales)));
          Txt(b, g2 + 66, 36, Pl(r.Pick(kStreets)));
          Dbl(b, 5004 + 424 * static_cast<size_t>(i), r.Amount(1000));
          Dbl(b, 5092 + 424 * static_cast<size_t>(i), r.Amount(30000));
        }
        for (int i = 1; i <= 2; ++i) {
          const size_t base = 8651 + 169 * static_cast<size_t>(i);
          Txt(b, base, 13, Num(r.Range(100, 999)) + "-" + Num(r.Range(100, 999)) + "-" + Num(r.Range(1000, 9999)));
          Txt(b, base + 14, 14, Num(r.Range(100000000, 999999999)));
          Txt(b, base + 29, 36, Pl(r.Pick(kContractors)));
          Txt(b, base + 66, 36, Pl(r.Pick(kStreets)));
          Txt(b, base + 103, 36, Pl(r.Pick(kCities)));
          Txt(b, base + 140, 18, Pl("łódzkie"));
          U32(b, base + 159, static_cast<uint32_t>(r.Range(1, 100000)));
          U32(b, base + 163, static_cast<uint32_t>(r.Range(1, 100000)));
          U16(b, base + 167, static_cast<uint16_t>(r.Range(1, 12)));
          Dbl(b, 8636 + 522 * static_cast<size_t>(i), r.Amount(500));
          Dbl(b, 8724 + 522 * static_cast<size_t>(i), r.Amount(20000));
        }
        U8(b, 13884, 1);
        U16(b, 13886, 2019);
        U8(b, 13888, 0);
        U8(b, 13889, 2);
        U8(b, 13890, 0);
        U16(b, 13899, 7);
        U16(b, 13903, 11);
        U8(b, 13929, 1);
      }
      U8(b, 13943, 5);
      s.Put(b);
      ++k;
    }
  }

  void AddressBase(const std::string& name, int count) {
    Rng r = R(70);
    Out::Stream s(out_, P(name));
    for (int i = 0; i < count; ++i) {
      Bytes b(480);
      U32(b, 0, static_cast<uint32_t>(i + 1));
      Txt(b, 4, 60, Pl(r.Pick(kContractors)));
      Txt(b, 65, 60, i % 3 ? std::string() : Pl("oddział ") + Pl(r.Pick(kCities)));
      Txt(b, 126, 13, Num(r.Range(100, 999)) + Num(r.Range(1000000, 9999999)));
      Txt(b, 140, 26, Pl(r.Pick(kCities)));
      Txt(b, 167, 30, Pl(r.Pick(kStreets)) + " " + Num(r.Range(1, 99)));
      Txt(b, 198, 6, Num(r.Range(10, 99)) + "-" + Num(r.Range(100, 999)));
      Txt(b, 205, 40, "12 1020 " + Num(r.Range(1000, 9999)) + " 0000 " + Num(r.Range(1000, 9999)));
      U8(b, 300, static_cast<uint8_t>(i % 3));
      s.Put(b);
    }
  }

  std::vector<std::string> FunctionKeys() {
    return {Pl("F1=Zapłacono gotówką"), Pl("F2=Przelew 14 dni"), Pl("F3=Sprzedaż towarów"),
            Pl("F4=Zakup materiałów"), "F5=", Pl("F6=Usługa transportowa"), Pl("F7=Wynagrodzenie"),
            Pl("F8=Składki ZUS"), "F9=", Pl("F10=Różne koszty")};
  }

  // Payroll settings, 2048-byte records.
  void Payroll(const std::string& name, uint16_t year) {
    Rng r = R(80);
    static const char* kParts[] = {"Płaca zasadnicza", "Premia regulaminowa", "Dodatek stażowy",
                                   "Ekwiwalent za urlop"};
    static const uint8_t kDays2019[12] = {22, 20, 21, 21, 21, 19, 23, 21, 21, 23, 20, 20};
    Out::Stream s(out_, P(name));
    for (int i = 0; i < 4; ++i) {
      Bytes b(kPayrollRecSize);
      U16(b, 0, static_cast<uint16_t>(i + 1));
      TxtU(b, 2, 40, kParts[i]);
      for (size_t o = 48; o < 600; o += 8) Dbl(b, o, r.Amount(100));
      U16(b, kPayrollYear, year);
      for (int m = 0; m < 12; ++m) U8(b, kWorkingDays + static_cast<size_t>(m), kDays2019[m]);
      TxtU(b, 700, 30, "składnik opodatkowany");
      U8(b, 2047, 1);
      s.Put(b);
    }
  }

  // One 1024-byte ledger entry.
  Bytes Entry(Rng& r, uint32_t number, Date docDate, Date entryDate, Date dateB, uint16_t flags,
              uint8_t kind, bool sale, uint8_t mark) {
    Bytes e(kLedgerRecSize);
    U32(e, kEntryNumber, number);
    U16(e, kEntryMonth, entryDate.m);
    U8(e, kEntrySide, sale ? 1 : 2);
    PutDateAt(e, kEntryDateA, docDate);
    PutDateAt(e, kEntryDate, entryDate);
    PutDateAt(e, kEntryDateB, dateB);
    U32(e, kEntryAmountRef, r.Below(5000));
    U16(e, kEntryFlags, flags);
    Txt(e, kEntryTaxId, 22, Num(r.Range(100, 999)) + "-" + Num(r.Range(100, 999)) + "-" + Num(r.Range(10, 99)) + "-" +
                       Num(r.Range(10, 99)));
    const std::string doc = (sale ? "FS " : "FZ ") + Num(r.Range(1, 999)) + "/" + Num(docDate.m, 2) + "/" +
                            Num(docDate.y % 100, 2);
    Txt(e, kEntryDocNumber, 20, doc);
    Txt(e, kEntryContractor, 40, Pl(r.Pick(kContractors)));
    Txt(e, kEntryAddress, 30, Pl(r.Pick(kCities)) + ", " + Pl(r.Pick(kStreets)));
    Txt(e, kEntryDescription, 88, Pl(sale ? r.Pick(kSales) : r.Pick(kPurchases)));
    U8(e, kEntryKind, kind);
    const double amount = r.Amount(12000);
    Dbl(e, kEntryAmounts + (sale ? 0 : 24), amount);
    Dbl(e, 304, amount);
    Dbl(e, 400, amount);
    Dbl(e, 408, amount * 0.23);
    Dbl(e, 416, amount * 1.23);
    U8(e, kEntryFormatMark, mark);
    TxtU(e, kEntryOperator, 20, "ADMIN");
    return e;
  }

  // The 2019 journals, December with entries that belong to 2020.
  void Journals2019() {
    Rng r = R(90);
    int corrections = 0;
    for (int m = 1; m <= 12; ++m) {
      Out::Stream s(out_, P("2019K990." + Num(m)));
      const int n = plan_.ledgerPerMonth + static_cast<int>(r.Below(10));
      uint32_t number = 1;
      for (int i = 0; i < n; ++i) {
        const uint8_t day = static_cast<uint8_t>(1 + (i * kDaysIn2019[m - 1]) / n);
        const Date d{day, static_cast<uint8_t>(m), 2019};
        const bool struck = r.Chance(3);
        s.Put(Entry(r, number++, d, d, d, struck ? 0x0002 : 0, r.Chance(30) ? 1 : 0, r.Chance(35), 3));
      }
      if (m == 12 && plan_.index % 2 == 0) {
        // Entered into 2019 although dated 2020: moved by the correction.
        s.Put(Entry(r, number++, {5, 1, 2020}, {31, 12, 2019}, {5, 1, 2020}, 0, 0, false, 3));
        s.Put(Entry(r, number++, {30, 12, 2019}, {31, 12, 2019}, {3, 2, 2020}, 0x0011, 2, false, 3));
        s.Put(Entry(r, number++, {14, 1, 2020}, {31, 12, 2019}, {14, 1, 2020}, 0x0004, 1, true, 3));
        corrections += 3;
        // Left alone: date B in 2020 without kind 2; struck out already.
        s.Put(Entry(r, number++, {30, 12, 2019}, {30, 12, 2019}, {2, 1, 2020}, 0, 1, false, 3));
        s.Put(Entry(r, number++, {7, 1, 2020}, {31, 12, 2019}, {7, 1, 2020}, 0x0002, 0, false, 3));
      }
    }
    c_.corrections = corrections;
  }

  // Data of 2020 already entered with the 2019 installation.
  void Entered2020() {
    Rng r = R(100);
    Binary("2020vJ17.REK", 2 * 1536, 101);
    Binary("2020UE01.REK", 640, 102);
    Binary("2020UE02.REK", 640, 103);
    Binary("VATxxx.REK", 1024, 104);
    Binary("2020kol2.rek", 17 * 64, 105);
    FixedRecords("2020ZAL.REK", 1024, 2, 106);
    TaxForms("2020P5.REK", false, 2020);
    TaxForms("2020_p28.rek", true, 2020);
    Payroll("2020_lp2.cc", 2020);
    for (int m = 1; m <= 2; ++m) {
      Out::Stream s(out_, P("2020K990." + Num(m)));
      const int n = plan_.ledger2020PerMonth;
      for (int i = 0; i < n; ++i) {
        const Date d{static_cast<uint8_t>(1 + (i * 28) / n), static_cast<uint8_t>(m), 2020};
        // The package of 2019 wrote its own format mark; the second entry of
        // February was struck out.
        s.Put(Entry(r, static_cast<uint32_t>(i + 1), d, d, d, (m == 2 && i == 1) ? 0x0002 : 0, 0,
                    r.Chance(40), 2));
      }
    }
    {
      Out::Stream s(out_, P("2020SP.1"));
      for (int i = 0; i < 3; ++i) {
        Bytes b(kRepaymentRecSize);
        U32(b, kRepaymentNumber, static_cast<uint32_t>(i + 1));
        U8(b, kRepaymentKind, 1);
        PutDateAt(b, kRepaymentDate, {static_cast<uint8_t>(10 + i), 1, 2020});
        Dbl(b, kRepaymentAmount, r.Amount(4000));
        Txt(b, kRepaymentDoc, kRepaymentDocCap, "FS " + Num(100 + i) + "/11/19");
        Dbl(b, kRepaymentPaid, r.Amount(900));
        PutDateAt(b, kRepaymentDocDate, {static_cast<uint8_t>(20 + i), 11, 2019});
        s.Put(b);
      }
    }
    Binary("2020IDX.REK", 8 * 16, 107);
    {
      Out::Stream s(out_, P("2020WP5.REK"));
      std::vector<int64_t> keys;
      for (const Person& p : people_) keys.push_back(p.key);
      keys.push_back(999999);  // a person no longer on the staff list: dropped
      keys.push_back(-5);      // a slot not in use: dropped
      for (int rep = 0; rep < std::max(1, plan_.wages / static_cast<int>(keys.size())); ++rep) {
        for (int64_t key : keys) {
          Bytes b(kWageRecSize);
          I64(b, kPersonKey, key);
          U8(b, 8, static_cast<uint8_t>(rep + 1));
          static const char* kTitles[] = {"Płaca zasadnicza", "Premia", "Dodatek za noc", "Nadgodziny 50%",
                                          "Nadgodziny 100%", "Ekwiwalent", "Zasiłek chorobowy", "Potrącenia"};
          for (int t = 0; t < 8; ++t) TxtU(b, kWageTexts + kWageTextStride * static_cast<size_t>(t), kWageTextCap, kTitles[t]);
          for (size_t o = 424; o < 424 + 8 * 480; o += 8) Dbl(b, o, r.Amount(300));
          s.Put(b);
        }
      }
    }
    {
      Out::Stream s(out_, P("2020UZ3.REK"));
      static const char kKinds[] = {'1', 'R', 'A', 'Z', '6'};
      int i = 0;
      for (const Person& p : people_) {
        Bytes b(kContractSrcSize);
        I64(b, kPersonKey, p.key);
        PutDateAt(b, 8, {2, 1, 2020});
        U32(b, 12, static_cast<uint32_t>(i + 1));
        PutDateAt(b, 16, {31, 3, 2020});
        Txt(b, 20, 10, "UZ/" + Num(i + 1) + "/2020");
        Txt(b, 31, 10, "RACH/" + Num(i + 1));
        TxtU(b, 42, 60, "Prowadzenie szkoleń z zakresu bezpieczeństwa i higieny pracy dla załogi");
        Txt(b, 103, 60, Pl(r.Pick(kPurchases)));
        Txt(b, 164, 60, Pl(r.Pick(kCities)));
        U8(b, kContractCategory, static_cast<uint8_t>(1 + i % 3));
        U8(b, 226, 0);
        U8(b, kContractKindSrc, static_cast<uint8_t>(kKinds[i % 5]));
        Dbl(b, 232, r.Amount(9000));
        Dbl(b, 240, r.Amount(900));
        PutDateAt(b, 300, {15, 2, 2020});
        U8(b, 551, 1);
        s.Put(b);
        ++i;
      }
    }
    FixedRecords("2020_NK8.REK", 848, 3, 108);
    Lines("2020D501.xml", {"<?xml version=\"1.0\"?>", "<DRA miesiac=\"01\" rok=\"2020\"/>"});
    Lines("2020D502.xml", {"<?xml version=\"1.0\"?>", "<DRA miesiac=\"02\" rok=\"2020\"/>"});
  }

  // The fixed-asset add-on.
  void Assets() {
    Rng r = R(110);
    Lines("dokument.rek", {"OT=" + Pl("Przyjęcie środka trwałego"), "LT=" + Pl("Likwidacja środka trwałego"),
                           "PT=" + Pl("Przekazanie środka trwałego"), "MT=" + Pl("Zmiana miejsca użytkowania")});
    auto registerFile = [&](const std::string& name, int count) {
      Out::Stream s(out_, P(name));
      for (int i = 0; i < count; ++i) {
        Bytes b(39771);
        U32(b, 0, static_cast<uint32_t>(i + 1));
        Txt(b, 4, 60, Pl(r.Pick(kPurchases)));
        Txt(b, 65, 20, "ST/" + Num(i + 1) + "/2019");
        Txt(b, 86, 8, Num(r.Range(100, 899)));
        PutDateAt(b, 95, {static_cast<uint8_t>(r.Range(1, 28)), static_cast<uint8_t>(r.Range(1, 12)), 2017});
        const double value = 3500.0 + r.Amount(80000);
        Dbl(b, 100, value);
        Dbl(b, 108, 0.2);
        for (int m = 0; m < 36; ++m) Dbl(b, 200 + 8 * static_cast<size_t>(m), value * 0.2 / 12);
        b[39770] = 1;
        s.Put(b);
      }
    };
    registerFile("srodki.rek", plan_.assets);
    registerFile("wyposaz.rek", 2);
    registerFile("MASZYNY.REK", 2);
    registerFile("BIURO.REK", 1);
    Bytes cnf(3837);
    Txt(cnf, 0, 60, c_.name);
    U16(cnf, 61, 2019);
    U8(cnf, 63, 1);
    out_.File(P("st.cnf"), cnf);
    Out::Stream s(out_, P("stbazy.rek"));
    const char* kRegisters[] = {"srodki", "MASZYNY", "BIURO"};
    const char* kTitles[] = {"Środki trwałe", "Maszyny i urządzenia", "Wyposażenie biura"};
    for (int i = 0; i < 3; ++i) {
      Bytes b(367);
      U16(b, 0, static_cast<uint16_t>(i + 1));
      TxtU(b, 2, 48, kTitles[i]);
      Txt(b, 51, 8, kRegisters[i]);
      U8(b, 366, 1);
      s.Put(b);
    }
  }

  // The mileage add-on: the first edition's files and trips, the second
  // edition's registers.
  void Mileage() {
    Rng r = R(120);
    Bytes cnf(2395);
    Txt(cnf, 0, 40, c_.name);
    Dbl(cnf, 41, 0.8358);
    Dbl(cnf, 49, 0.2302);
    out_.File(P("km.cnf"), cnf);
    FixedRecords("adresy.rek", 557, 5, 121);
    {
      Out::Stream s(out_, P("samochod.rek"));
      for (int i = 0; i < 2; ++i) {
        Bytes b(704);
        Txt(b, 0, 10, "EL " + Num(r.Range(10000, 99999)));
        TxtU(b, 11, 30, i ? "Škoda Octavia" : "Fiat Ducato");
        U16(b, 42, static_cast<uint16_t>(i ? 1598 : 2287));
        s.Put(b);
      }
    }
    Lines("praca.cel", {Pl("Wyjazd do klienta"), Pl("Zakupy w hurtowni")});
    Binary("cel2020.rek", 320, 122);
    Lines("dom.trs", {Pl("Łódź - Zgierz 12 km")});
    Binary("trasy.rek", 480, 123);
    out_.MakeDir(dir_ + "_2020");
    for (int m = 1; m <= 2; ++m) {
      Out::Stream kst(out_, dir_ + FileName(c_, "_2020") + kSep + FileName(c_, Num(m, 2) + ".kst"));
      for (int i = 0; i < 3; ++i) {
        Bytes b(572);
        PutDateAt(b, 0, {static_cast<uint8_t>(3 + i * 7), static_cast<uint8_t>(m), 2020});
        Txt(b, 4, 40, Pl(r.Pick(kCities)) + " - " + Pl(r.Pick(kCities)));
        Dbl(b, 45, r.Amount(300));
        kst.Put(b);
      }
    }
    {
      Out::Stream wyj(out_, dir_ + FileName(c_, "_2020") + kSep + FileName(c_, "01.wyj"));
      for (int i = 0; i < 4; ++i) {
        Bytes b(128);
        PutDateAt(b, 0, {static_cast<uint8_t>(2 + i), 1, 2020});
        TxtU(b, 4, 40, "delegacja krajowa");
        wyj.Put(b);
      }
    }
    FixedRecords("km__auta.rek", 256, 2, 124);
    FixedRecords("km2001.rek", 256, 6, 125);
    FixedRecords("km2002.rek", 256, 4, 126);
  }

  Out& out_;
  std::string dir_;  // the company's 2019 directory, with a separator
  Company& c_;
  const Plan& plan_;
};

// ---------------------------------------------------------------------------
// Global files of "#BIN990".

void WriteGlobal(Out& out, const std::string& g, uint64_t seed, const Options& opt) {
  Rng r(Mix(seed, 0, 1));
  {
    Out::Stream s(out, g + "baza_ad8.rek");
    for (int i = 0; i < 25; ++i) {
      Bytes b(480);
      U32(b, 0, static_cast<uint32_t>(i + 1));
      Txt(b, 4, 60, Pl(r.Pick(kContractors)));
      Txt(b, 126, 13, Num(r.Range(100, 999)) + Num(r.Range(1000000, 9999999)));
      Txt(b, 140, 26, Pl(r.Pick(kCities)));
      Txt(b, 167, 30, Pl(r.Pick(kStreets)));
      s.Put(b);
    }
  }
  out.Text(g + "baza_ff.txt", {Pl("F1=Zapłacono gotówką"), Pl("F2=Przelew 7 dni"), Pl("F3=Sprzedaż")});
  {
    Out::Stream s(out, g + "2019_BR.REK");
    for (int i = 0; i < 2; ++i) {
      Bytes b(384);
      TxtU(b, 0, 36, i ? "Kancelaria Podatkowa Świerk" : "Biuro Rachunkowe Żaneta Ćwik");
      TxtU(b, 37, 36, "ul. Piotrkowska 112 lok. 4");
      TxtU(b, 74, 36, "90-006 Łódź");
      Txt(b, 111, 13, "725-100-20-30");
      TxtU(b, 125, 26, "Bank Spółdzielczy Łódź");
      for (int k = 1; k <= 4; ++k) {
        U16(b, 152 + 13 * static_cast<size_t>(k - 1), static_cast<uint16_t>(40 + k * 11));
        Txt(b, 154 + 13 * static_cast<size_t>(k - 1), 10, "/2019");
      }
      Txt(b, 204, 40, "12 1020 3378 0000 1102 0123 4567");
      if (i == 0) TxtU(b, 245, 36, "Prowadzenie księgi przychodów");
      U8(b, 282, 1);
      TxtU(b, 283, 26, "Żaneta Ćwik");
      for (size_t k = 310; k < 349; ++k) b[k] = static_cast<uint8_t>(k);
      U16(b, 349, 350);
      for (size_t k = 351; k < 384; ++k) b[k] = 0xEE;  // not part of the record any more
      s.Put(b);
    }
  }
  out.Text(g + "ZEV_QM.INI", {"[DLL]", "ST=ST320.DLL", "KM=KM320.DLL", "", "[DRUK]", "LPT=LPT1", "STRONA=72"});
  out.Text(g + "2019spd.ini", {"[STALE]", "KWOTA_WOLNA=8000", "PROG=85528", "STAWKA1=17", "STAWKA2=32"});
  {
    Out::Stream s(out, g + "2019_lp2.cc");
    for (int i = 0; i < 3; ++i) {
      Bytes b(2048);
      U16(b, 0, static_cast<uint16_t>(i + 1));
      TxtU(b, 2, 40, i ? "Premia uznaniowa" : "Płaca zasadnicza");
      U16(b, 611, 2019);
      s.Put(b);
    }
  }
  if (opt.global2020Payroll) {
    Bytes b(2048);
    TxtU(b, 2, 40, "Płaca zasadnicza 2020");
    U16(b, 611, 2020);
    out.File(g + "2020_lp2.cc", b);
  }
  out.File(g + "KOLORY.QM", Bytes{0x07, 0x0F, 0x1F, 0x70, 0x07, 0x02, 0x0F, 0x0F, 0x4F, 0x0F, 0x70});
  {
    Out::Stream s(out, g + "OPERATOR.REK");
    struct Op {
      const char* login;
      const char* full;
      uint16_t w3, w5;
    };
    const Op ops[] = {{"ADMIN", "Administrator systemu", 0x00FF, 0x0003},
                      {"anna", "Anna Wiśniewska", 0x0004, 0x0000},
                      {"łukasz", "Łukasz Żółkiewski", 0x0000, 0x0002},
                      {"kasia", "Katarzyna Świątek", 0x0001, 0x0000}};
    for (const Op& o : ops) {
      Bytes b(512);
      U16(b, 0, 1);
      TxtU(b, 24, 30, o.login);
      Txt(b, 55, 16, "haslo" + Num(r.Range(10, 99)));
      TxtU(b, 93, 37, o.full);
      for (int k = 0; k < 16; ++k) U16(b, 133 + 2 * static_cast<size_t>(k), static_cast<uint16_t>(k == 3 ? o.w3 : k == 5 ? o.w5 : 0x0101 * k));
      ScrambleOperator(b.data());
      s.Put(b);
    }
  }
  out.Text(g + "ZUS_PEL.INI", {"[ZUS]", "KOD=0510", "ODDZIAL=" + Pl("I Oddział w Łodzi")});
  out.Text(g + "UMOWY.INI", {"[UMOWY]", "WZOR=" + Pl("umowa o pracę na czas nieokreślony")});
  out.Text(g + "zev_2019.ini", {"[ZEV]", "ROK=2019", "KATALOG=C:\\ZEV_2019", "", "[DRUKARKA]", "TYP=LASER"});
}

std::string GeneratedName(int i, Rng& r) {
  std::string s = std::string(r.Pick(kTrades)) + " " + r.Pick(kSurnames);
  std::string num = Num(i + 1, 4);
  std::string name = Pl(s);
  if (name.size() > 26) name.resize(26);
  return name + " " + num;
}

std::string DirFor(int i) {
  // FIRMA000 .. FIRMA999, then F1000 .. F9999999: at most 8 characters.
  return i < 1000 ? "FIRMA" + Num(i, 3) : "F" + Num(i);
}

Bytes RestBytes(Rng& r, int i) {
  Bytes rest(36);
  const std::string nip = Num(r.Range(100, 999)) + Num(r.Range(1000000, 9999999));
  rest[0] = static_cast<uint8_t>(nip.size());
  std::memcpy(rest.data() + 1, nip.data(), nip.size());
  rest[14] = static_cast<uint8_t>(1 + i % 28);
  rest[15] = static_cast<uint8_t>(1 + i % 12);
  rest[16] = 0xD0;  // 2000 + ...
  rest[17] = 0x07;
  rest[18] = static_cast<uint8_t>(i % 3);
  for (size_t k = 19; k < 36; ++k) rest[k] = static_cast<uint8_t>(r.Below(256));
  return rest;
}

// The order of the package's company lists: name, directory and info,
// upper-cased, in the Polish order.
std::string ListKey(const Bytes& rec) {
  auto field = [&](size_t off, size_t cap) {
    std::string s(reinterpret_cast<const char*>(rec.data() + off + 1), std::min<size_t>(rec[off], cap));
    s.resize(cap, ' ');
    return s;
  };
  return PlUpperCase(field(0, 31) + " " + field(32, 8) + " " + field(41, 25));
}
bool ListBefore(const Bytes& a, const Bytes& b) { return PlCompare(ListKey(a), ListKey(b)) > 0; }

}  // namespace

Bytes CompanyRecord(const std::string& name, const std::string& dir, const std::string& info, const Bytes& rest) {
  Bytes b(103);
  Txt(b, 0, 31, name);
  Txt(b, 32, 8, dir);
  Txt(b, 41, 25, info);
  for (size_t i = 0; i < 36 && i < rest.size(); ++i) b[67 + i] = rest[i];
  return b;
}

void ScrambleOperator(uint8_t* rec) {
  PackageRandom g(0x3E);
  for (int i = 0; i < 512; ++i) rec[i] = static_cast<uint8_t>(rec[i] ^ g.Below(255));
}

void ScrambleStaff(uint8_t* rec) {
  PackageRandom g(0x3E);
  for (int i = 14; i <= 2021; ++i) rec[i] = static_cast<uint8_t>(rec[i] ^ g.Below(255));
}

std::string FileName(const Company& c, const std::string& name) {
  if (!c.lowerCaseNames) return name;
  std::string s = name;
  for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

bool Generate(const std::string& baseIn, const Options& opt, Installation& inst, std::string& error) {
  inst = Installation{};
  {
    // Absolute, so that a path file written from it works from anywhere.
    std::error_code ec;
    const stdfs::path abs = stdfs::absolute(stdfs::path(baseIn.empty() ? "." : baseIn), ec);
    inst.base = ec ? baseIn : abs.lexically_normal().string();
  }
  if (inst.base.empty()) inst.base = ".";
  if (inst.base.back() != kSep) inst.base += kSep;
  inst.root2019 = inst.base + "ZEV_2019" + kSep;
  inst.root2020 = inst.base + "ZEV_2020" + kSep;
  Out out(inst);
  out.MakeDir(inst.root2019);
  out.MakeDir(inst.root2020);
  const std::string global = inst.root2019 + "#BIN990" + kSep;
  out.MakeDir(global);
  WriteGlobal(out, global, opt.seed, opt);
  inst.global2020Payroll = opt.global2020Payroll;

  Rng names(Mix(opt.seed, 0, 2));
  const bool bare = opt.listOnly > 0;
  const int withDir = bare ? opt.listOnly : std::max(0, opt.companies);

  // The list: the companies with a directory, the one without after the
  // second of them.
  for (int i = 0; i < withDir; ++i) {
    Company c;
    if (!bare && i < kRosterSize) {
      c.name = Pl(kRoster[i].name);
      c.dir = kRoster[i].dir;
      c.info = Pl(kRoster[i].info);
    } else {
      c.name = GeneratedName(i, names);
      c.dir = DirFor(i);
      c.info = Pl(names.Pick(kCities));
    }
    if (!bare) {
      c.has2020Data = i % 3 == 1;
      c.lowerCaseNames = opt.lowerCaseCompany && i == 3;
      c.openDecember = opt.openDecember && i == 2;
    }
    c.record = CompanyRecord(c.name, c.dir, c.info, RestBytes(names, i));
    // An older, longer name left its tail behind the current one.
    if (i == 1) std::memcpy(c.record.data() + 1 + c.name.size(), "XYZ", 3);
    inst.companies.push_back(std::move(c));
  }
  if (!bare && opt.missingDirCompany) {
    Company c;
    c.name = Pl("Zlikwidowana Spółka Żuraw");
    c.dir = "ZURAW";
    c.info = Pl("wyrejestrowana 2019");
    c.has2019Dir = false;
    c.record = CompanyRecord(c.name, c.dir, c.info, RestBytes(names, 999));
    inst.companies.insert(inst.companies.begin() + std::min<size_t>(2, inst.companies.size()), std::move(c));
  }
  // The last companies with a directory may already be in 2020.
  int present = std::min(opt.presentIn2020, withDir);
  for (auto it = inst.companies.rbegin(); it != inst.companies.rend() && present > 0; ++it) {
    if (!it->has2019Dir) continue;
    it->presentIn2020 = true;
    --present;
  }

  // Natural size of a company, or the share of the size target.
  const int count = std::max(1, withDir);
  const double perCompany = opt.scaleMb > 0 ? opt.scaleMb * 1048576.0 / count : 0;

  if (opt.sortedList) {
    std::stable_sort(inst.companies.begin(), inst.companies.end(),
                     [](const Company& a, const Company& b) { return ListBefore(a.record, b.record); });
  }
  {
    Out::Stream list(out, inst.root2019 + "SPISFIRM.DAT");
    for (const Company& c : inst.companies) list.Put(c.record);
  }

  int index = 0;
  for (Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    const std::string dir = inst.root2019 + c.dir + kSep;
    out.MakeDir(dir);
    Plan plan;
    plan.index = index++;
    plan.seed = opt.seed;
    plan.city = Pl(plan.index < kRosterSize ? kRoster[plan.index].city : kCities[plan.index % 14]);
    if (perCompany > 0) {
      plan.ledgerPerMonth = std::max(plan.ledgerPerMonth, static_cast<int>(perCompany * 0.55 / 12 / 1024));
      plan.assets = std::max(plan.assets, static_cast<int>(perCompany * 0.15 / 39771));
      plan.addresses = std::max(plan.addresses, static_cast<int>(perCompany * 0.12 / 480));
      if (c.has2020Data) {
        plan.ledger2020PerMonth = std::max(plan.ledger2020PerMonth, static_cast<int>(perCompany * 0.05 / 2 / 1024));
        plan.wages = std::max(plan.wages, static_cast<int>(perCompany * 0.05 / kWageRecSize));
      }
    }
    CompanyWriter w(out, dir, c, plan);
    if (bare) {
      // Only what a transfer needs to accept the company.
      Bytes stamp(256);
      U16(stamp, 0, 2019);
      U16(stamp, 2, 2019);
      U16(stamp, 4, 2019);
      out.File(dir + "_qm_zev.rek", stamp);
      Bytes rok(3 * 512);
      U8(rok, 3, 13);
      U8(rok, 4, 2);
      out.File(dir + "2019_ROK.REK", rok);
    } else {
      w.WriteAll();
    }
    if (!out.ok()) break;
  }

  // Companies already present in 2020, and a 2020 list holding them and one
  // company of the 2020 installation's own, in the list's order.
  std::vector<Bytes> list2020;
  for (const Company& c : inst.companies) {
    if (!c.presentIn2020) continue;
    const std::string dir = inst.root2020 + c.dir + kSep;
    out.MakeDir(dir);
    Bytes stamp(256);
    U16(stamp, 0, 2020);
    U16(stamp, 2, 2020);
    U16(stamp, 4, 2020);
    U8(stamp, 7, 1);
    out.File(dir + "_qm_zev.rek", stamp);
    list2020.push_back(c.record);
  }
  if (!list2020.empty()) {
    Rng r(Mix(opt.seed, 0, 3));
    list2020.push_back(CompanyRecord(Pl("Nowa Firma Świerk"), "SWIERK", Pl("założona w 2020"), RestBytes(r, 2020)));
    out.MakeDir(inst.root2020 + "SWIERK" + kSep);
    std::stable_sort(list2020.begin(), list2020.end(), ListBefore);
    Out::Stream s(out, inst.root2020 + "SPISFIRM.DAT");
    for (const auto& rec : list2020) s.Put(rec);
  }

  if (!out.ok()) {
    error = out.error();
    return false;
  }
  return true;
}

bool WritePathFile(const std::string& programBase, const Installation& inst, std::string& error) {
  std::string path = programBase;
  const bool hasExt = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".PTH") == 0);
  if (!hasExt) path += ".PTH";
  auto strip = [](std::string s) {
    if (!s.empty() && s.back() == kSep) s.pop_back();
    return s;
  };
  const std::string text =
      "[PATHS]\r\nZEV_2019=" + strip(inst.root2019) + "\r\nZEV_2020=" + strip(inst.root2020) + "\r\n";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot create " + path;
    return false;
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string FullRunKeys(const Installation& inst) {
  std::string keys = "PgDn PgDn PgDn F5";
  // The global transfer's second payroll copy lands on the first one.
  if (inst.global2020Payroll) keys += " W";
  bool missing = false, any = false;
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) missing = true;
    if (c.has2019Dir && !c.presentIn2020) any = true;
  }
  if (missing) keys += " Enter";  // "Napraw plik ..." waits for a key
  if (!any) return keys + " Enter";  // "Zerowa ilość ..." and the end
  keys += " F5";
  bool preferAll = false;
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir || c.presentIn2020) continue;
    if (c.has2020Data && !preferAll) {
      keys += " A";  // annual settings of both years: 2020 for all
      preferAll = true;
    }
    if (c.openDecember && !c.has2020Data) keys += " Enter";
    if (c.corrections > 0) keys += " Enter";  // the summary of moved entries
  }
  return keys + " Enter";
}

}  // namespace qm::sample
