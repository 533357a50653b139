#include "driver/company_list.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "base/text.h"
#include "convert/copy_engine.h"
#include "fileio/shared_file.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {

int32_t CompanyCount = 0;
bool CompanyListNeedsRepair = false;

namespace {

std::array<std::unique_ptr<CompanyEntry>, kMaxCompanies + 1> g_table;  // slot 0 unused

// Records are read in blocks: one host read per block, not one per record.
constexpr int64_t kBlockRecords = 256;

// The directories of the records read so far (as the file system finds
// them: without regard to case) and the company that named each first.
std::map<std::string, std::string> g_dirsSeen;

void ClearTable() {
  for (auto& slot : g_table) slot.reset();
  CompanyCount = 0;
  g_dirsSeen.clear();
}

// The 2019 list is read with exclusive sharing: a copy of the package that
// holds it open at this moment makes the open fail rather than let us read
// a list that is being changed.
int OpenListExclusive(const std::string& path, FileHandle& h) {
  const uint8_t mode = static_cast<uint8_t>(AccessReadOnly | ShareDenyAll);
  SetOpenMode(mode);
  const int err = Fs().Open(path, ProcessOpenMode(), h);
  RestoreOpenMode();
  return err;
}

[[noreturn]] void StopAfterKey(FileHandle h) {
  Fs().Close(h);
  WaitKey();
  ExitProgram(0);
}

// Enters one record as read; false when the table is already full.
void OfferCompany(const uint8_t* bytes) {
  CompanyRecord rec;
  std::copy(bytes, bytes + kCompanyRecSize, rec.bytes.begin());
  const std::string name = rec.Name();
  const std::string dir = rec.Directory();
  if (!SafeCompanyDirectory(dir)) {
    LogColour(kLogError);
    LogLine(Pl("Niepoprawna nazwa katalogu ") + dir + Pl(" dla firmy ") + name + Pl(" - pominięto"));
    CompanyListNeedsRepair = true;
    return;
  }
  // Two records naming one directory would carry it twice: January's
  // journal doubled, entries struck out twice over.
  const auto [first, fresh] = g_dirsSeen.try_emplace(PlUpperCase(dir), name);
  if (!fresh) {
    LogColour(kLogError);
    LogLine(Pl("Katalog ") + dir + Pl(" firmy ") + name + Pl(" wskazuje już firma ") + first->second +
            Pl(" - pominięto"));
    CompanyListNeedsRepair = true;
    return;
  }
  if (DirectoryExists(TargetRoot + dir)) {
    LogLine("Odnaleziono katalog docelowy " + dir + " dla firmy " + name);
    return;
  }
  if (!DirectoryExists(SourceRoot + dir)) {
    if (SkipIfLink(SourceRoot + dir)) {
      CompanyListNeedsRepair = true;
      return;
    }
    LogLine(Pl("Brak katalogu zródłowego    ") + dir + " dla firmy " + name);
    CompanyListNeedsRepair = true;
    return;
  }
  auto entry = std::make_unique<CompanyEntry>();
  entry->record = rec;
  entry->selected = true;
  ++CompanyCount;
  g_table[static_cast<size_t>(CompanyCount)] = std::move(entry);
}

}  // namespace

std::string CompanyRecord::Name() const { return GetText(bytes.data(), kCompanyNameOff, kCompanyNameCap); }
std::string CompanyRecord::Directory() const { return GetText(bytes.data(), kCompanyDirOff, kCompanyDirCap); }
std::string CompanyRecord::Info() const { return GetText(bytes.data(), kCompanyInfoOff, kCompanyInfoCap); }

bool SafeCompanyDirectory(const std::string& dir) {
  if (dir.empty() || dir == "." || dir == "..") return false;
  for (const char c : dir) {
    const auto u = static_cast<uint8_t>(c);
    // Both separators are refused on every host: the list is shared with
    // the package's Windows installations. A colon would name a drive.
    if (c == '/' || c == '\\' || c == ':' || u < 0x20) return false;
  }
  return true;
}

namespace {

// Opens the 2019 list and gives the number of its whole records; ends the
// program when the list cannot be opened, measured or is empty.
int64_t OpenSourceList(const std::string& listPath, FileHandle& h) {
  if (OpenListExclusive(listPath, h) != kOk) {
    LogLine(Pl("Błąd otwarcia/dostępu do pliku ") + listPath);
    ErrorBox(CentredLines({Pl("Brak dostępu do pliku"), listPath}));
    ExitProgram(0);
  }
  int64_t size = 0;
  if (Fs().Size(h, size) != kOk || size < 0) {
    LogLine(Pl("Błąd okreslenia długości pliku ") + CompanyListName);
    StopAfterKey(h);
  }
  const int64_t n = size / kCompanyRecSize;  // a trailing partial record is ignored
  if (n == 0) {
    LogLine(Pl("Zerowa długość pliku ") + CompanyListName);
    StopAfterKey(h);
  }
  return n;
}

// Offers the n records of the list a block at a time, until the table is
// full.
void OfferListRecords(FileHandle h, int64_t n) {
  std::vector<uint8_t> block(static_cast<size_t>(kBlockRecords * kCompanyRecSize));
  for (int64_t first = 0; first < n; first += kBlockRecords) {
    const int64_t want = std::min<int64_t>(kBlockRecords, n - first);
    uint32_t got = 0;
    bool readOk = Fs().Seek(h, first * kCompanyRecSize) == kOk &&
                  Fs().Read(h, block.data(), static_cast<uint32_t>(want * kCompanyRecSize), got) == kOk;
    if (!readOk) got = 0;
    const int64_t whole = got / kCompanyRecSize;
    for (int64_t k = 0; k < want; ++k) {
      if (CompanyCount >= kMaxCompanies) {
        LogLine(Pl("Przekroczona maksymalna ilość firm 2048"));
        return;
      }
      // A record that could not be read is passed over without a word.
      if (k >= whole) continue;
      OfferCompany(block.data() + k * kCompanyRecSize);
    }
  }
}

}  // namespace

void RecogniseEnvironment(int32_t& count) {
  ClearTable();
  count = 0;
  LogClear(false);
  LogLine(Pl("ROZPOZNANIE ŚRODOWISKA PRACY ZEV 2019"));
  LogLine("");

  FileHandle h = kNoHandle;
  const int64_t n = OpenSourceList(SourceRoot + CompanyListName, h);
  OfferListRecords(h, n);
  Fs().Close(h);
  count = CompanyCount;

  if (count == 0) {
    LogLine(Pl("Zerowa ilość odczytanych firm"));
    WaitKey();
  }
  if (CompanyListNeedsRepair) {
    LogLine("Napraw plik " + CompanyListName + " !");
    WaitKey();
  }
}

CompanyEntry* CompanyEntryAt(int32_t i) {
  if (i < 1 || i > kMaxCompanies) return nullptr;
  return g_table[static_cast<size_t>(i)].get();
}

void FreeCompanyTable() { ClearTable(); }

namespace {

// The key into a kept string, so that comparing the list's records one
// after another makes no new strings.
void SortKeyInto(const uint8_t* record, std::string& key) {
  key.clear();
  for (const auto& [off, cap] : {std::pair{kCompanyNameOff, kCompanyNameCap}, std::pair{kCompanyDirOff, kCompanyDirCap},
                                std::pair{kCompanyInfoOff, kCompanyInfoCap}}) {
    if (!key.empty()) key += ' ';
    const size_t len = std::min<size_t>(record[off], cap);
    key.append(reinterpret_cast<const char*>(record + off + 1), len);
    key.append(cap - len, ' ');
  }
}

void UpperSortKeyInto(const uint8_t* record, std::string& key) {
  SortKeyInto(record, key);
  for (char& c : key) c = static_cast<char>(PlUpCaseChar(static_cast<uint8_t>(c)));
}

}  // namespace

std::string SortKey(const uint8_t* record) {
  std::string key;
  SortKeyInto(record, key);
  return key;
}

int16_t Compare(const uint8_t* existing, const uint8_t* added) { return CompanyOrder(added).Compare(existing); }

CompanyOrder::CompanyOrder(const uint8_t* added) : added_(added) { UpperSortKeyInto(added, addedKey_); }

int16_t CompanyOrder::Compare(const uint8_t* existing) {
  // PlCompare is positive when its first text sorts first: exactly the
  // "existing stays in front" answer the sorted insertion wants.
  UpperSortKeyInto(existing, existingKey_);
  return PlCompare(existingKey_, addedKey_);
}

void ResetCompanyTable() {
  ClearTable();
  CompanyListNeedsRepair = false;
}

}  // namespace qm
