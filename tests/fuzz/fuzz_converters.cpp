// Every record converter fed records of arbitrary bytes. The first byte
// picks the converter, the second the staff and form modes, the next eight
// are the answers to the questions some converters ask; the rest is a run of
// records as the copy engine hands them over (short tail zero-filled, the
// destination buffer kept from one record to the next).
#include <cstring>
#include <memory>
#include <string>

#include "convert/addons.h"
#include "convert/contracts.h"
#include "convert/ledger.h"
#include "convert/people.h"
#include "run/run_settings.h"
#include "tests/fuzz/fuzz_support.h"

using namespace qm;

namespace {

using Converter = bool (*)(const uint8_t*, uint8_t*);
using Filter = bool (*)(uint8_t*, uint32_t);

struct Kind {
  Converter convert;
  Filter filter;
  size_t srcSize;
  size_t dstSize;
};

const Kind kKinds[] = {
    {ConvertLedgerEntry, nullptr, kLedgerRecSize, kLedgerRecSize},
    {ConvertRepayment, nullptr, kRepaymentRecSize, kRepaymentRecSize},
    {ConvertStaffRecord, nullptr, kStaffRecSize, kStaffRecSize},
    {ConvertFamilyRecord, nullptr, kFamilyRecSize, kFamilyRecSize},
    {ConvertPid5Record, nullptr, kTaxFormRecSize, kTaxFormRecSize},
    {ConvertPit28Record, nullptr, kTaxFormRecSize, kTaxFormRecSize},
    {nullptr, ConvertWageRecord, kWageRecSize, 0},
    {ConvertContractRecord, nullptr, kContractSrcSize, kContractDstSize},
    {ConvertOfficeRecord, nullptr, 384, 384},
    {nullptr, ConvertOperatorRecord, 512, 0},
};
constexpr size_t kHeader = 10;
constexpr int kMaxRecords = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const Kind& kind = kKinds[data[0] % (sizeof kKinds / sizeof kKinds[0])];
  fuzz::StartRun(std::string(reinterpret_cast<const char*>(data + 2), 8));
  StaffMode = data[1] % 3;
  StaffModeNow = StaffMode;
  Pid5Mode = (data[1] >> 2) & 1;
  SlowDetails = (data[1] >> 3) & 1;
  data += kHeader;
  size -= kHeader;

  // Exact sizes on the heap, so a read or write past a record is caught.
  auto src = std::make_unique<uint8_t[]>(kind.srcSize);
  auto dst = std::make_unique<uint8_t[]>(kind.dstSize ? kind.dstSize : 1);
  std::memset(dst.get(), 0, kind.dstSize ? kind.dstSize : 1);
  try {
    for (int r = 0; r < kMaxRecords && size > 0; ++r) {
      const size_t n = size < kind.srcSize ? size : kind.srcSize;
      std::memcpy(src.get(), data, n);
      std::memset(src.get() + n, 0, kind.srcSize - n);
      data += n;
      size -= n;
      if (kind.filter) {
        kind.filter(src.get(), static_cast<uint32_t>(n));
      } else {
        kind.convert(src.get(), dst.get());
      }
    }
  } catch (const fuzz::Stopped&) {
  } catch (const fuzz::TooManyWaits&) {
  }
  return 0;
}
