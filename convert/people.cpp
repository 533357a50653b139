#include "convert/people.h"

#include <algorithm>
#include <cstring>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "run/package_config.h"
#include "run/progress_log.h"
#include "run/run_operator.h"
#include "run/run_report.h"
#include "run/run_settings.h"

namespace qm {

std::array<int64_t, kPersonSlots + 1> PersonKeys{};
int32_t PersonCount = 0;
uint16_t StaffModeNow = 0;

namespace {

constexpr uint16_t kNewYear = 2020;

// Mode 1 keeps whoever was still employed on the last day of 2019.
constexpr PackedDate kStaffReferenceDate{31, 12, 2019};

void CopyPersonBlocks(const uint8_t* src, uint8_t* dst) {
  CopyBytes(dst, kFormPersonal, src, kFormPersonal, kFormPersonalLen);
  CopyBytes(dst, kFormIdentity, src, kFormIdentity, kFormIdentityLen);
  RestoreText(dst, kFormSurname, 31);
  RestoreText(dst, kFormFirstName, 22);
  CopyBytes(dst, kFormAddress, src, kFormAddress, kFormAddressLen);
}

// One 103-byte block of the PID-5 form, with its two 36-character texts.
void CopyPid5Block(const uint8_t* src, uint8_t* dst, size_t off) {
  CopyBytes(dst, off, src, off, 103);
  RestoreText(dst, off + 29, 36);
  RestoreText(dst, off + 66, 36);
}

void PutNewYearStart(uint8_t* dst) {
  PackedDate start;
  SetDate(start, 1, 1, kNewYear);
  PutDate(dst, kFormStart, start);
}

}  // namespace

void ClearPersonKeys() {
  PersonKeys.fill(0);
  PersonCount = 0;
}

void ResetPeopleState() {
  ClearPersonKeys();
  StaffModeNow = 0;
}

bool PersonCarried(int64_t key, const char* overflowLineUtf8) {
  int32_t n = PersonCount;
  if (n > kPersonSlots) {
    LogLine(Pl(overflowLineUtf8));
    WaitKey();
    n = kPersonSlots;
  }
  // The staff conversion fills slots 1..2047 only; slot 2048 stays empty and
  // must not match a key of 0.
  n = std::min(n, kPersonSlots - 1);
  for (int32_t i = 1; i <= n; ++i) {
    if (PersonKeys[static_cast<size_t>(i)] == key) return true;
  }
  return false;
}

bool ConvertStaffRecord(const uint8_t* src, uint8_t* dst) {
  uint8_t rec[kStaffRecSize];
  std::memcpy(rec, src, sizeof rec);
  const bool scrambled = rec[kStaffForm] == kStaffScrambled;
  if (scrambled) {
    ScrambleStaffRecord(rec);
    rec[kStaffForm] = kStaffPlain;
  }
  const int64_t key = GetI64(rec, kPersonKey);
  if (key < 0) return false;

  LogColour(kLogLabel);
  LogWrite(Pl("osoba: "));
  LogColour(kLogPrompt);
  LogWrite(GetText(rec, kStaffSurname, kStaffSurnameCap) + " " +
           GetText(rec, kStaffFirstName, kStaffFirstNameCap));

  bool carry = true;
  switch (StaffModeNow) {
    case 1: {
      const PackedDate left = GetDate(rec, kStaffLeft);
      if (DateIsSet(left) && DateValue(left) < DateValue(kStaffReferenceDate)) {
        LogLine(Pl(" - zwolniony"));
        Op().Sleep(250);
        return false;
      }
      break;
    }
    case 2: {
      LogColour(kLogQuestion);
      LogWrite(Pl(" Przenieść T/N /W  ? "));
      const uint8_t k = Op().AskLetter("NTW", TypedAhead::Discarded);
      ReportAnswer(std::string(1, static_cast<char>(k)));
      carry = k != 'N';
      // W: this one and every following person of this company's file.
      if (k == 'W') StaffModeNow = 0;
      break;
    }
    default:
      break;
  }
  LogLine("");
  if (!carry) return false;

  ++PersonCount;
  if (PersonCount < kPersonSlots) {
    PersonKeys[static_cast<size_t>(PersonCount)] = key;
  } else if (PersonCount == kPersonSlots) {
    LogLine(Pl("Upss... za dużo pracowników, nie połapię się w rodzinach !"));
    WaitKey();
  }

  std::memset(dst, 0, kStaffRecSize);
  std::memcpy(dst, rec, kStaffRecSize);
  RestoreText(dst, kStaffSurname, kStaffSurnameCap);
  RestoreText(dst, kStaffFirstName, kStaffFirstNameCap);
  if (scrambled) {
    ScrambleStaffRecord(dst);
    dst[kStaffForm] = kStaffScrambled;
  }
  return true;
}

bool ConvertFamilyRecord(const uint8_t* src, uint8_t* dst) {
  std::memset(dst, 0, kFamilyRecSize);
  const int64_t key = GetI64(src, kPersonKey);
  if (key < 0) return false;
  if (!PersonCarried(key, "Upss... Wskaźnik osoby > max ilość osob !")) {
    LogLine(Pl("Nie odnaleziono osoby związanej z członkiem rodziny !"));
    WaitKey();
    return false;
  }
  std::memcpy(dst, src, kFamilyRecSize);
  RestoreText(dst, kFamilyText9, 9);
  RestoreText(dst, kFamilySurname, 31);
  RestoreText(dst, kFamilyFirstName, 22);
  LogLine("  " + GetText(dst, kFamilySurname, 31) + " " + GetText(dst, kFamilyFirstName, 22));
  return true;
}

bool AskTaxFormPerson(const uint8_t* form) {
  LogColour(kLogLabel);
  LogWrite(Pl("Osoba: "));
  LogColour(kLogPrompt);
  LogWrite(GetText(form, kFormSurname, 31) + " " + GetText(form, kFormFirstName, 22));
  bool carry = true;
  if (Pid5Mode == 1) {
    LogColour(kLogQuestion);
    LogWrite(Pl(" Przenieść T/N ? "));
    const uint8_t k = Op().AskLetter("NT", TypedAhead::Discarded);
    ReportAnswer(std::string(1, static_cast<char>(k)));
    carry = k == 'T';
  }
  LogLine("");
  return carry;
}

bool ConvertPid5Record(const uint8_t* src, uint8_t* dst) {
  if (!AskTaxFormPerson(src)) return false;
  const bool takenOver = Use2020AnnualData && GetU16(src, kFormStartYear) == kNewYear;
  if (takenOver) {
    std::memcpy(dst, src, kTaxFormRecSize);
  } else {
    std::memset(dst, 0, kTaxFormRecSize);
    PutI64(dst, kPersonKey, GetI64(src, kPersonKey));
    PutNewYearStart(dst);
    PutU32(dst, kFormDate, 0);
  }
  CopyPersonBlocks(src, dst);
  // The flag lies inside the address block: it is cleared after the block
  // has been copied, or a taken-over form would keep it.
  if (takenOver) dst[kFormTakenOverFlag] = 0;

  for (size_t i = 1; i <= 8; ++i) {
    CopyPid5Block(src, dst, 285 + 103 * i);
    CopyBytes(dst, 788 + 424 * i, src, 876 + 424 * i, 8);
  }
  for (size_t i = 1; i <= 8; ++i) {
    CopyPid5Block(src, dst, 4501 + 103 * i);
    if (!takenOver) CopyBytes(dst, 5004 + 424 * i, src, 5092 + 424 * i, 8);
  }
  for (size_t i = 1; i <= 2; ++i) {
    const size_t base = 8651 + 169 * i;
    CopyText(dst, base, 13, src, base, 13);
    CopyText(dst, base + 14, 14, src, base + 14, 14);
    CopyText(dst, base + 29, 36, src, base + 29, 36);
    CopyText(dst, base + 66, 36, src, base + 66, 36);
    CopyText(dst, base + 103, 36, src, base + 103, 36);
    CopyText(dst, base + 140, 18, src, base + 140, 18);
    CopyBytes(dst, base + 159, src, base + 159, 4);
    CopyBytes(dst, base + 163, src, base + 163, 4);
    CopyBytes(dst, base + 167, src, base + 167, 2);
    if (!takenOver) CopyBytes(dst, 8636 + 522 * i, src, 8724 + 522 * i, 8);
  }
  dst[13884] = src[13884];
  dst[13929] = src[13929];
  dst[13943] = src[13943];
  CopyBytes(dst, 13886, src, 13886, 2);
  CopyBytes(dst, 13899, src, 13899, 2);
  CopyBytes(dst, 13903, src, 13903, 2);
  for (size_t k = 1; k <= 3; ++k) {
    const uint8_t v = src[13887 + k];
    dst[13887 + k] = v == 0 ? 1 : v;
  }
  return true;
}

bool ConvertPit28Record(const uint8_t* src, uint8_t* dst) {
  if (!AskTaxFormPerson(src)) return false;
  std::memset(dst, 0, kTaxFormRecSize);
  PutI64(dst, kPersonKey, GetI64(src, kPersonKey));
  PutNewYearStart(dst);
  PutU32(dst, kFormDate, 0);
  if (Use2020AnnualData && GetU16(src, kFormDateYear) == kNewYear) {
    PutU32(dst, kFormDate, GetU32(src, kFormDate));
  }
  CopyPersonBlocks(src, dst);
  // Every month of the new year opens with the December value of the old.
  const uint16_t december = GetU16(src, 5783);
  for (size_t m = 1; m <= 12; ++m) {
    PutU16(dst, 393 + 490 * (m - 1), december);
    dst[877 + 490 * (m - 1)] = 3;
  }
  dst[13943] = src[13943];
  return true;
}

}  // namespace qm
