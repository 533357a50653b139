#include "convert/ledger.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/message_text.h"
#include "base/record_fields.h"
#include "convert/company_transfer.h"
#include "convert/copy_engine.h"
#include "platform/host_fs.h"
#include "run/ledger_entry_layout.h"
#include "run/progress_log.h"
#include "run/repayment_layout.h"
#include "run/run_report.h"
#include "run/run_operator.h"
#include "run/run_settings.h"

namespace qm {
namespace {

// The two texts are read no further than the next field the converter
// knows of, as the package's log does.
constexpr size_t kDocNumberCap = kEntryDescription - kEntryDocNumber - 1;
constexpr size_t kDescriptionCap = kEntryKind - kEntryDescription - 1;

constexpr uint16_t kNewYear = 2020;

std::string PadTo(std::string s, size_t n) {
  if (s.size() < n) s.append(n - s.size(), ' ');
  return s;
}

std::string Num(int64_t n) { return std::to_string(n); }

// Appends one entry at the end of a 2020 journal, aligned to whole entries;
// false after the box that names the failure. The journal is opened when it
// is there and made only when it is not: a search that fails for a moment
// must not make an existing journal look absent and get it emptied.
bool AppendEntry(const std::string& path, const uint8_t* entry) {
  FileHandle h = kNoHandle;
  int err = Fs().Open(path, kAccessReadWrite | kShareDenyNone, h);
  if (err == kErrFileNotFound || err == kErrPathNotFound) {
    if (Fs().Create(path, h) != kOk) {
      Op().Error(MessageLines({Pl("Utworzenia do dopisania pliku"), path}));
      return false;
    }
  } else {
    int64_t size = 0;
    if (err == kOk) err = Fs().Size(h, size);
    if (err == kOk) err = Fs().Seek(h, size / kLedgerRecSize * kLedgerRecSize);
    if (err != kOk) {
      if (h != kNoHandle) Fs().Close(h);
      Op().Error(MessageLines({Pl("Otwarcia dopisania do pliku"), path}));
      return false;
    }
  }
  uint32_t put = 0;
  err = Fs().Write(h, entry, kLedgerRecSize, put);
  const int cerr = Fs().Close(h);
  if (err != kOk || put != kLedgerRecSize || cerr != kOk) {
    Op().Error(MessageLines({Pl("Zapisania danych do pliku"), path}));
    return false;
  }
  return true;
}

// Where a live 2019 entry belongs: the month of its 2020 date, or 0 when it
// stays in its 2019 journal.
int TargetMonth(const uint8_t* entry) {
  const PackedDate a = GetDate(entry, kEntryDateA);
  const PackedDate b = GetDate(entry, kEntryDateB);
  PackedDate target;
  if (b.year == kNewYear && GetU8(entry, kEntryKind) == kEntryKindDateB) {
    target = b;
  } else if (a.year == kNewYear) {
    target = a;
  } else {
    return 0;
  }
  // A damaged date names no journal; moving the entry would strike it out in
  // 2019 and file it where the package never looks.
  if (target.month < 1 || target.month > 12) return 0;
  return target.month;
}

// A journal is scanned in blocks of entries: a year's journals are most of
// an installation's bytes, and one host read per entry would cost more than
// copying them.
constexpr int64_t kScanEntries = 64;

// Reads entries first .. first + n - 1 (numbered from 1) into buf; gives how
// many whole entries came. When the block cannot be read, its entries are
// read one by one, so that the box names the very entry that failed.
int64_t ReadEntries(FileHandle h, int64_t first, int64_t n, uint8_t* buf) {
  const int64_t offset = (first - 1) * kLedgerRecSize;
  uint32_t got = 0;
  if (Fs().Seek(h, offset) == kOk &&
      Fs().Read(h, buf, static_cast<uint32_t>(n * kLedgerRecSize), got) == kOk)
    return got / kLedgerRecSize;
  for (int64_t k = 0; k < n; ++k) {
    if (Fs().Seek(h, offset + k * kLedgerRecSize) != kOk ||
        Fs().Read(h, buf + k * kLedgerRecSize, kLedgerRecSize, got) != kOk || got != kLedgerRecSize)
      return k;
  }
  return n;
}

// Corrects one 2019 journal; false when the exclusive open failed, which
// ends the whole correction.
bool CorrectJournal(const std::string& journal, const std::string& journalName,
                    const std::string& target, uint8_t* block, int32_t& corrected) {
  FileHandle h = kNoHandle;
  if (Fs().Open(journal, kAccessReadWrite | kShareDenyAll, h) != kOk) {
    Op().Error(CentredLines({Pl("Błąd wyłącznego dostępu do pliku"), journal}));
    return false;
  }
  int64_t size = 0;
  if (Fs().Size(h, size) != kOk) size = 0;
  const int64_t count = size / kLedgerRecSize;
  bool stop = false;
  for (int64_t first = 1; first <= count && !stop; first += kScanEntries) {
    const int64_t n = std::min(kScanEntries, count - first + 1);
    const int64_t avail = ReadEntries(h, first, n, block);
    for (int64_t k = 0; k < n; ++k) {
      const int64_t i = first + k;
      if (k >= avail) {
        Op().Error(CentredLines({Pl("Błąd odczytu rekordu #") + Num(i), Pl("z pliku: ") + journalName}));
        stop = true;
        break;
      }
      uint8_t* entry = block + k * kLedgerRecSize;
      if (GetU16(entry, kEntryFlags) & kEntryStruckOut) continue;
      const int month = TargetMonth(entry);
      if (month == 0) continue;
      const std::string name2020 = "2020K990." + Num(month);
      if (!AppendEntry(target + name2020, entry)) {
        Op().Error(CentredLines({Pl("Błąd dopisania rekordu #") + Num(i), Pl("do pliku: ") + name2020}));
        stop = true;
        break;
      }
      ReportLine(Pl("  skreślono w 2019: ") + journalName + " #" + Num(i) + " " +
                 DateToText(GetDate(entry, kEntryDate)) + " " + GetText(entry, kEntryDocNumber, kDocNumberCap) +
                 Pl(" -> ") + name2020);
      PutU16(entry, kEntryFlags, kEntryStruckOut);
      if (Fs().Seek(h, (i - 1) * kLedgerRecSize) != kOk) {
        Op().Error(CentredLines({Pl("Błąd Seek celem zapisu poprawki #") + Num(i),
                            Pl("z pliku: ") + journalName}));
        stop = true;
        break;
      }
      uint32_t put = 0;
      if (Fs().Write(h, entry, kLedgerRecSize, put) != kOk || put != kLedgerRecSize) {
        Op().Error(CentredLines({Pl("Błąd zapisu poprawki #") + Num(i), Pl("z pliku: ") + journalName}));
        stop = true;
        break;
      }
      ++corrected;
    }
  }
  Fs().Close(h);
  return true;
}

}  // namespace

bool ConvertLedgerEntry(const uint8_t* src, uint8_t* dst) {
  std::memcpy(dst, src, kLedgerRecSize);
  LogWrite("ZEV=" + DateToText(GetDate(src, kEntryDate)) + " " +
           PadTo(GetText(src, kEntryDocNumber, kDocNumberCap), 10) + " " +
           GetText(src, kEntryDescription, kDescriptionCap));
  if (GetU16(src, kEntryFlags) & kEntryStruckOut) {
    LogLine(Pl(" SKREŚLONY"));
    if (SlowDetails) {
      PauseIfSlow();
    } else if (PausePerCompany) {
      WaitKey();
    }
    return false;
  }
  PutU8(dst, kEntryFormatMark, kEntryFormat2020);
  // The entry number at offset 0 stays the one the entry had: a number shared
  // by every entry carried in one run would identify none of them.
  LogLine(".ok");
  return true;
}

bool ConvertRepayment(const uint8_t* src, uint8_t* dst) {
  std::memset(dst, 0, kRepaymentRecSize);
  std::memcpy(dst, src, kRepaymentRecSize);
  RestoreText(dst, kRepaymentDoc, kRepaymentDocCap);
  LogWrite("SP= dnia:" + DateToText(GetDate(dst, kRepaymentDate)) +
           " dok:" + GetText(dst, kRepaymentDoc, kRepaymentDocCap));
  return true;
}

void HideConvertedFile(const std::string& path) {
  if (!HideConverted) return;
  const std::string hidden = path + "~";
  if (Fs().Rename(path, hidden) != kOk) {
    LogLine(Pl("Błąd zmiany nazwy pliku ") + path);
  } else {
    LogLine(Pl("Zmiana nazwy pliku ") + path + " na " + hidden);
  }
}

void CorrectLedgerJournal(const std::string& companyDir) {
  const std::string source = CompanySource(companyDir);
  const std::string target = CompanyTarget(companyDir);
  std::vector<uint8_t> block(kScanEntries * kLedgerRecSize);
  int32_t corrected = 0;
  for (int m = 1; m <= 12; ++m) {
    const std::string name = "2019K990." + Num(m);
    const std::string journal = source + name;
    if (FileSizeOf(journal) <= 0) continue;
    if (!CorrectJournal(journal, name, target, block.data(), corrected)) return;
  }
  if (corrected > 0) {
    Op().Info(CentredLine(Pl("Dokonano korekty ") + Num(corrected) + Pl(" zapisów")) +
            kMsgLineBreak + Pl("Błędu 2019-2020"));
  }
}

void CarryLedgerJournals(const std::string& companyDir) {
  const std::string source = CompanySource(companyDir);
  const std::string target = CompanyTarget(companyDir);
  for (int m = 1; m <= 12; ++m) {
    AppendToExisting = (m == 1);
    const std::string journal = "2020K990." + Num(m);
    if (FileSizeOf(source + journal) > 0) {
      LogLine(Pl("Konwertuję zapisy : ") + MonthName(m));
      ConvertRecords(source + journal, target + journal, kLedgerRecSize, kLedgerRecSize,
                     ConvertLedgerEntry);
      HideConvertedFile(source + journal);
    }
    const std::string repayments = "2020SP." + Num(m);
    if (FileSizeOf(source + repayments) > 0) {
      LogLine(Pl("Konwertuję spłaty : ") + MonthName(m));
      ConvertRecords(source + repayments, target + repayments, kRepaymentRecSize,
                     kRepaymentRecSize, ConvertRepayment);
      HideConvertedFile(source + repayments);
    }
  }
  AppendToExisting = false;
  CorrectLedgerJournal(companyDir);
}

}  // namespace qm
