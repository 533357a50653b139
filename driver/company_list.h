// The company-list file (SPISFIRM.DAT by default) and the in-memory table
// of the 2019 companies that can be carried into the 2020 installation.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace qm {

// A company-list record: 103 bytes, no file header, records back to back.
inline constexpr int kCompanyRecSize = 103;
inline constexpr size_t kCompanyNameOff = 0, kCompanyNameCap = 31;
inline constexpr size_t kCompanyDirOff = 32, kCompanyDirCap = 8;
inline constexpr size_t kCompanyInfoOff = 41, kCompanyInfoCap = 25;
inline constexpr int kMaxCompanies = 2048;

struct CompanyRecord {
  // Exactly as read from the 2019 list; the 36 bytes after the info field
  // are carried into the 2020 list untouched.
  std::array<uint8_t, kCompanyRecSize> bytes{};

  std::string Name() const;
  std::string Directory() const;
  std::string Info() const;
};

struct CompanyEntry {
  CompanyRecord record;
  bool selected = true;
};

// Number of filled slots of the table (slots 1..CompanyCount).
extern int32_t CompanyCount;
// Set when a listed company has lost its 2019 directory (or names one the
// program refuses); never cleared during a run.
extern bool CompanyListNeedsRepair;

// Reads the 2019 list into the table; count receives CompanyCount. Ends the
// program when the list cannot be opened or is empty.
void RecogniseEnvironment(int32_t& count);
// The entry of slot i (1..2048); null for an empty slot or a number out of
// range.
CompanyEntry* CompanyEntryAt(int32_t i);
// Frees every entry of the table.
void FreeCompanyTable();

// True when a company directory name stays inside the installation
// directory: not empty, not "." or "..", no separator, drive or control
// character.
bool SafeCompanyDirectory(const std::string& dir);

// Order of the 2020 list: name, directory, info, each padded to its width.
std::string SortKey(const uint8_t* record);
// Negative when existing belongs after added; zero or positive otherwise
// (the keys upper-cased and compared in Polish order).
int16_t Compare(const uint8_t* existing, const uint8_t* added);
// The same order with the added record's key made once: a sorted insertion
// compares one record with up to every record of the list.
class CompanyOrder {
 public:
  explicit CompanyOrder(const uint8_t* added);
  const uint8_t* Added() const { return added_; }
  // As Compare(existing, Added()).
  int16_t Compare(const uint8_t* existing);

 private:
  const uint8_t* added_;
  std::string addedKey_, existingKey_;
};

void ResetCompanyTable();  // tests

}  // namespace qm
