// Company text data, the add-on programs' files, and the global record
// converters (office data, operators).
#pragma once
#include <cstdint>
#include <string>

namespace qm {

void ConvertCompanyTextData(const std::string& source, const std::string& dest);
void CopyAssetAddOn(const std::string& companyDir);     // item 37
void CopyAssetRegisters(const std::string& companyDir);
void CopyMileage310(const std::string& companyDir);     // item 38
void CopyMileageTrips(const std::string& companyDir);
void CopyMileage320(const std::string& companyDir);     // item 39
bool ConvertOfficeRecord(const uint8_t* src, uint8_t* dst);  // 384 -> 384
bool ConvertOperatorRecord(uint8_t* rec, uint32_t length);   // 512, filter

}  // namespace qm
