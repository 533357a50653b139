// The ledger entry: one 1024-byte record of a monthly journal of the
// package ("2019K990.m", "2020K990.m"). Offsets from 0; dates are packed
// dates, texts length-prefixed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qm {

inline constexpr int kLedgerRecSize = 1024;

inline constexpr size_t kEntryNumber = 0;       // 32-bit, the entry's own number
inline constexpr size_t kEntryMonth = 4;        // 16-bit
inline constexpr size_t kEntrySide = 6;         // 1 sale, 2 purchase
inline constexpr size_t kEntryDateA = 14;       // the document's date
inline constexpr size_t kEntryDate = 18;        // the date of the entry
inline constexpr size_t kEntryDateB = 22;       // the second date (see kEntryKind)
inline constexpr size_t kEntryAmountRef = 26;   // 32-bit
inline constexpr size_t kEntryFlags = 30;       // 16-bit
inline constexpr size_t kEntryTaxId = 32;       // text of 22
inline constexpr size_t kEntryDocNumber = 55;   // text of 20
inline constexpr size_t kEntryContractor = 76;  // text of 40
inline constexpr size_t kEntryAddress = 117;    // text of 30
inline constexpr size_t kEntryDescription = 148;  // text of 88
inline constexpr size_t kEntryKind = 237;       // which date places the entry
inline constexpr size_t kEntryAmounts = 240;    // doubles
inline constexpr size_t kEntryFormatMark = 861;
inline constexpr size_t kEntryOperator = 900;   // text of 20

inline constexpr uint16_t kEntryStruckOut = 0x0002;  // in kEntryFlags
inline constexpr uint8_t kEntryKindDateB = 2;        // date B decides the month
inline constexpr uint8_t kEntryFormat2020 = 3;       // the 2020 package's mark

}  // namespace qm
