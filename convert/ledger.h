// Ledger journals: carrying the 2020 journals and repayments of the 2019
// directory, hiding them, and correcting 2019 journals that hold 2020 entries.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

inline constexpr int kLedgerRecSize = 1024;
inline constexpr int kRepaymentRecSize = 48;

bool ConvertLedgerEntry(const uint8_t* src, uint8_t* dst);
bool ConvertRepayment(const uint8_t* src, uint8_t* dst);
void HideConvertedFile(const std::string& path);
void CorrectLedgerJournal(const std::string& companyDir);
// Item 31 of the company file table: months 1..12, then the correction.
void CarryLedgerJournals(const std::string& companyDir);

}  // namespace qm
