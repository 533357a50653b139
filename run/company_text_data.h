// A company's descriptive data (addresses, tax offices, banks, owners,
// registration data, data paths of earlier years) as the package keeps it
// in the company's FIRMATXT.INI, and the table of its sections and keys.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/dates.h"

namespace qm {

enum class TextKind : uint8_t {
  Text,     // cut to the capacity when read
  Char,     // one character; an empty value is a blank, both ways
  YesNo,    // TAK / NIE
  Number,   // decimal 16-bit
  Date,     // the ten-character date text ("-" for none)
  Monthly,  // twelve 16-bit values as "$XXXX" x 12
};

// The capacity of the data paths of earlier years (PATH/ZEV<year>).
inline constexpr uint8_t kDataPathCap = 255;

struct TextKey {
  std::string section;
  std::string key;
  TextKind kind = TextKind::Text;
  uint8_t capacity = 0;  // Text
  int16_t def = 0;       // Number and YesNo default
  // BANKI/DEF_ZUS: a value read as the default means "the same as DEF".
  bool defaultMeansDef = false;
};

// Every key of the file for a working year, in the order it is written.
// The n-th key of the table is the n-th field of a CompanyTextData for any
// year; only the names with a year in them change.
const std::vector<TextKey>& CompanyTextKeys(uint16_t year);

// One field of the record; the member that its key's kind uses holds the
// value.
struct TextValue {
  std::string text;   // Text (CP852); Char: one character
  int16_t number = 0;  // Number; YesNo as 0 or 1
  PackedDate date;
  std::array<uint16_t, 12> months{};
};

// What became of a transfer of the file: NotOpened when it could not be
// opened at all (the run cannot go on: the driver shows "Błąd odczytu
// danych firmy" and ends), NotWritten when writing could not put it back
// whole.
enum class TextTransfer : uint8_t { Done, NotOpened, NotWritten };

// ZEV/FAS is kept beside the record, for the whole process.
extern bool CompanyFas;

struct CompanyTextData {
  std::vector<TextValue> fields;  // one per key of CompanyTextKeys

  CompanyTextData();
  void Clear();

  // Read clears the record and reads every key from the file; Write
  // writes every field to its key. The file is loaded as it stands (an
  // absent file is empty), so sections and keys the table does not name are
  // kept.
  enum class Direction : uint8_t { Write = 0, Read = 1 };
  static TextTransfer Transfer(const std::string& fileName, Direction mode, CompanyTextData& record);

  // The field of a key of the working year's table (section and key
  // compared without regard to case); null when the table has no such key.
  TextValue* Find(const std::string& section, const std::string& key);
  const TextValue* Find(const std::string& section, const std::string& key) const;
  // A text field, empty when missing; setting cuts the value to the
  // field's capacity and does nothing for a key the table lacks.
  std::string Text(const std::string& section, const std::string& key) const;
  void SetText(const std::string& section, const std::string& key, const std::string& value);
};

// The company whose text data is loaded, for LedgerFileNameOf; null when
// none is.
extern const CompanyTextData* CurrentCompanyText;

// The monthly-values text: "$" and four upper-case hexadecimal digits per
// month (60 characters); a group that does not convert reads as 0.
std::string MonthlyValuesText(const std::array<uint16_t, 12>& months);
std::array<uint16_t, 12> ParseMonthlyValues(const std::string& text);

void ResetCompanyTextData();  // tests

}  // namespace qm
