// Company text data, the add-on programs' files, and the global record
// converters (office data, operators).
#pragma once
#include <cstdint>
#include <string>

#include "run/run_stop.h"

namespace qm {

// FIRMATXT.INI of 2019 carried into 2020; a file that cannot be opened
// stops the run.
RunStop ConvertCompanyTextData(const std::string& source, const std::string& dest);
void CopyAssetAddOn(const std::string& companyDir);     // item 37
void CopyAssetRegisters(const std::string& companyDir);
void CopyMileage310(const std::string& companyDir);     // item 38
void CopyMileageTrips(const std::string& companyDir);
void CopyMileage320(const std::string& companyDir);     // item 39
// The add-on items' labels (UTF-8 = CP852 here: plain ASCII) and their work
// without the label line, as the company file table runs them.
extern const char* const kAssetAddOnLabel;
extern const char* const kMileage310Label;
extern const char* const kMileage320Label;
void CopyAssetAddOnFiles(const std::string& companyDir);
void CopyMileage310Files(const std::string& companyDir);
void CopyMileage320Files(const std::string& companyDir);

bool ConvertOfficeRecord(const uint8_t* src, uint8_t* dst);  // 384 -> 384
// Filter for CopyRecords; rec is a whole 512-byte record buffer.
bool ConvertOperatorRecord(uint8_t* rec, uint32_t length);

}  // namespace qm
