#include "convert/annual_settings.h"

#include <array>
#include <cstring>

#include "base/cp852.h"
#include "base/message_text.h"
#include "base/record_fields.h"
#include "base/text.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_operator.h"
#include "run/run_settings.h"

namespace qm {

bool Prefer2020ForAll = false;
bool Use2020AnnualData = false;
std::string PreviousYearPath;

namespace {

constexpr size_t kAnnualRecSize = 512;

// How one field of a new record is filled.
enum class Fill : uint8_t {
  Copy,      // the source's bytes at the same offset
  CopyText,  // a short text of width - 1 characters, re-stored
  Set,       // the constant arg (little-endian, width bytes)
  From,      // the source's bytes at offset arg
  Zero,      // left at 0
};

struct Rule {
  Fill fill;
  uint32_t arg = 0;
};

// A field, or a run of count fields stride bytes apart, with its rule for a
// 2019 source and for a 2020 source.
struct FieldRow {
  uint16_t offset;
  uint16_t width;
  uint16_t count;
  uint16_t stride;
  Rule from2019;
  Rule from2020;
};

constexpr Rule kCopy{Fill::Copy};
constexpr Rule kText{Fill::CopyText};
constexpr Rule kZero{Fill::Zero};
constexpr Rule Set(uint32_t v) { return Rule{Fill::Set, v}; }
constexpr Rule From(uint32_t off) { return Rule{Fill::From, off}; }

// General settings. Month-bound state starts afresh from a 2019 source and
// the year-end balances become the opening ones; a 2020 source keeps them.
constexpr FieldRow kRecord1[] = {
    {0, 2, 1, 0, kCopy, kCopy},          // record header
    {2, 1, 1, 0, Set(1), kCopy},         // first open month
    {3, 1, 1, 0, Set(1), kCopy},         // first month not approved
    {4, 1, 1, 0, Set(3), Set(3)},        // format mark
    {5, 2, 1, 0, kCopy, kCopy},
    {7, 2, 1, 0, kCopy, kCopy},
    {12, 1, 2, 1, kCopy, kCopy},
    {14, 2, 1, 0, kCopy, kCopy},
    {16, 2, 12, 8, Set(1), kCopy},       // per-month state, first word
    {18, 2, 12, 8, Set(1), kCopy},       // per-month state, second word
    {112, 2, 1, 0, kCopy, kCopy},
    {114, 1, 3, 1, kCopy, kCopy},
    {117, 1, 1, 0, kCopy, kCopy},        // VAT settled by proportion
    {118, 2, 1, 0, From(120), kCopy},    // VAT proportion of the year
    {120, 2, 1, 0, kZero, kZero},        // proportion assumed for next year
    {122, 1, 1, 0, kCopy, kCopy},
    {123, 4, 1, 0, kCopy, kCopy},
    {127, 2, 1, 0, kCopy, kCopy},
    {131, 1, 1, 0, Set(3), Set(3)},      // format mark
    {133, 1, 1, 0, kCopy, kCopy},
    {135, 2, 3, 2, kCopy, kCopy},
    {141, 1, 3, 1, kCopy, kCopy},
    {150, 8, 1, 0, From(246), kCopy},    // opening balance := after December
    {158, 8, 12, 8, kZero, kCopy},       // balances after each month
    {254, 2, 1, 0, kCopy, kCopy},
    {256, 8, 1, 0, From(344), kCopy},    // running amount: January := December
    {264, 8, 11, 8, kZero, kCopy},
    {364, 2, 1, 0, kCopy, kCopy},
    {408, 8, 1, 0, kCopy, kCopy},
    {416, 2, 1, 0, Set(1), kCopy},       // month counter
    {418, 1, 3, 1, kCopy, kCopy},
    {421, 2, 1, 0, kCopy, kCopy},
};

// Ten coded entries: text of 6, 16-bit, text of 6 in 16 bytes each.
constexpr FieldRow kRecord2[] = {
    {0, 2, 1, 0, kCopy, kCopy},
    {2, 7, 10, 16, kText, kText},
    {9, 2, 10, 16, Set(1), kCopy},
    {11, 7, 10, 16, kText, kText},
    {162, 1, 2, 1, kCopy, kCopy},
};

// Amounts; the twelve monthly blocks are kept only from a 2020 source.
constexpr FieldRow kRecord3[] = {
    {0, 2, 1, 0, kCopy, kCopy},
    {2, 8, 1, 0, kCopy, kCopy},
    {10, 8, 1, 0, kCopy, kCopy},
    {18, 21, 12, 21, kZero, kCopy},
    {270, 8, 1, 0, kCopy, kCopy},
    {278, 2, 1, 0, kCopy, kCopy},
};

template <size_t N>
void FillRecord(const FieldRow (&rows)[N], bool from2020, const uint8_t* src, uint8_t* dst) {
  std::memset(dst, 0, kAnnualRecSize);
  for (const FieldRow& row : rows) {
    const Rule& rule = from2020 ? row.from2020 : row.from2019;
    for (size_t i = 0; i < row.count; ++i) {
      const size_t off = row.offset + i * row.stride;
      switch (rule.fill) {
        case Fill::Copy:
          CopyBytes(dst, off, src, off, row.width);
          break;
        case Fill::CopyText:
          CopyText(dst, off, row.width - 1u, src, off, row.width - 1u);
          break;
        case Fill::Set:
          for (size_t b = 0; b < row.width; ++b) dst[off + b] = static_cast<uint8_t>(rule.arg >> (8 * b));
          break;
        case Fill::From:
          CopyBytes(dst, off, src, rule.arg + i * row.stride, row.width);
          break;
        case Fill::Zero:
          break;
      }
    }
  }
}

// An answer to the proportion question: a whole number 0..100 written in
// decimal digits (blanks around it allowed).
bool ParseProportion(const std::string& text, uint16_t& value) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return false;
  const size_t e = text.find_last_not_of(' ');
  uint32_t v = 0;
  for (size_t i = b; i <= e; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
    if (v > 100) return false;
  }
  value = static_cast<uint16_t>(v);
  return true;
}

uint16_t AskVatProportion(bool from2019, const uint8_t* src) {
  std::string prompt = Pl("Firma rozliczała  VAT w proporcji ");
  if (from2019) prompt += IntToStr(GetU16(src, 118)) + "%";
  prompt += kMsgLineBreak;
  prompt += Pl("a zakładana na ") + "2020" + Pl(" wynosi 0% ?");
  prompt += kMsgLineBreak;
  prompt += Pl("Podaj właściwą:");
  for (;;) {
    std::string value = "0";
    // Esc hands back the field as it was: the answer 0.
    Op().AskText(prompt, value, 3);
    uint16_t v = 0;
    if (ParseProportion(value, v)) return v;
    Op().Beep();
  }
}

struct AnnualFiles {
  FileHandle src = kNoHandle;
  FileHandle dst = kNoHandle;
  std::string dstPath;

  void Close() {
    if (src != kNoHandle) Fs().Close(src);
    if (dst != kNoHandle) Fs().Close(dst);
    src = dst = kNoHandle;
  }
  // A half-built destination must not pass for a converted year.
  void Abandon(const char* lineUtf8) {
    LogLine(Pl(lineUtf8));
    Close();
    Fs().Remove(dstPath);
    WaitKey();
  }
  bool Read(uint8_t* rec) {
    uint32_t got = 0;
    return Fs().Read(src, rec, kAnnualRecSize, got) == kOk && got == kAnnualRecSize;
  }
  bool Write(const uint8_t* rec) {
    uint32_t put = 0;
    return Fs().Write(dst, rec, kAnnualRecSize, put) == kOk && put == kAnnualRecSize;
  }
};

// Which year's annual file the company's 2020 settings are built from: the
// operator chooses when both are there (A: the 2020 one for every later
// company too).
enum class AnnualSource { From2019, From2020, None };

AnnualSource ChooseAnnualSource(bool has2019, bool has2020) {
  if (has2019 && has2020) {
    if (Prefer2020ForAll) return AnnualSource::From2020;
    LogColour(kLogError);
    LogLine(Pl("Występują dane ROCZNE za rok 2019 i 2020 !"));
    LogLine(Pl("Wybierz z których skrzystać :"));
    LogWrite(Pl(" B-2019 N-2020, A-wszyskie następne na N  (B/N/A) ? "));
    // Keys typed ahead count: the question may be answered in advance.
    const uint8_t k = Op().AskLetter("BNA", TypedAhead::Answers);
    LogLine("");
    LogLine(Pl(" - wybrano: ") + std::string(1, static_cast<char>(k)));
    LogLine("");
    if (k == 'A') Prefer2020ForAll = true;
    return k != 'B' ? AnnualSource::From2020 : AnnualSource::From2019;
  }
  if (has2020) return AnnualSource::From2020;
  if (has2019) return AnnualSource::From2019;
  LogColour(kLogError);
  LogLine(Pl("Brak danych nnnnROK.REK danych za 2019 i 2020 !"));
  WaitKey();
  return AnnualSource::None;
}

// Opens the chosen annual file and makes the 2020 one; false after the
// message and the key.
bool OpenAnnualFiles(const std::string& source, AnnualFiles& f) {
  if (Fs().Open(source, kAccessRead | kShareDenyNone, f.src) != kOk) {
    LogColour(kLogError);
    LogLine(Pl("brak dostępu do danych za FirmaREK !"));
    WaitKey();
    return false;
  }
  if (Fs().Create(f.dstPath, f.dst) != kOk) {
    f.dst = kNoHandle;
    LogColour(kLogError);
    LogLine(Pl("brak dostępu do danych FirmaREK za 2020 !"));
    f.Close();
    WaitKey();
    return false;
  }
  return true;
}

// The three records of the annual file, each filled by its field table; the
// first one asks for the VAT proportion and warns of an open December.
void ConvertAnnualRecords(const std::string& companyDir, bool from2020, AnnualFiles& f) {
  std::array<uint8_t, kAnnualRecSize> src{};
  std::array<uint8_t, kAnnualRecSize> dst{};
  static constexpr char kReadFailed[] = "Błąd odczytu danych z 2019";
  static constexpr char kWriteFailed[] = "Błąd zapisu danych do 2020";

  if (!f.Read(src.data())) return f.Abandon(kReadFailed);
  FillRecord(kRecord1, from2020, src.data(), dst.data());
  // Whole: the company text conversion refuses what its file cannot hold.
  PreviousYearPath = SourceRoot + companyDir;

  if (dst[117] != 0 && GetU16(dst.data(), 118) == 0) {
    PutU16(dst.data(), 118, AskVatProportion(!from2020, src.data()));
  }
  if (!from2020 && src[3] != 13 && WarnOpenDecember) {
    LogLine(Pl("Nie zatwierdzono miesiąca GRUDNIA.2019"));
    Op().Beep();
    LogLine(Pl("mogę przenieść niepoprawny stan BZ.2019 jako BO.2020"));
    Op().Beep();
    WaitKey();
  }
  if (!f.Write(dst.data())) return f.Abandon(kWriteFailed);

  if (!f.Read(src.data())) return f.Abandon(kReadFailed);
  FillRecord(kRecord2, from2020, src.data(), dst.data());
  if (!f.Write(dst.data())) return f.Abandon(kWriteFailed);

  if (!f.Read(src.data())) return f.Abandon(kReadFailed);
  FillRecord(kRecord3, from2020, src.data(), dst.data());
  if (!f.Write(dst.data())) return f.Abandon(kWriteFailed);

  PauseIfSlow();
  LogLine(Pl("Utworzono dane w 2020"));
  f.Close();
}

}  // namespace

void ResetAnnualSettingsState() {
  Prefer2020ForAll = false;
  Use2020AnnualData = false;
  PreviousYearPath.clear();
}

void ConvertAnnualSettings(const std::string& companyDir) {
  PreviousYearPath.clear();
  LogColour(kLogProgress);
  LogLine(Pl("Konwersja danych ROCZNYCH ustawień firmy "));

  // Paths are kept whole: cut to a fixed length they would name no file (or
  // another one), and a company whose annual file is there would be listed
  // in 2020 without its annual settings.
  const std::string srcDir = SourceRoot + companyDir + kPathSep;
  const std::string path2019 = srcDir + "2019_ROK.REK";
  const std::string path2020 = srcDir + "2020_ROK.REK";
  const AnnualSource from = ChooseAnnualSource(FileSizeOf(path2019) > 0, FileSizeOf(path2020) > 0);
  if (from == AnnualSource::None) return;
  const bool from2020 = from == AnnualSource::From2020;
  if (from2020) Use2020AnnualData = true;

  AnnualFiles f;
  f.dstPath = TargetRoot + companyDir + kPathSep + "2020_ROK.REK";
  if (!OpenAnnualFiles(from2020 ? path2020 : path2019, f)) return;
  ConvertAnnualRecords(companyDir, from2020, f);
}

}  // namespace qm
