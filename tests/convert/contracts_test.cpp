// Commission contracts (552 -> 1024 bytes) and wages of 2020.
#include <cstring>

#include "base/cp852.h"
#include "base/record_fields.h"
#include "convert/contracts.h"
#include "convert/people.h"
#include "run/progress_log.h"
#include "tests/convert/copy_support.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

size_t LogCount(const std::string& utf8) {
  const std::string all = LogText();
  size_t n = 0;
  for (size_t at = all.find(utf8); at != std::string::npos; at = all.find(utf8, at + 1)) ++n;
  return n;
}

Bytes Pattern(size_t size, uint8_t salt) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 11 + (i >> 8) * 5 + salt);
  return b;
}

void Carry(std::initializer_list<int64_t> keys) {
  ClearPersonKeys();
  for (int64_t k : keys) PersonKeys[static_cast<size_t>(++PersonCount)] = k;
}

TEST(ContractKinds, TranslationTable) {
  const char* from = "123456789ABCDR";
  const char* to = "234891DEFGIJK6";
  for (size_t i = 0; from[i]; ++i) {
    EXPECT_EQ(TranslateContractKind(static_cast<uint8_t>(from[i])), static_cast<uint8_t>(to[i]))
        << from[i];
  }
  for (int other : {int('0'), int('E'), int('Z'), int('r'), int('a'), int(' '), 0, 0xFF}) {
    EXPECT_EQ(TranslateContractKind(static_cast<uint8_t>(other)), 'X') << other;
  }
}

class ContractTest : public QmTest {};

Bytes Contract(int64_t key, uint8_t category, uint8_t kind) {
  Bytes r = Pattern(kContractSrcSize, 1);
  PutI64(r.data(), 0, key);
  PutText(r.data(), 20, 10, "UZ/1/2020");
  PutText(r.data(), 31, 10, "0123456789");
  PutText(r.data(), 42, 60, std::string(60, 'a'));
  PutText(r.data(), 103, 60, Pl("Usługi księgowe"));
  PutText(r.data(), 164, 60, "");
  r[225] = category;
  r[227] = kind;
  return r;
}

TEST_F(ContractTest, FieldsMoveToTheWiderRecord) {
  Carry({5, 6});
  const Bytes src = Contract(6, 1, 'R');
  Bytes dst(kContractDstSize, 0xEE);
  ASSERT_TRUE(ConvertContractRecord(src.data(), dst.data()));

  Bytes want(kContractDstSize, 0);
  std::memcpy(want.data(), src.data(), 20);
  std::memcpy(want.data() + 457, src.data() + 225, 327);
  PutText(want.data(), 20, 36, "UZ/1/2020");
  PutText(want.data(), 57, 36, "0123456789");
  PutText(want.data(), 94, 120, std::string(60, 'a'));  // 60 characters fit unchanged
  PutText(want.data(), 215, 120, Pl("Usługi księgowe"));
  PutText(want.data(), 336, 120, "");
  want[459] = '6';
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(dst[i], want[i]) << "offset " << i;
}

TEST_F(ContractTest, KindCodeTranslatedOnlyForCategoriesOneAndTwo) {
  Carry({1});
  struct Case {
    uint8_t category, kind, want;
  } cases[] = {{1, 'R', '6'}, {2, '1', '2'}, {1, 'Z', 'X'}, {3, 'R', 'R'}, {0, '7', '7'}, {2, 'D', 'K'}};
  for (const Case& c : cases) {
    Bytes dst(kContractDstSize);
    ASSERT_TRUE(ConvertContractRecord(Contract(1, c.category, c.kind).data(), dst.data()));
    EXPECT_EQ(dst[459], c.want) << int(c.category) << " " << c.kind;
    EXPECT_EQ(dst[457], c.category);
  }
}

TEST_F(ContractTest, OverlongTextsAreCut) {
  Carry({1});
  Bytes src = Contract(1, 3, 'A');
  src[20] = 0xF0;  // beyond 10: only 10 characters are the field's
  src[42] = 0xFF;
  Bytes dst(kContractDstSize);
  ASSERT_TRUE(ConvertContractRecord(src.data(), dst.data()));
  EXPECT_EQ(GetText(dst.data(), 20, 36), std::string(reinterpret_cast<const char*>(src.data() + 21), 10));
  EXPECT_EQ(dst[94], 60);
  // Nothing of the source beyond its own field came along.
  EXPECT_EQ(dst[20 + 11], 0);
}

TEST_F(ContractTest, WithoutCarriedStaffEveryRecordIsDropped) {
  ClearPersonKeys();
  con.Keys("Enter Enter");
  Bytes dst(kContractDstSize);
  EXPECT_FALSE(ConvertContractRecord(Contract(1, 1, '1').data(), dst.data()));
  EXPECT_FALSE(ConvertContractRecord(Contract(2, 1, '1').data(), dst.data()));
  EXPECT_EQ(LogCount("Upss... nie odnaleziono osoby związanej z odczytną umową/zlecenia !"), 2u);
  EXPECT_EQ(con.PendingCount(), 0u);
  // A record not in use goes without a word.
  EXPECT_FALSE(ConvertContractRecord(Contract(-3, 1, '1').data(), dst.data()));
  EXPECT_EQ(LogCount("Upss..."), 2u);

  Bytes wage = Pattern(kWageRecSize, 4);
  PutI64(wage.data(), 0, 1);
  EXPECT_FALSE(ConvertWageRecord(wage.data(), kWageRecSize));
  EXPECT_EQ(LogCount("Upss..."), 2u);
}

TEST_F(ContractTest, PersonTableOverflowLine) {
  ClearPersonKeys();
  PersonCount = 2049;
  PersonKeys[10] = 9;
  con.Keys("Enter");
  Bytes dst(kContractDstSize);
  EXPECT_TRUE(ConvertContractRecord(Contract(9, 1, '1').data(), dst.data()));
  EXPECT_EQ(LogCount("Upss... za duża ilość pracownikow !"), 1u);
  con.Keys("Enter");
  Bytes wage = Pattern(kWageRecSize, 4);
  PutI64(wage.data(), 0, 9);
  EXPECT_TRUE(ConvertWageRecord(wage.data(), kWageRecSize));
  EXPECT_EQ(LogCount("Upss... Wskaźnik osoby > max ilość osob !"), 1u);
}

TEST_F(ContractTest, WageTextsRestoredWithinTheRecordRead) {
  Carry({77});
  Bytes wage = Pattern(kWageRecSize, 2);
  PutI64(wage.data(), 0, 77);
  for (size_t i = 0; i < 8; ++i) wage[15 + 51 * i] = static_cast<uint8_t>(i * 6);  // within 50
  wage[15 + 51 * 2] = 200;
  Bytes want = wage;
  want[15 + 51 * 2] = 50;
  ASSERT_TRUE(ConvertWageRecord(wage.data(), kWageRecSize));
  EXPECT_EQ(wage, want);
  EXPECT_EQ(LogCount("Wynagrodzenie idx ="), 1u);

  // A short last record: only the fields it holds are touched.
  Bytes shortRec = Pattern(kWageRecSize, 2);
  PutI64(shortRec.data(), 0, 77);
  shortRec[15] = 200;
  shortRec[66] = 200;  // field 2 ends at 116, beyond the 100 bytes read
  ASSERT_TRUE(ConvertWageRecord(shortRec.data(), 100));
  EXPECT_EQ(shortRec[15], 50);
  EXPECT_EQ(shortRec[66], 200);

  // A record shorter than its key has the missing key bytes as zeros.
  Carry({0x44});
  Bytes tiny(kWageRecSize, 0xFF);
  tiny[0] = 0x44;
  EXPECT_TRUE(ConvertWageRecord(tiny.data(), 1));
}

}  // namespace
}  // namespace qm::test
