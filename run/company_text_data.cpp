#include "run/company_text_data.h"

#include <cstdio>
#include <map>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "fileio/ini_file.h"
#include "run/package_config.h"

namespace qm {

bool CompanyFas = true;
const CompanyTextData* CurrentCompanyText = nullptr;

namespace {

constexpr size_t kMonthlyGroup = 5;  // "$" + four hexadecimal digits

std::string YearText(int year) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04d", year);
  return buf;
}

class KeyTableBuilder {
 public:
  explicit KeyTableBuilder(std::vector<TextKey>& out) : out_(out) {}

  void Text(const char* section, const std::string& key, uint8_t cap) {
    out_.push_back(TextKey{section, key, TextKind::Text, cap, 0, false});
  }
  void Texts(const char* section, std::initializer_list<std::pair<const char*, uint8_t>> keys) {
    for (const auto& k : keys) Text(section, k.first, k.second);
  }
  void Other(const char* section, const std::string& key, TextKind kind, int16_t def = 0) {
    out_.push_back(TextKey{section, key, kind, 0, def, false});
  }
  // The thirteen keys of an address, in the order the package writes them.
  void Address(const char* section) {
    Texts(section, {{"KRAJ", 12},
                    {"WOJEWODZTWO", 22},
                    {"GMINA", 26},
                    {"ULICA", 30},
                    {"DOM", 7},
                    {"LOKAL", 7},
                    {"MIEJSCOWOSC", 26},
                    {"KOD", 6},
                    {"POCZTA", 26},
                    {"SKRYTKA", 5},
                    {"TELEFON", 12},
                    {"POWIAT", 18},
                    {"KODUE", 14}});
  }

 private:
  std::vector<TextKey>& out_;
};

std::vector<TextKey> BuildKeyTable(uint16_t year) {
  std::vector<TextKey> t;
  KeyTableBuilder b(t);
  b.Text("ZEV", "NAZWA_ZUS", 31);
  for (int i = 1; i <= 5; ++i) b.Text("ZEV", "INFO" + std::to_string(i), 66);
  // Each return's tax office, then the office's code.
  for (const char* form : {"VAT-7", "PIT-4R", "PIT-8AR", "PIT-XX"}) {
    b.Text("URZEDY_SKARBOWE", form, 65);
    b.Text("URZEDY_SKARBOWE_EKOD", form, 4);
  }
  b.Texts("ZEV", {{"PATHXML", 40}, {"PRZEXML", 14}});
  b.Other("FIRMA", "TYP", TextKind::Number);
  b.Texts("FIRMA", {{"NIP", 13}, {"REGON", 15}});
  // The data paths of earlier years are whole installation paths.
  for (int back = 1; back <= 4; ++back) b.Text("PATH", "ZEV" + YearText(year - back), kDataPathCap);
  b.Other("BANKI", "DEF", TextKind::Number);
  b.Other("BANKI", "DEF_ZUS", TextKind::Number, 31);
  t.back().defaultMeansDef = true;
  for (int i = 1; i <= 5; ++i) {
    b.Text("BANKI", "NAZWA" + std::to_string(i), 36);
    b.Text("BANKI", "NRB" + std::to_string(i), 48);
  }
  b.Text("BANKI", "IRKwZUS", 26);
  b.Other("BANKI", "DATA_ZBA", TextKind::Date);
  b.Text("BANKI", "Mikro", 26);
  b.Texts("OSOBA_FIZYCZNA", {{"PESEL", 11},
                             {"NIP", 13},
                             {"NAZWISKO", 31},
                             {"IMIE1", 22},
                             {"IMIE2", 22},
                             {"TATA", 22},
                             {"MAMA", 22}});
  b.Other("OSOBA_FIZYCZNA", "DATA_URODZENIA", TextKind::Date);
  b.Texts("OSOBA_FIZYCZNA", {{"MIEJSCE_URODZENIA", 40}, {"OBYWATELSTWO", 22}});
  b.Other("OSOBA_FIZYCZNA", "INNY_RODZAJ", TextKind::Char);
  b.Text("OSOBA_FIZYCZNA", "INNY_NUMER", 9);
  b.Texts("OSOBA_PRAWNA", {{"NAZWA_PELNA1", 62}, {"NAZWA_PELNA2", 62}, {"NAZWA_SKROCONA", 31}});
  b.Other("OSOBA_PRAWNA", "DATA_ROZPOCZECIA", TextKind::Date);
  b.Texts("ORGAN_REJESTROWY", {{"ORGAN", 70}, {"REJESTR", 70}});
  b.Other("ORGAN_REJESTROWY", "DATA", TextKind::Date);
  b.Texts("ORGAN_REJESTROWY", {{"NUMER", 15}, {"KOD", 2}, {"ORZAL", 70}});
  b.Address("ADRES_SIEDZIBY");
  b.Text("ADRES_SIEDZIBY", "KODGMINY", 7);
  b.Other("ADRES_SIEDZIBY", "IAP", TextKind::YesNo, 0);
  b.Address("ADRES_KOREPONDENCJA");
  b.Texts("ADRES_KOREPONDENCJA", {{"EMAIL", 30}, {"FAKS", 12}});
  b.Address("ADRES_ZAMIESZKANIA");
  b.Address("ADRES_DOKUMENTACJI");
  b.Texts("DZIALALNOSC",
          {{"OPIS1", 45}, {"KGN1", 10}, {"EKD1", 10}, {"OPIS2", 45}, {"KGN2", 10}, {"EKD2", 10}});
  b.Texts("UPOWAZNIONY", {{"NAZWISKO", 31}, {"IMIE", 22}, {"TELEFON", 31}, {"EMAIL", 30}});
  b.Texts("RODO", {{"iod_nazwisko", 31},
                   {"iod_imie", 22},
                   {"iod_email", 30},
                   {"fpd_nazwa", 70},
                   {"fpd_adres", 70},
                   {"fpd_NIP", 13},
                   {"fpd_email", 30}});
  b.Texts("BR", {{"NAZWA", 36}, {"NIP", 13}, {"REGON", 14}, {"UMOWA", 36}});
  b.Other("ZUS_ZxA", "DATAPOSK", TextKind::Date);
  b.Other("ZUS_ZxA", "WYPELNIONO", TextKind::Date);
  b.Text("ZUS_ZxA", "ZWPA_KOD", 3);
  b.Other("ZUS_ZxA", "ZWPA_DATA", TextKind::Date);
  b.Other("ZUS_ZxA", "ZPWA_KOR", TextKind::YesNo, 0);
  b.Text("ZUS_ZxA", "PPPATH", 40);
  b.Other("ZUS_ZxA", "DRAI01", TextKind::Char);
  b.Other("ZUS_ZxA", "RENT" + std::to_string(year - 1), TextKind::Number);
  b.Other("ZUS_ZxA", "RENT" + std::to_string(year), TextKind::Number);
  b.Other("ZUS_ZxA", "RxA", TextKind::Number);
  b.Other("ZUS_ZxA", "zwFGSP", TextKind::Number);
  b.Other("ZUS_ZxA", "DRAIX02_" + YearText(year), TextKind::Monthly);
  b.Other("ZIPA", "I", TextKind::Number);
  b.Texts("ZIPA", {{"01", 13}, {"02", 14}, {"03", 11}});
  b.Other("ZIPA", "04", TextKind::Char);
  b.Texts("ZIPA", {{"05", 9}, {"06", 31}, {"07", 31}, {"08", 22}});
  b.Other("ZIPA", "09", TextKind::Date);
  b.Other("ZIPA", "IV09", TextKind::Date);
  return t;
}

// ZEV/FAS comes last in the file and lives outside the record.
constexpr const char* kFasSection = "ZEV";
constexpr const char* kFasKey = "FAS";

void ReadField(IniFile& ini, const TextKey& k, TextValue& v, const TextValue* def) {
  switch (k.kind) {
    case TextKind::Text:
      v.text = Cut(ini.ReadString(k.section, k.key, ""), k.capacity);
      break;
    case TextKind::Char:
      v.text.assign(1, static_cast<char>(ini.ReadChar(k.section, k.key, ' ')));
      break;
    case TextKind::YesNo:
      v.number = ini.ReadBool(k.section, k.key, k.def != 0) ? 1 : 0;
      break;
    case TextKind::Number:
      v.number = static_cast<int16_t>(ini.ReadInteger(k.section, k.key, k.def));
      if (k.defaultMeansDef && v.number == k.def && def) v.number = def->number;
      break;
    case TextKind::Date:
      TextToDate(ini.ReadString(k.section, k.key, ""), v.date);
      break;
    case TextKind::Monthly:
      v.months = ParseMonthlyValues(ini.ReadString(k.section, k.key, ""));
      break;
  }
}

void WriteField(IniFile& ini, const TextKey& k, const TextValue& v) {
  switch (k.kind) {
    case TextKind::Text:
      ini.WriteString(k.section, k.key, Cut(v.text, k.capacity));
      break;
    case TextKind::Char: {
      const char c = v.text.empty() ? ' ' : v.text[0];
      ini.WriteString(k.section, k.key, c == ' ' || c == '\0' ? std::string() : std::string(1, c));
      break;
    }
    case TextKind::YesNo:
      ini.WriteBool(k.section, k.key, v.number != 0);
      break;
    case TextKind::Number:
      ini.WriteInteger(k.section, k.key, v.number);
      break;
    case TextKind::Date:
      ini.WriteString(k.section, k.key, DateToText(v.date));
      break;
    case TextKind::Monthly:
      ini.WriteString(k.section, k.key, MonthlyValuesText(v.months));
      break;
  }
}

}  // namespace

const std::vector<TextKey>& CompanyTextKeys(uint16_t year) {
  static std::map<uint16_t, std::vector<TextKey>> tables;
  auto it = tables.find(year);
  if (it == tables.end()) it = tables.emplace(year, BuildKeyTable(year)).first;
  return it->second;
}

std::string MonthlyValuesText(const std::array<uint16_t, 12>& months) {
  std::string s;
  for (uint16_t m : months) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "$%04X", static_cast<unsigned>(m));
    s += buf;
  }
  return s;
}

std::array<uint16_t, 12> ParseMonthlyValues(const std::string& text) {
  std::array<uint16_t, 12> months{};
  for (size_t i = 0; i < months.size(); ++i) {
    const size_t at = i * kMonthlyGroup;
    if (at >= text.size()) break;
    int32_t v = 0;
    if (ParseInt(text.substr(at, kMonthlyGroup), v)) months[i] = static_cast<uint16_t>(v);
  }
  return months;
}

CompanyTextData::CompanyTextData() { Clear(); }

void CompanyTextData::Clear() {
  fields.assign(CompanyTextKeys(WorkingYear).size(), TextValue{});
}

TextTransfer CompanyTextData::Transfer(const std::string& fileName, Direction mode, CompanyTextData& record) {
  if (mode != Direction::Write && mode != Direction::Read) return TextTransfer::NotOpened;
  const std::vector<TextKey>& keys = CompanyTextKeys(WorkingYear);
  IniFilePtr ini(IniFile::Init(fileName, mode == Direction::Write));
  if (!ini) return TextTransfer::NotOpened;
  if (mode == Direction::Read) {
    record.Clear();
    const TextValue* def = nullptr;
    for (size_t i = 0; i < keys.size(); ++i) {
      ReadField(*ini, keys[i], record.fields[i], def);
      if (keys[i].section == "BANKI" && keys[i].key == "DEF") def = &record.fields[i];
    }
    CompanyFas = ini->ReadBool(kFasSection, kFasKey, true);
    return TextTransfer::Done;
  }
  if (record.fields.size() < keys.size()) record.fields.resize(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) WriteField(*ini, keys[i], record.fields[i]);
  ini->WriteBool(kFasSection, kFasKey, CompanyFas);
  return ini.release()->Done() ? TextTransfer::Done : TextTransfer::NotWritten;
}

TextValue* CompanyTextData::Find(const std::string& section, const std::string& key) {
  return const_cast<TextValue*>(static_cast<const CompanyTextData*>(this)->Find(section, key));
}

const TextValue* CompanyTextData::Find(const std::string& section, const std::string& key) const {
  const std::vector<TextKey>& keys = CompanyTextKeys(WorkingYear);
  const std::string s = PlUpperCase(section);
  const std::string k = PlUpperCase(key);
  for (size_t i = 0; i < keys.size() && i < fields.size(); ++i) {
    if (PlUpperCase(keys[i].section) == s && PlUpperCase(keys[i].key) == k) return &fields[i];
  }
  return nullptr;
}

std::string CompanyTextData::Text(const std::string& section, const std::string& key) const {
  const TextValue* v = Find(section, key);
  return v ? v->text : std::string();
}

void CompanyTextData::SetText(const std::string& section, const std::string& key,
                              const std::string& value) {
  const std::vector<TextKey>& keys = CompanyTextKeys(WorkingYear);
  TextValue* v = Find(section, key);
  if (!v) return;
  const size_t i = static_cast<size_t>(v - fields.data());
  v->text = keys[i].kind == TextKind::Text ? Cut(value, keys[i].capacity) : value;
}

void ResetCompanyTextData() {
  CompanyFas = true;
  CurrentCompanyText = nullptr;
}

}  // namespace qm
