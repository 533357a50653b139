// Staff and owners, their families, and the personal tax forms (PID-5,
// PIT-28): per-record converters for ConvertRecords.
#pragma once
#include <array>
#include <cstdint>

#include "run/family_layout.h"
#include "run/staff_layout.h"
#include "run/tax_form_layout.h"

namespace qm {

inline constexpr int kPersonSlots = 2048;

// Keys of the staff records carried for the current company, slots 1..2048
// (index 0 unused), and how many staff records were carried.
extern std::array<int64_t, kPersonSlots + 1> PersonKeys;
extern int32_t PersonCount;
// The staff mode for the current company (copied from StaffMode).
extern uint16_t StaffModeNow;

void ClearPersonKeys();
// Slots 1..min(PersonCount, 2048) searched; logs and waits when the count
// is above the table (the two converters use different overflow lines).
bool PersonCarried(int64_t key, const char* overflowLineUtf8);

bool ConvertStaffRecord(const uint8_t* src, uint8_t* dst);
bool ConvertFamilyRecord(const uint8_t* src, uint8_t* dst);
bool ConvertPid5Record(const uint8_t* src, uint8_t* dst);
bool ConvertPit28Record(const uint8_t* src, uint8_t* dst);

// The person question of the tax forms (Pid5Mode): logs the person of a
// 13952-byte form record and, when asked to, reads T or N; true carries.
bool AskTaxFormPerson(const uint8_t* form);

// Everything above back to its start value (tests).
void ResetPeopleState();

}  // namespace qm
