// Annual settings: the company's 2020_ROK.REK built from its 2019 (or early
// 2020) annual settings file.
#pragma once
#include <string>

namespace qm {

// Set by the answer A: every later company with both files takes 2020.
extern bool Prefer2020ForAll;
// The 2020 file of the 2019 directory was the source (2020 already entered).
extern bool Use2020AnnualData;
// SourceRoot + company directory, cut to 40 characters.
extern std::string PreviousYearPath;

void ConvertAnnualSettings(const std::string& companyDir);

void ResetAnnualSettingsState();  // tests

}  // namespace qm
