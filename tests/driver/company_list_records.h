// Building company-list files for the driver tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/record_fields.h"
#include "driver/company_list.h"

namespace qm::test {

struct CompanyFields {
  std::string name;  // CP852
  std::string dir;
  std::string info;
};

// One 103-byte record; the uninterpreted tail is filled with a pattern
// derived from the name so that carrying it unchanged can be checked.
inline std::vector<uint8_t> CompanyRecordBytes(const CompanyFields& c) {
  std::vector<uint8_t> rec(kCompanyRecSize, 0xEE);
  PutText(rec.data(), kCompanyNameOff, kCompanyNameCap, c.name);
  PutText(rec.data(), kCompanyDirOff, kCompanyDirCap, c.dir);
  PutText(rec.data(), kCompanyInfoOff, kCompanyInfoCap, c.info);
  for (int i = 67; i < kCompanyRecSize; ++i) {
    rec[static_cast<size_t>(i)] = static_cast<uint8_t>(i + (c.name.empty() ? 0 : c.name[0]));
  }
  return rec;
}

inline std::vector<uint8_t> CompanyListBytes(const std::vector<CompanyFields>& list) {
  std::vector<uint8_t> out;
  for (const CompanyFields& c : list) {
    const std::vector<uint8_t> rec = CompanyRecordBytes(c);
    out.insert(out.end(), rec.begin(), rec.end());
  }
  return out;
}

}  // namespace qm::test
