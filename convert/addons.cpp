#include "convert/addons.h"

#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "convert/company_transfer.h"
#include "convert/copy_engine.h"
#include "fileio/ini_file.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"

namespace qm {
namespace {

// Fixed-asset add-on.
constexpr uint16_t kAssetRecSize = 39771;
constexpr uint16_t kAssetConfigSize = 3837;
constexpr uint16_t kRegisterListSize = 367;
constexpr size_t kRegisterName = 51;
constexpr size_t kRegisterNameCap = 255;

// Mileage add-on, first edition.
constexpr uint16_t kMileageConfigSize = 2395;
constexpr uint16_t kMileageAddressSize = 557;
constexpr uint16_t kMileageCarSize = 704;
constexpr uint16_t kTripCostSize = 572;
constexpr uint16_t kTripSize = 128;
constexpr const char* kTripFolder = "_2020";

// Office data record.
constexpr size_t kOfficeRecSize = 384;
constexpr size_t kSeriesCount = 4;
constexpr size_t kSeriesCounter = 152;
constexpr size_t kSeriesSuffix = 154;
constexpr size_t kSeriesStride = 13;
constexpr size_t kServiceName = 245;
constexpr size_t kServiceNameCap = 36;

// Operator record.
constexpr size_t kRightsWord3 = 133 + 2 * 3;
constexpr size_t kRightsWord5 = 133 + 2 * 5;

struct TextField {
  size_t off, cap;
};

// Office record texts carried as they are.
constexpr TextField kOfficeTexts[] = {{0, 36}, {37, 36}, {74, 36}, {111, 13},
                                      {125, 26}, {204, 40}, {283, 26}};
constexpr TextField kOperatorTexts[] = {{24, 30}, {55, 16}, {93, 37}};

// A register name read from the add-on's list becomes part of a path inside
// the company directory; one that could point anywhere else names no
// register of this company.
bool SafeRegisterName(const std::string& name) {
  if (name.empty() || name.find("..") != std::string::npos) return false;
  for (const char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<uint8_t>(c) < 0x20) return false;
  }
  return true;
}

void AssetFiles(const std::string& companyDir) {
  const std::string s = CompanySource(companyDir);
  const std::string t = CompanyTarget(companyDir);
  CopyTextFile(s + "dokument.rek", t + "dokument.rek");
  CopyRecords(s + "srodki.rek", t + "srodki.rek", kAssetRecSize);
  CopyRecords(s + "wyposaz.rek", t + "wyposaz.rek", kAssetRecSize);
  CopyRecords(s + "st.cnf", t + "st.cnf", kAssetConfigSize);
  CopyRecords(s + "stbazy.rek", t + "stbazy.rek", kRegisterListSize);
  CopyAssetRegisters(companyDir);
}

void Mileage310Files(const std::string& companyDir) {
  const std::string s = CompanySource(companyDir);
  const std::string t = CompanyTarget(companyDir);
  for (const char* pattern : {"*.cel", "cel*.rek", "*.trs", "tras*.rek"}) CopyMatchingFiles(s, t, pattern);
  CopyRecords(s + "km.cnf", t + "km.cnf", kMileageConfigSize);
  CopyRecords(s + "adresy.rek", t + "adresy.rek", kMileageAddressSize);
  CopyRecords(s + "samochod.rek", t + "samochod.rek", kMileageCarSize);
  CopyMileageTrips(companyDir);
}

void Mileage320Files(const std::string& companyDir) {
  const std::string s = CompanySource(companyDir);
  const std::string t = CompanyTarget(companyDir);
  CopyMatchingFiles(s, t, "km__*.rek");
  CopyMatchingFiles(s, t, "km20*.rek");
}

}  // namespace

// The item labels of the three add-ons, shared with the company file table.
const char* const kAssetAddOnLabel = "DLL: Dozude Vezivi";
const char* const kMileage310Label = "DLL : Ruvavivivori KM310 \"Ferro\"";
const char* const kMileage320Label = "DLL : Ruvavivivori KM320 \"qm\"";

void CopyAssetAddOnFiles(const std::string& companyDir) { AssetFiles(companyDir); }
void CopyMileage310Files(const std::string& companyDir) { Mileage310Files(companyDir); }
void CopyMileage320Files(const std::string& companyDir) { Mileage320Files(companyDir); }

void CopyAssetAddOn(const std::string& companyDir) {
  LogLine(kAssetAddOnLabel);
  AssetFiles(companyDir);
}

void CopyAssetRegisters(const std::string& companyDir) {
  const std::string s = CompanySource(companyDir);
  const std::string t = CompanyTarget(companyDir);
  const std::string list = s + "stbazy.rek";
  if (FileSizeOf(list) <= 0) return;
  FileHandle h = kNoHandle;
  if (Fs().Open(list, kAccessRead | kShareDenyNone, h) != kOk) return;
  int64_t size = 0;
  if (Fs().Size(h, size) != kOk) {
    Fs().Close(h);
    return;
  }
  std::vector<uint8_t> rec(kRegisterListSize);
  for (int64_t i = 0; i < size / kRegisterListSize; ++i) {
    uint32_t got = 0;
    if (Fs().Read(h, rec.data(), kRegisterListSize, got) != kOk || got != kRegisterListSize) break;
    const std::string name = GetText(rec.data(), kRegisterName, kRegisterNameCap);
    if (!SafeRegisterName(name)) {
      LogColour(kLogError);
      LogLine(Pl("Pominięto rejestr o niepoprawnej nazwie: ") + name);
      continue;
    }
    // srodki.rek is the main register, already carried.
    if (PlUpperCase(name) == "SRODKI") continue;
    CopyRecords(s + name + ".REK", t + name + ".REK", kAssetRecSize);
  }
  Fs().Close(h);
}

void CopyMileage310(const std::string& companyDir) {
  LogLine(kMileage310Label);
  Mileage310Files(companyDir);
}

void CopyMileageTrips(const std::string& companyDir) {
  const std::string sourceDir = CompanySource(companyDir) + kTripFolder + kPathSep;
  const std::string folder = CompanyTarget(companyDir) + kTripFolder;
  const std::string destDir = folder + kPathSep;
  bool toCreate = true;
  struct Kind {
    const char* pattern;
    uint16_t recSize;
  };
  for (const Kind kind : {Kind{"*.kst", kTripCostSize}, Kind{"*.wyj", kTripSize}}) {
    FindEntry e;
    FindHandle fh;
    if (Fs().FindFirst(sourceDir + kind.pattern, kAttrAll, e, fh) != kOk) continue;
    do {
      if (toCreate) {
        if (Fs().MakeDir(folder) != kOk) {
          LogLine(Pl("Błąd utworzenia folderu ") + folder);
          break;
        }
        toCreate = false;
      }
      CopyRecords(sourceDir + e.name, destDir + e.name, kind.recSize);
    } while (Fs().FindNext(fh, e) == kOk);
  }
}

void CopyMileage320(const std::string& companyDir) {
  LogLine(kMileage320Label);
  Mileage320Files(companyDir);
}

bool ConvertOfficeRecord(const uint8_t* src, uint8_t* dst) {
  std::memset(dst, 0, kOfficeRecSize);
  for (const TextField& f : kOfficeTexts) CopyText(dst, f.off, f.cap, src, f.off, f.cap);
  for (size_t i = 0; i < kSeriesCount; ++i) {
    PutU16(dst, kSeriesCounter + kSeriesStride * i, 1);
    PutText(dst, kSeriesSuffix + kSeriesStride * i, 10, "/2020");
  }
  std::string service = GetText(src, kServiceName, kServiceNameCap);
  if (service.empty()) service = Pl("Prowadzenie księgi - {zamiesiac}");
  PutText(dst, kServiceName, kServiceNameCap, service);
  PutU8(dst, 282, GetU8(src, 282));
  CopyBytes(dst, 310, src, 310, 39);
  PutU16(dst, 349, GetU16(src, 349));
  return true;
}

bool ConvertOperatorRecord(uint8_t* rec, uint32_t length) {
  (void)length;  // the buffer always holds a whole record; a short tail is zeros
  ScrambleBlock(rec);
  for (const TextField& f : kOperatorTexts) RestoreText(rec, f.off, f.cap);
  uint16_t word3 = GetU16(rec, kRightsWord3);
  const uint16_t word5 = GetU16(rec, kRightsWord5);
  if ((word3 & 0x0004) && !(word3 & 0x0010)) word3 |= 0x0010;
  if ((word5 & 0x0002) && !(word3 & 0x0008)) word3 |= 0x0008;
  PutU16(rec, kRightsWord3, word3);
  ScrambleBlock(rec);
  return true;
}

}  // namespace qm
