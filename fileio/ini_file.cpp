#include "fileio/ini_file.h"

#include <new>

#include "base/dates.h"
#include "base/polish.h"
#include "fileio/shared_file.h"

namespace qm {

namespace {

// Lines are trimmed of blanks and control characters at both ends.
std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 32) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string ShortString(std::string s) {
  if (s.size() > kMaxLine) s.resize(kMaxLine);
  return s;
}

}  // namespace

IniFile* IniFile::Init(const std::string& fileName, bool writable) {
  IniFile* ini = new (std::nothrow) IniFile;
  if (!ini) return nullptr;
  ini->head_.reset(new (std::nothrow) IniSection);
  if (!ini->head_) {
    delete ini;
    return nullptr;
  }
  ini->current_ = ini->head_.get();
  ini->ReadOnly = !writable;
  ini->fileName_ = fileName;
  int found = kOk;
  ini->Existed = FindFileExists(fileName, &found);
  if (!ini->Existed && writable && found != kOk && found != kErrFileNotFound && found != kErrPathNotFound &&
      found != kErrNoMoreFiles) {
    // The search was refused, not answered: the file may exist, and
    // creating it would empty it.
    delete ini;
    return nullptr;
  }

  int rc = kOk;
  if (ini->Existed) {
    if (writable) {
      // A writer keeps its handle open with write access, so that saving
      // rewrites the file in place while the first-byte lock still holds.
      rc = ini->file_.OpenRead(fileName, static_cast<uint8_t>(AccessReadWrite | ShareDenyNone));
      if (rc != kOk) rc = ini->file_.OpenRead(fileName);
    } else {
      rc = ini->file_.OpenRead(fileName);
    }
  } else if (writable) {
    rc = ini->file_.Create(fileName);
  } else {
    return ini;
  }
  if (rc != kOk) {
    delete ini;
    return nullptr;
  }
  if (writable) {
    if (!LockTextFile(ini->file_)) {
      delete ini;  // closes the file
      return nullptr;
    }
    ini->locked_ = true;
  }
  ini->Opened = true;
  if (ini->Existed) ini->Load();
  return ini;
}

IniFile::~IniFile() {
  if (locked_) UnlockTextFile(file_);
  if (file_.IsOpen()) file_.Close();
}

void IniFile::Load() {
  std::string line;
  int err = 0;
  while (!file_.AtEnd()) {
    if (!file_.ReadLine(line, err)) continue;
    line = Trim(line);
    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      auto section = std::make_unique<IniSection>();
      section->name = line.substr(1, line.size() - 2);
      section->named = true;
      current_->next = section.get();
      current_ = section.get();
      owned_.push_back(std::move(section));
    } else {
      current_->entries.push_back(line);
    }
  }
  current_ = head_.get();
}

bool IniFile::Done() {
  const bool saved = !(Modified && !ReadOnly) || Save();
  delete this;
  return saved;
}

bool IniFile::Save() {
  if (!file_.IsOpen()) return false;
  // Rewriting through the locked handle keeps the writer's mark on the file;
  // a handle without write access falls back to creating the file anew.
  if (file_.Rewrite() != kOk) {
    if (locked_) UnlockTextFile(file_);
    locked_ = false;
    file_.Close();
    if (file_.Create(fileName_) != kOk) return false;
  }
  int err = kOk;
  auto line = [&](const std::string& text) {
    const int rc = file_.WriteLine(text);
    if (err == kOk) err = rc;
  };
  for (const IniSection* s = head_.get(); s; s = s->next) {
    if (s->named) line("[" + s->name + "]");
    for (const auto& e : s->entries)
      if (!e.empty()) line(e);
    if (!s->entries.empty()) line(std::string());
  }
  const int flushed = file_.FlushBuffer();
  return err == kOk && flushed == kOk;
}

bool IniFile::FindSection(const std::string& section) {
  const std::string wanted = PlUpperCase(section);
  for (IniSection* s = head_->next; s; s = s->next) {
    if (s->named && PlUpperCase(s->name) == wanted) {
      current_ = s;
      entry_ = nullptr;
      return true;
    }
  }
  return false;
}

bool IniFile::FindKey(const std::string& key) {
  const std::string wanted = PlUpperCase(key);
  entry_ = nullptr;
  for (auto& e : current_->entries) {
    const size_t eq = e.find('=');
    if (eq == std::string::npos) continue;
    if (PlUpperCase(e.substr(0, eq)) == wanted) {
      entry_ = &e;
      return true;
    }
  }
  return false;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) {
  if (!FindSection(section) || !FindKey(key)) return defaultValue;
  return entry_->substr(entry_->find('=') + 1);
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (!FindSection(section)) {
    IniSection* last = head_.get();
    while (last->next) last = last->next;
    auto fresh = std::make_unique<IniSection>();
    fresh->name = ShortString(section);
    fresh->named = true;
    last->next = fresh.get();
    current_ = fresh.get();
    owned_.push_back(std::move(fresh));
  }
  const std::string line = ShortString(key + "=" + value);
  if (!FindKey(key)) {
    current_->entries.push_back(line);
    Modified = true;
    return;
  }
  if (entry_->substr(entry_->find('=') + 1) != value) {
    *entry_ = line;
    Modified = true;
  }
}

uint8_t IniFile::ReadChar(const std::string& section, const std::string& key, uint8_t defaultValue) {
  const std::string s = ReadString(section, key, std::string(1, static_cast<char>(defaultValue)));
  return s.empty() ? defaultValue : static_cast<uint8_t>(s[0]);
}

void IniFile::WriteChar(const std::string& section, const std::string& key, uint8_t value) {
  WriteString(section, key, std::string(1, static_cast<char>(value)));
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) {
  const std::string s = ReadString(section, key, "!");
  if (s == "!") return defaultValue;
  int32_t v = 0;
  return ParseInt(s, v) ? v : defaultValue;
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) {
  const std::string s = PlUpperCase(ReadString(section, key, defaultValue ? kIniTrue : kIniFalse));
  if (s == kIniFalse) return false;
  if (s == kIniTrue) return true;
  return defaultValue;
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? kIniTrue : kIniFalse);
}

void ScrambleBlock(uint8_t* block) {
  SetRandomState(ScrambleSeed);
  for (size_t i = 0; i < kScrambleBlockSize; ++i)
    block[i] = static_cast<uint8_t>(block[i] ^ RandomBelow(255));
}

}  // namespace qm
