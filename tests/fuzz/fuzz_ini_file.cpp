// Configuration files of any content: loading, lookups of the sections and
// keys the file itself names, typed reads, writes and the save, then a second
// load that must give back what was written.
#include <cstdlib>
#include <string>
#include <vector>

#include "fileio/ini_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace qm;

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartRun();
  fuzz::WriteScratchFile("TEST.INI", data, size);
  const std::string name = fuzz::ScratchDir() + "TEST.INI";

  IniFile* ini = IniFile::Init(name, true);
  if (!ini) return 0;
  // Sections and keys as the file spells them, so lookups hit.
  std::vector<std::pair<std::string, std::string>> names;
  for (const IniSection* s = ini->FirstSection(); s && names.size() < 64; s = s->next) {
    for (const std::string& e : s->entries) {
      const size_t eq = e.find('=');
      names.emplace_back(s->name, eq == std::string::npos ? e : e.substr(0, eq));
      if (names.size() >= 64) break;
    }
    if (s->entries.empty()) names.emplace_back(s->name, "KLUCZ");
  }
  for (const auto& [sec, key] : names) {
    ini->ReadString(sec, key, "brak");
    ini->ReadChar(sec, key, 'x');
    ini->ReadInteger(sec, key, -7);
    ini->ReadBool(sec, key, true);
  }
  if (!names.empty()) {
    const auto& [sec, key] = names[size % names.size()];
    ini->WriteString(sec, key, "napis");
    ini->ReadString(sec, key, "");
  }
  ini->WriteInteger("FUZZ", "LICZBA", -123456);
  ini->WriteBool("FUZZ", "PRAWDA", true);
  ini->WriteChar("FUZZ", "ZNAK", 'Q');
  ini->WriteString("NOWA", "TEKST", "A=B C");
  ini->Done();

  IniFile* again = IniFile::Init(name, false);
  Check(again != nullptr);
  Check(again->ReadInteger("FUZZ", "LICZBA", 0) == -123456);
  Check(again->ReadBool("FUZZ", "PRAWDA", false));
  Check(again->ReadChar("FUZZ", "ZNAK", 0) == 'Q');
  Check(again->ReadString("NOWA", "TEKST", "") == "A=B C");
  again->Done();
  return 0;
}
