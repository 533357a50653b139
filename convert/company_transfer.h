// The per-company file table.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "run/run_stop.h"

namespace qm {

// {S} and {T} of a company: SourceRoot/TargetRoot + directory + separator.
std::string CompanySource(const std::string& companyDir);
std::string CompanyTarget(const std::string& companyDir);

// What a company's conversion came to: converted (true), or refused by its
// first steps (false); stop, when set, says the run cannot go on at all.
struct CompanyConversion {
  bool converted = false;
  RunStop stop;
  explicit operator bool() const { return converted; }
};

// Carries one company.
CompanyConversion ConvertCompany(const std::string& companyDir);
// What the converters keep from one company to the next back to its start:
// the standing overwrite answer, the annual-file choice, the carried person
// keys. A run that follows another in the same process (a preview, a test)
// begins with it.
void ResetConversionState();
void CopyListedFile(const std::string& companyDir, const std::string& entry);
void CopyDraDeclarations(const std::string& companyDir);

// The items of the company file table, run in order after the company's
// stamp and annual settings.

// Which run setting switches an item on (all bits of its mask set).
enum class ItemCondition : uint8_t {
  Annual2020,   // the annual settings came from the 2020 file of 2019
  DataItems,    // CompanyDataItems
  Entered2020,  // Entered2020Items
  AddOns,       // AddOnItems
  ExtraList,    // the list file has entries
  Always,
};

enum class ItemCopy : uint8_t {
  Binary,     // CopyBinaryFile
  Text,       // CopyTextFile
  Records,    // CopyRecords(srcSize) with the filter, if any
  Convert,    // ConvertRecords(srcSize -> dstSize); no converter: whole record
  Matching,   // CopyMatchingFiles with the source as pattern
  Listed,     // CopyListedFile with the source as entry
  Custom,     // the item's own work
};

struct CompanyItem {
  int number;
  ItemCondition condition;
  uint16_t mask;
  const char* label;  // UTF-8; nullptr: no label line
  bool labelNoLineEnd;
  const char* source;  // name in {S}, pattern or list entry
  const char* dest;    // name in {T}; nullptr: the source's name
  ItemCopy copy;
  uint16_t srcSize;
  uint16_t dstSize;
  bool (*filter)(uint8_t* rec, uint32_t length);
  bool (*converter)(const uint8_t* src, uint8_t* dst);
  // Picks the source path when the item has a choice (PID-5, PIT-28).
  std::string (*chooseSource)(const std::string& companyDir);
  // Runs before the item whether it is on or not.
  void (*prepare)();
  // The item's own work; what stops the run, if anything did.
  RunStop (*work)(const std::string& companyDir);
};

std::span<const CompanyItem> CompanyItems();
bool CompanyItemOn(const CompanyItem& item);
// Logs the label and does the item's work (the condition is not checked);
// what stops the run, if anything did.
RunStop RunCompanyItem(const CompanyItem& item, const std::string& companyDir);

// The PID-5 and PIT-28 source choice.
std::string Pid5Source(const std::string& companyDir);
std::string Pit28Source(const std::string& companyDir);
// The payroll settings of 2019 stamped for 2020 (filter of item 24).
bool StampPayrollSettings(uint8_t* rec, uint32_t length);

}  // namespace qm
