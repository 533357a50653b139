// Ledger journals: carrying the 2020 journals and repayments of the 2019
// directory, hiding them, and correcting 2019 journals that hold 2020 entries.
#pragma once
#include <cstdint>
#include <string>

#include "run/ledger_entry_layout.h"
#include "run/repayment_layout.h"

namespace qm {


bool ConvertLedgerEntry(const uint8_t* src, uint8_t* dst);
bool ConvertRepayment(const uint8_t* src, uint8_t* dst);
void HideConvertedFile(const std::string& path);
void CorrectLedgerJournal(const std::string& companyDir);
// Item 31 of the company file table: months 1..12, then the correction.
void CarryLedgerJournals(const std::string& companyDir);

}  // namespace qm
