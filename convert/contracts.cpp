#include "convert/contracts.h"

#include <algorithm>
#include <cstring>

#include "base/cp852.h"
#include "base/record_fields.h"
#include "convert/people.h"
#include "run/progress_log.h"

namespace qm {

namespace {

struct KindPair {
  uint8_t from, to;
};
// Kind codes of the old contract categories 1 and 2 and their new codes.
constexpr KindPair kKindCodes[] = {
    {'1', '2'}, {'2', '3'}, {'3', '4'}, {'4', '8'}, {'5', '9'}, {'6', '1'}, {'7', 'D'},
    {'8', 'E'}, {'9', 'F'}, {'A', 'G'}, {'B', 'I'}, {'C', 'J'}, {'D', 'K'}, {'R', '6'},
};
constexpr uint8_t kKindUnknown = 'X';

}  // namespace

uint8_t TranslateContractKind(uint8_t code) {
  for (const KindPair& p : kKindCodes) {
    if (p.from == code) return p.to;
  }
  return kKindUnknown;
}

bool ConvertWageRecord(uint8_t* rec, uint32_t length) {
  // A short last record holds only length bytes of its own; missing key
  // bytes count as zero.
  uint8_t keyBytes[8] = {};
  std::memcpy(keyBytes, rec, std::min<size_t>(length, sizeof keyBytes));
  const int64_t key = GetI64(keyBytes, kPersonKey);
  if (key < 0) return false;
  if (!PersonCarried(key, "Upss... Wskaźnik osoby > max ilość osob !")) return false;
  LogLine(Pl("Wynagrodzenie idx = "));
  for (size_t i = 0; i < 8; ++i) {
    const size_t off = kWageTexts + kWageTextStride * i;
    // Only fields that the record really holds are touched.
    if (off + kWageTextCap + 1 <= length) RestoreText(rec, off, kWageTextCap);
  }
  return true;
}

bool ConvertContractRecord(const uint8_t* src, uint8_t* dst) {
  const int64_t key = GetI64(src, kPersonKey);
  if (key < 0) return false;
  if (!PersonCarried(key, "Upss... za duża ilość pracownikow !")) {
    LogLine(Pl("Upss... nie odnaleziono osoby związanej z odczytną umową/zlecenia !"));
    WaitKey();
    return false;
  }
  std::memset(dst, 0, kContractDstSize);
  CopyBytes(dst, 0, src, 0, kContractHead);
  CopyBytes(dst, kContractBlockDst, src, kContractBlockSrc, kContractBlockLen);
  CopyText(dst, 20, 36, src, 20, 10);
  CopyText(dst, 57, 36, src, 31, 10);
  for (size_t i = 0; i < 3; ++i) CopyText(dst, 94 + 121 * i, 120, src, 42 + 61 * i, 60);
  const uint8_t category = src[kContractCategory];
  if (category == 1 || category == 2) dst[kContractKindDst] = TranslateContractKind(src[kContractKindSrc]);
  return true;
}

}  // namespace qm
