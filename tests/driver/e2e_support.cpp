#include "tests/driver/e2e_support.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/cp852.h"
#include "driver/main_sequence.h"
#include "journal/run_journal.h"
#include "platform/process.h"

namespace qm::test::e2e {

namespace stdfs = std::filesystem;

namespace {

uint16_t U16(const Bytes& b, size_t off) { return static_cast<uint16_t>(b[off] | (b[off + 1] << 8)); }
void SetU16(Bytes& b, size_t off, uint16_t v) {
  b[off] = static_cast<uint8_t>(v);
  b[off + 1] = static_cast<uint8_t>(v >> 8);
}
void CopyRange(Bytes& dst, size_t dstOff, const Bytes& src, size_t srcOff, size_t n) {
  std::memcpy(dst.data() + dstOff, src.data() + srcOff, n);
}
// A text field assignment: the length (cut to the destination's capacity)
// and the characters; the rest of the destination field stays as it was.
void CopyText(Bytes& dst, size_t dstOff, size_t dstCap, const Bytes& src, size_t srcOff, size_t srcCap) {
  size_t n = std::min<size_t>(src[srcOff], srcCap);
  n = std::min(n, dstCap);
  dst[dstOff] = static_cast<uint8_t>(n);
  std::memcpy(dst.data() + dstOff + 1, src.data() + srcOff + 1, n);
}
void PutText(Bytes& dst, size_t off, const std::string& cp852) {
  dst[off] = static_cast<uint8_t>(cp852.size());
  std::memcpy(dst.data() + off + 1, cp852.data(), cp852.size());
}

}  // namespace

Bytes ReadAll(const std::string& path) {
  if (!IsFile(path)) return {};
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return stdfs::is_regular_file(path, ec);
}

bool IsDir(const std::string& path) {
  std::error_code ec;
  return stdfs::is_directory(path, ec);
}

std::string FindNoCase(const std::string& dir, const std::string& name) {
  std::error_code ec;
  auto lower = [](std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  const std::string want = lower(name);
  for (const auto& e : stdfs::directory_iterator(dir, ec)) {
    if (lower(e.path().filename().string()) == want) return e.path().string();
  }
  return std::string();
}

std::vector<Bytes> Split(const Bytes& file, size_t recSize) {
  std::vector<Bytes> out;
  for (size_t off = 0; off < file.size(); off += recSize) {
    out.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(off),
                     file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), off + recSize)));
  }
  return out;
}

Bytes Join(const std::vector<Bytes>& records) {
  Bytes out;
  for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

Tree Snapshot(const std::string& root) {
  Tree t;
  std::error_code ec;
  for (auto it = stdfs::recursive_directory_iterator(root, ec); !ec && it != stdfs::recursive_directory_iterator();
       it.increment(ec)) {
    // The program's own bookkeeping in the 2020 root is not data of the
    // trees; tests look at it apart.
    if (it.depth() == 0 && it->path().filename() == "_QM1920") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) {
      t[stdfs::relative(it->path(), root).generic_string()] = ReadAll(it->path().string());
    } else if (it->is_directory()) {
      t[stdfs::relative(it->path(), root).generic_string() + "/"] = {};
    }
  }
  return t;
}

Bytes ExpectedStamp(const Bytes& stamp2019) {
  Bytes b(stamp2019.begin(), stamp2019.begin() + 256);
  SetU16(b, 0, 2020);
  SetU16(b, 2, 2020);
  SetU16(b, 4, 2020);
  b[7] = 1;
  return b;
}

Bytes ExpectedAnnual(const Bytes& src, bool from2020) {
  Bytes out(3 * 512, 0);
  // Record 1: general settings.
  {
    const Bytes s(src.begin(), src.begin() + 512);
    Bytes d(512, 0);
    auto copy = [&](size_t off, size_t n) { CopyRange(d, off, s, off, n); };
    copy(0, 2);
    d[2] = from2020 ? s[2] : 1;
    d[3] = from2020 ? s[3] : 1;
    d[4] = 3;
    copy(5, 2);
    copy(7, 2);
    copy(12, 1);
    copy(13, 1);
    copy(14, 2);
    for (size_t m = 0; m < 12; ++m) {
      const size_t o = 16 + 8 * m;
      if (from2020) {
        copy(o, 4);
      } else {
        SetU16(d, o, 1);
        SetU16(d, o + 2, 1);
      }
    }
    copy(112, 2);
    copy(114, 4);  // 114, 115, 116, 117
    if (from2020)
      copy(118, 2);
    else
      CopyRange(d, 118, s, 120, 2);
    copy(122, 1);
    copy(123, 4);
    copy(127, 2);
    d[131] = 3;
    copy(133, 1);
    copy(135, 6);
    copy(141, 3);
    if (from2020)
      copy(150, 13 * 8);
    else
      CopyRange(d, 150, s, 246, 8);
    copy(254, 2);
    if (from2020)
      copy(256, 12 * 8);
    else
      CopyRange(d, 256, s, 344, 8);
    copy(364, 2);
    copy(408, 8);
    if (from2020)
      copy(416, 2);
    else
      SetU16(d, 416, 1);
    copy(418, 3);
    copy(421, 2);
    CopyRange(out, 0, d, 0, 512);
  }
  // Record 2: ten coded entries.
  {
    const Bytes s(src.begin() + 512, src.begin() + 1024);
    Bytes d(512, 0);
    CopyRange(d, 0, s, 0, 2);
    for (size_t i = 0; i < 10; ++i) {
      const size_t o = 2 + 16 * i;
      CopyText(d, o, 6, s, o, 6);
      if (from2020)
        CopyRange(d, o + 7, s, o + 7, 2);
      else
        SetU16(d, o + 7, 1);
      CopyText(d, o + 9, 6, s, o + 9, 6);
    }
    CopyRange(d, 162, s, 162, 2);
    CopyRange(out, 512, d, 0, 512);
  }
  // Record 3: amounts.
  {
    const Bytes s(src.begin() + 1024, src.begin() + 1536);
    Bytes d(512, 0);
    CopyRange(d, 0, s, 0, 2 + 16);
    if (from2020) CopyRange(d, 18, s, 18, 21 * 12);
    CopyRange(d, 270, s, 270, 10);
    CopyRange(out, 1024, d, 0, 512);
  }
  return out;
}

Bytes ExpectedPayroll(const Bytes& lp2) {
  static const uint8_t kWorkingDays2020[12] = {21, 20, 22, 21, 20, 21, 23, 20, 22, 22, 20, 21};
  std::vector<Bytes> recs = Split(lp2, 2048);
  for (auto& r : recs) {
    SetU16(r, 611, 2020);
    std::memcpy(r.data() + 632, kWorkingDays2020, 12);
  }
  return Join(recs);
}

Bytes ExpectedContracts(const Bytes& uz3) {
  std::vector<Bytes> out;
  for (const Bytes& s : Split(uz3, 552)) {
    Bytes d(1024, 0);
    CopyRange(d, 0, s, 0, 20);
    CopyRange(d, 457, s, 225, 327);
    CopyText(d, 20, 36, s, 20, 10);
    CopyText(d, 57, 36, s, 31, 10);
    for (size_t i = 0; i < 3; ++i) CopyText(d, 94 + 121 * i, 120, s, 42 + 61 * i, 60);
    if (s[225] == 1 || s[225] == 2) {
      static const char kFrom[] = "123456789ABCDR";
      static const char kTo[] = "234891DEFGIJK6";
      const char* hit = std::strchr(kFrom, s[227]);
      d[459] = (s[227] && hit) ? static_cast<uint8_t>(kTo[hit - kFrom]) : static_cast<uint8_t>('X');
    }
    out.push_back(d);
  }
  return Join(out);
}

Bytes ExpectedOperators(const Bytes& operators) {
  std::vector<Bytes> recs = Split(operators, 512);
  for (auto& r : recs) {
    sample::ScrambleOperator(r.data());
    uint16_t w3 = U16(r, 139);
    const uint16_t w5 = U16(r, 143);
    if ((w3 & 0x0004) && !(w3 & 0x0010)) w3 |= 0x0010;
    if ((w5 & 0x0002) && !(w3 & 0x0008)) w3 |= 0x0008;
    SetU16(r, 139, w3);
    sample::ScrambleOperator(r.data());
  }
  return Join(recs);
}

Bytes ExpectedOffice(const Bytes& office) {
  std::vector<Bytes> out;
  for (const Bytes& s : Split(office, 384)) {
    Bytes d(384, 0);
    CopyText(d, 0, 36, s, 0, 36);
    CopyText(d, 37, 36, s, 37, 36);
    CopyText(d, 74, 36, s, 74, 36);
    CopyText(d, 111, 13, s, 111, 13);
    CopyText(d, 125, 26, s, 125, 26);
    for (size_t i = 0; i < 4; ++i) {
      SetU16(d, 152 + 13 * i, 1);
      PutText(d, 154 + 13 * i, "/2020");
    }
    CopyText(d, 204, 40, s, 204, 40);
    if (s[245] == 0)
      PutText(d, 245, Pl("Prowadzenie księgi - {zamiesiac}"));
    else
      CopyText(d, 245, 36, s, 245, 36);
    d[282] = s[282];
    CopyText(d, 283, 26, s, 283, 26);
    CopyRange(d, 310, s, 310, 39);
    CopyRange(d, 349, s, 349, 2);
    out.push_back(d);
  }
  return Join(out);
}

Bytes KeepPeople(const Bytes& file, size_t recSize, const std::vector<int64_t>* keys) {
  std::vector<Bytes> out;
  for (const Bytes& r : Split(file, recSize)) {
    int64_t key;
    std::memcpy(&key, r.data(), 8);
    if (key < 0) continue;
    if (keys && std::find(keys->begin(), keys->end(), key) == keys->end()) continue;
    out.push_back(r);
  }
  return Join(out);
}

std::vector<int64_t> StaffKeys(const Bytes& staff) {
  std::vector<int64_t> keys;
  for (const Bytes& r : Split(staff, 2048)) {
    int64_t key;
    std::memcpy(&key, r.data(), 8);
    if (key >= 0) keys.push_back(key);
  }
  return keys;
}

Correction ExpectedCorrection(const std::map<int, Bytes>& journals) {
  Correction c;
  for (const auto& [month, file] : journals) {
    std::vector<Bytes> entries = Split(file, 1024);
    for (Bytes& e : entries) {
      if (U16(e, 30) & 0x0002) continue;
      int target = 0;
      if (U16(e, 24) == 2020 && e[237] == 2)
        target = e[23];
      else if (U16(e, 16) == 2020)
        target = e[15];
      if (!target) continue;
      c.moved[target].push_back(e);
      SetU16(e, 30, 0x0002);
      ++c.count;
    }
    c.journals2019[month] = Join(entries);
  }
  return c;
}

void ToLandedLayout(const std::string& root2020) {
  const std::string books = root2020 + "_QM1920/";
  const Bytes text = ReadAll(books + "P0001/PRZEBIEG.QMJ");
  std::vector<JournalRecord> records;
  ParseJournal(std::string(text.begin(), text.end()), records);
  std::string landed;
  for (JournalRecord& r : records) {
    r.synced = -1;
    landed += EncodeRecord(r);
  }
  std::ofstream(books + "PRZEBIEG.QMJ", std::ios::binary) << landed;
  std::error_code ec;
  stdfs::rename(books + "P0001/KOPIE", books + "KOPIE", ec);
  stdfs::remove_all(books + "P0001", ec);
}

void E2eTest::SetUp() {
  QmTest::SetUp();
  SetCommandArgs({});
  for (const char* v : {"KPRSPIS", "KPRCNF", "KPRLPT", "KPRXY", "QMSOUND"}) unsetenv(v);
  MakeDir("bin");
  programPath = Path("bin/qm19-20");
  SetProgramFilePath(programPath);
}

void E2eTest::TearDown() {
  SetCommandArgs({});
  SetProgramFilePath("");
  QmTest::TearDown();
}

void E2eTest::Generate(const sample::Options& options) {
  std::string error;
  ASSERT_TRUE(sample::Generate(Path("inst"), options, inst, error)) << error;
  ASSERT_TRUE(sample::WritePathFile(programPath, inst, error)) << error;
}

E2eTest::RunResult E2eTest::Run(const std::string& keys) {
  RunResult r;
  // A fresh process: every setting at its start value, the program where
  // its path file is.
  ResetProgramState();
  SetCommandArgs(args);
  SetProgramFilePath(programPath);
  // Keys left over from an earlier run are not typed into this one.
  con.typeAhead = true;
  con.DiscardPending();
  con.typeAhead = false;
  con.capture = true;
  con.screens.clear();
  con.Keys(keys);
  try {
    RunProgram();
  } catch (const ProgramExited& e) {
    r.exitCode = e.code;
  } catch (const ScriptExhausted&) {
    r.scriptUsedUp = true;
    ADD_FAILURE() << "the program waited for a key after the script " << keys << "\n" << LastScreens(3);
  }
  r.keysLeft = con.PendingCount();
  return r;
}

void AnsweredE2eTest::SetUp() {
  E2eTest::SetUp();
  SetConsole(&answer);
}

void AnsweredE2eTest::TearDown() {
  SetConsole(&con);
  E2eTest::TearDown();
}

bool AnsweredE2eTest::Showed(const std::string& utf8) const {
  for (const auto& s : answer.screens)
    if (s.find(utf8) != std::string::npos) return true;
  return answer.Shows(utf8);
}

int E2eTest::RunAnswered(AnsweringConsole& answer, const std::vector<std::string>& arguments,
                         const std::string& page1Keys, const std::string& overwrite) {
  ResetProgramState();
  SetCommandArgs(arguments);
  SetProgramFilePath(programPath);
  answer.typeAhead = true;
  answer.DiscardPending();
  answer.typeAhead = false;
  answer.answers = 0;
  answer.page1Keys = page1Keys;
  answer.page1Done = false;
  answer.overwrite = overwrite;
  answer.capture = true;
  answer.screens.clear();
  try {
    RunProgram();
  } catch (const ProgramExited& e) {
    return e.code;
  } catch (const ScriptExhausted&) {
    return -2;
  }
  return -1;
}

bool E2eTest::Saw(const std::string& utf8) const {
  if (con.Shows(utf8)) return true;
  for (const auto& s : con.screens)
    if (s.find(utf8) != std::string::npos) return true;
  return false;
}

std::string E2eTest::LastScreens(size_t n) const {
  std::string out;
  const size_t from = con.screens.size() > n ? con.screens.size() - n : 0;
  for (size_t i = from; i < con.screens.size(); ++i) out += con.screens[i] + std::string(80, '=') + "\n";
  return out + con.ScreenText();
}

std::string E2eTest::Src(const Company& c, const std::string& name) const {
  return inst.root2019 + c.dir + "/" + sample::FileName(c, name);
}

std::string E2eTest::Tgt(const Company& c, const std::string& name) const {
  const std::string found = FindNoCase(inst.root2020 + c.dir, name);
  return found.empty() ? inst.root2020 + c.dir + "/" + name : found;
}

const Company& E2eTest::CompanyByDir(const std::string& dir) const {
  for (const auto& c : inst.companies)
    if (c.dir == dir) return c;
  ADD_FAILURE() << "no company " << dir;
  return inst.companies.front();
}

std::vector<std::string> E2eTest::List2020Dirs() const {
  std::vector<std::string> dirs;
  for (const Bytes& r : Split(ReadAll(inst.root2020 + "SPISFIRM.DAT"), 103))
    dirs.emplace_back(reinterpret_cast<const char*>(r.data() + 33), std::min<size_t>(r[32], 8));
  return dirs;
}

}  // namespace qm::test::e2e
