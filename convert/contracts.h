// Commission contracts (2020UZ3 -> 2020UZ5) and wages (2020WP5) of 2020.
#pragma once
#include <cstdint>

#include "run/contract_layout.h"
#include "run/wage_layout.h"

namespace qm {


// Filter for CopyRecords.
bool ConvertWageRecord(uint8_t* rec, uint32_t length);
// Converter for ConvertRecords.
bool ConvertContractRecord(const uint8_t* src, uint8_t* dst);
// The kind-code translation for categories 1 and 2.
uint8_t TranslateContractKind(uint8_t code);

}  // namespace qm
