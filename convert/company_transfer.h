// The per-company file table.
#pragma once
#include <string>

namespace qm {

// {S} and {T} of a company: SourceRoot/TargetRoot + directory + separator.
std::string CompanySource(const std::string& companyDir);
std::string CompanyTarget(const std::string& companyDir);

// Carries one company; false when one of the first steps failed.
bool ConvertCompany(const std::string& companyDir);
void CopyListedFile(const std::string& companyDir, const std::string& entry);
void CopyDraDeclarations(const std::string& companyDir);

}  // namespace qm
