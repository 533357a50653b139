// Configuration files of the package: section headers in square brackets
// and key=value lines, held in memory, answered by typed lookups and written
// back (CR LF) when changed. A writer marks the file by a lock on its first
// byte for its whole life, so a second writer cannot open it meanwhile.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fileio/text_file.h"

namespace qm {

// One section in file order. The first section of a file has no name and
// holds the lines that stand before any header; it cannot be looked up.
struct IniSection {
  std::string name;
  bool named = false;
  // Whole trimmed lines (key, "=" and value together; comments as they are).
  std::vector<std::string> entries;
  IniSection* next = nullptr;
};

class IniFile {
 public:
  // The loaded object, or null when the file cannot be opened or created,
  // or (writable) cannot be locked. A missing file opened for reading gives
  // an empty object that answers every question with its default.
  static IniFile* Init(const std::string& fileName, bool writable);
  // Writes the file back when changed and writable, unlocks, closes and
  // releases the object; false when the file had to be written back and
  // could not be, whole.
  bool Done();

  IniSection* FirstSection() { return head_.get(); }
  const IniSection* FirstSection() const { return head_.get(); }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue);
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  uint8_t ReadChar(const std::string& section, const std::string& key, uint8_t defaultValue);
  void WriteChar(const std::string& section, const std::string& key, uint8_t value);
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  bool ReadOnly = true;
  bool Existed = false;
  bool Modified = false;
  bool Opened = false;

 private:
  IniFile() = default;
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;
  void Load();
  bool Save();
  // Sets the cursors; false when the section or the key is missing.
  bool FindSection(const std::string& section);
  bool FindKey(const std::string& key);

  TextFile file_;
  std::string fileName_;
  bool locked_ = false;
  std::unique_ptr<IniSection> head_;
  std::vector<std::unique_ptr<IniSection>> owned_;  // the named sections
  IniSection* current_ = nullptr;
  std::string* entry_ = nullptr;
};

struct IniFileDone {
  void operator()(IniFile* f) const {
    if (f) f->Done();
  }
};
using IniFilePtr = std::unique_ptr<IniFile, IniFileDone>;

// The truth texts of configuration files.
inline constexpr const char* kIniFalse = "NIE";
inline constexpr const char* kIniTrue = "TAK";

// Scrambles a 512-byte record in place; the same call unscrambles it. The
// byte stream comes from the process generator restarted at ScrambleSeed.
inline constexpr size_t kScrambleBlockSize = 512;
inline constexpr uint32_t ScrambleSeed = 0x3E;
void ScrambleBlock(uint8_t* block);

}  // namespace qm
