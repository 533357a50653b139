#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "fileio/shared_file.h"
#include "tests/fileio/fault_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

// Records of 8 bytes: a key text of up to 6 characters and a sequence byte.
constexpr uint16_t kRec = 8;
Bytes Rec(const std::string& key, uint8_t seq = 0) {
  Bytes r(kRec, 0);
  PutText(r.data(), 0, 6, Pl(key));
  r[7] = seq;
  return r;
}
std::string KeyOf(const uint8_t* r) { return GetText(r, 0, 6); }

// Ordered by the upper-cased key, as the company list is.
class KeyFile : public SharedFile {
 public:
  KeyFile(const std::string& name, const FakeConsole* con) : SharedFile(name, kRec), con_(con) {}
  void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res) override {
    ++compares;
    if (con_->Shows("Wstawianie...")) sawProgress = true;
    res = PlCompare(PlUpperCase(KeyOf(existing)), PlUpperCase(KeyOf(newRec)));
  }
  int compares = 0;
  bool sawProgress = false;

 private:
  const FakeConsole* con_;
};

// Notes what the screen showed while the program paused.
class PauseWatchConsole : public FakeConsole {
 public:
  void Sleep(int ms) override {
    if (Shows("Sieciowa KOLEJKA")) sawQueue = true;
    ++pauses;
    FakeConsole::Sleep(ms);
  }
  bool sawQueue = false;
  int pauses = 0;
};

class SharedFileTest : public QmTest {
 protected:
  SharedFilePtr<KeyFile> OpenKeyFile(const std::string& rel) {
    SharedFilePtr<KeyFile> f(new KeyFile(Path(rel), &con));
    EXPECT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    return f;
  }
  void WriteRecords(const std::string& rel, const std::vector<Bytes>& recs) {
    Bytes all;
    for (const auto& r : recs) all.insert(all.end(), r.begin(), r.end());
    WriteFile(rel, all);
  }
  std::vector<std::string> Keys(const std::string& rel) {
    const Bytes all = ReadFile(rel);
    std::vector<std::string> keys;
    for (size_t off = 0; off + kRec <= all.size(); off += kRec)
      keys.push_back(Cp852ToUtf8(KeyOf(all.data() + off)) + std::to_string(all[off + 7]));
    return keys;
  }
  bool ScreenSeen(const std::string& utf8) const {
    return std::any_of(con.screens.begin(), con.screens.end(),
                       [&](const std::string& s) { return s.find(utf8) != std::string::npos; });
  }
};

TEST_F(SharedFileTest, Construction) {
  // Installation paths are kept whole (a name cut short would be another
  // file's).
  SharedFilePtr<> f(SharedFile::Init(std::string(300, 'n'), 0));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->RecSize, 1);
  EXPECT_EQ(f->Name, std::string(300, 'n'));
  EXPECT_EQ(FileNameOf(f->file), std::string(300, 'n'));
  EXPECT_EQ(f->AccessMode, 0x42);
  EXPECT_EQ(f->State, StateClosed);
  EXPECT_FALSE(f->Locked);
  EXPECT_FALSE(f->LockOnOpen);
  DisableSharing();
  SharedFilePtr<> g(SharedFile::Init("x", 103));
  EXPECT_EQ(g->AccessMode, 0x02);
  EXPECT_EQ(g->RecSize, 103);
  EXPECT_FALSE(NetworkMode);
  EXPECT_EQ(ShareDenyAll | ShareDenyWrite | ShareDenyRead | ShareDenyNone, 0);
}

TEST_F(SharedFileTest, OpenKinds) {
  {
    SharedFilePtr<> f(SharedFile::Init(Path("a.dat"), kRec));
    EXPECT_FALSE(f->Open(OpenOnly, WaitAsk));  // no question: no keys are scripted
    EXPECT_FALSE(Exists("a.dat"));
    EXPECT_TRUE(f->Open(OpenOrCreate, WaitAsk));
    EXPECT_EQ(f->State, StateCreated);
    EXPECT_TRUE(Exists("a.dat"));
    EXPECT_TRUE(f->Close());
    EXPECT_EQ(f->State, StateClosed);
  }
  WriteFile("b.dat", Rec("B"));
  {
    SharedFilePtr<> f(SharedFile::Init(Path("b.dat"), kRec));
    EXPECT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    EXPECT_EQ(f->State, StateOpened);
    EXPECT_TRUE(f->Close());
    EXPECT_TRUE(f->Open(OpenOnly, WaitRetry));
    EXPECT_EQ(f->State, StateOpened);
    EXPECT_TRUE(f->Close());
    EXPECT_EQ(ReadFile("b.dat"), Rec("B"));
    EXPECT_TRUE(f->Open(Recreate, WaitRetry));
    EXPECT_EQ(f->State, StateCreated);
    EXPECT_FALSE(f->Open(static_cast<OpenKind>(9), WaitRetry));
  }
  EXPECT_EQ(ReadFile("b.dat").size(), 0u);
}

TEST_F(SharedFileTest, OpenOrAskAnswered) {
  con.capture = true;
  con.Keys("n");
  {
    SharedFilePtr<> f(SharedFile::Init(Path("ask.dat"), kRec));
    EXPECT_FALSE(f->Open(OpenOrAsk, WaitRetry));
    EXPECT_EQ(f->State, StateClosed);
  }
  EXPECT_FALSE(Exists("ask.dat"));
  EXPECT_TRUE(ScreenSeen("Nie odnaleziono pliku:"));
  EXPECT_TRUE(ScreenSeen("Utworzyć nowy ?"));
  EXPECT_TRUE(ScreenSeen("ask.dat"));
  con.Keys("t");
  {
    SharedFilePtr<> f(SharedFile::Init(Path("ask.dat"), kRec));
    EXPECT_TRUE(f->Open(OpenOrAsk, WaitRetry));
    EXPECT_EQ(f->State, StateCreated);
  }
  EXPECT_TRUE(Exists("ask.dat"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(SharedFileTest, MakeTempCreatesAFreshFileInTheNamedDirectory) {
  SharedFilePtr<> f(SharedFile::Init(Dir(), 1));
  ASSERT_TRUE(f->Open(MakeTemp, WaitRetry));
  EXPECT_EQ(f->State, StateTemp);
  EXPECT_EQ(f->Name.rfind(Dir() + "~qm", 0), 0u) << f->Name;
  EXPECT_EQ(f->Name.substr(f->Name.size() - 4), ".tmp");
  EXPECT_EQ(FileNameOf(f->file), f->Name);
  EXPECT_TRUE(Exists(f->Name));
}

TEST_F(SharedFileTest, RecordTransfer) {
  SharedFilePtr<> f(SharedFile::Init(Path("r.dat"), 4));
  ASSERT_TRUE(f->Open(Recreate, WaitRetry));
  int32_t count = 99;
  EXPECT_TRUE(f->SeekEnd(count));
  EXPECT_EQ(count, 0);
  const uint8_t a[4] = {'A', 'A', 'A', 'A'}, b[4] = {'B', 'B', 'B', 'B'}, c[4] = {'C', 'C', 'C', 'C'};
  EXPECT_TRUE(f->WriteNext(a));
  EXPECT_EQ(f->Transferred, 1);
  EXPECT_TRUE(f->WriteNext(b));
  EXPECT_TRUE(f->Append(c));
  EXPECT_TRUE(f->SeekEnd(count));
  EXPECT_EQ(count, 3);
  uint8_t buf[4];
  EXPECT_TRUE(f->ReadAt(1, buf));
  EXPECT_EQ(std::memcmp(buf, b, 4), 0);
  EXPECT_TRUE(f->ReadNext(buf));
  EXPECT_EQ(std::memcmp(buf, c, 4), 0);
  std::memset(buf, 0xAA, 4);
  EXPECT_FALSE(f->ReadNext(buf));  // at the end
  EXPECT_EQ(f->Transferred, 0);
  EXPECT_EQ(f->LastError, 0);
  EXPECT_EQ(Bytes(buf, buf + 4), Bytes(4, 0));
  std::memset(buf, 0xAA, 4);
  EXPECT_FALSE(f->ReadAt(-1, buf));  // a failed seek zero-fills as well
  EXPECT_NE(f->LastError, 0);
  EXPECT_EQ(Bytes(buf, buf + 4), Bytes(4, 0));
  EXPECT_TRUE(f->WriteAt(0, c));
  EXPECT_TRUE(f->Flush());
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(ReadText("r.dat"), "CCCCBBBBCCCC");

  // A partly written record at the end does not count and is overwritten
  // by the next append.
  WriteText("r.dat", "AAAABBBBCC");
  ASSERT_TRUE(f->Open(OpenOnly, WaitRetry));
  EXPECT_TRUE(f->SeekEnd(count));
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(f->Append(c));
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(ReadText("r.dat"), "AAAABBBBCCCC");
  std::memset(buf, 0xAA, 4);
  EXPECT_FALSE(f->ReadNext(buf));  // closed
  EXPECT_EQ(Bytes(buf, buf + 4), Bytes(4, 0));

  FaultFs faults(*fs);
  SetFileSystem(&faults);
  ASSERT_TRUE(f->Open(OpenOnly, WaitRetry));
  faults.sizeCode = kErrReadFault;
  EXPECT_FALSE(f->SeekEnd(count));
  EXPECT_EQ(count, -1);
  EXPECT_EQ(f->LastError, kErrReadFault);
  f->Close();
  SetFileSystem(fs.get());
}

TEST_F(SharedFileTest, InsertSortedKeepsOrderAndPlacesEqualKeysLast) {
  auto f = OpenKeyFile("list.dat");
  EXPECT_TRUE(f->InsertSorted(Rec("M", 1).data()));
  EXPECT_EQ(f->InsertedAt, 0);
  EXPECT_EQ(f->compares, 0);  // nothing to compare with in an empty file
  const struct {
    const char* key;
    int at;
  } steps[] = {{"C", 0}, {"X", 2}, {"C", 1}, {"A", 0}, {"c", 3}, {"Ź", 6}, {"Ż", 6}, {"Z", 6}, {"ł", 4}, {"L", 4}};
  uint8_t seq = 2;
  for (const auto& s : steps) {
    EXPECT_TRUE(f->InsertSorted(Rec(s.key, seq++).data())) << s.key;
    EXPECT_EQ(f->InsertedAt, s.at) << s.key;
  }
  EXPECT_FALSE(f->Locked);
  f.reset();
  const std::vector<std::string> expected = {"A5", "C2", "C4", "c6", "L11", "ł10", "M1",
                                             "X3", "Z9", "Ż8", "Ź7"};
  EXPECT_EQ(Keys("list.dat"), expected);
}

TEST_F(SharedFileTest, InsertSortedShowsProgressOnlyAbove20Records) {
  for (int existing : {19, 20}) {
    std::vector<Bytes> recs;
    for (int i = 0; i < existing; ++i) recs.push_back(Rec("B", static_cast<uint8_t>(i)));
    WriteRecords("p.dat", recs);
    auto f = OpenKeyFile("p.dat");
    EXPECT_TRUE(f->InsertSorted(Rec("A").data()));
    EXPECT_EQ(f->InsertedAt, 0);
    EXPECT_EQ(f->compares, existing);
    EXPECT_EQ(f->sawProgress, existing == 20) << existing;
    EXPECT_FALSE(con.Shows("Wstawianie"));  // closed again
  }
}

TEST_F(SharedFileTest, InsertSortedLocksTheWholeFile) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  {
    SharedFilePtr<SharedFile> f(SharedFile::Init(Path("big.dat"), 103));
    ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    EXPECT_TRUE(f->InsertSorted(Bytes(103, 1).data()));
    EXPECT_TRUE(f->InsertSorted(Bytes(103, 2).data()));
    EXPECT_EQ(f->InsertedAt, 1);  // the plain file keeps arrival order
  }
  const std::pair<uint64_t, uint64_t> whole{0, 0x7FFFFFFF};
  EXPECT_EQ(faults.locks, (std::vector<std::pair<uint64_t, uint64_t>>{whole, whole}));
  EXPECT_EQ(faults.unlocks, faults.locks);

  // Without the network no lock is taken at all.
  faults.locks.clear();
  faults.unlocks.clear();
  DisableSharing();
  {
    SharedFilePtr<SharedFile> f(SharedFile::Init(Path("big.dat"), 103));
    ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    EXPECT_TRUE(f->InsertSorted(Bytes(103, 3).data()));
  }
  EXPECT_TRUE(faults.locks.empty());
  EXPECT_TRUE(faults.unlocks.empty());
  EXPECT_EQ(ReadFile("big.dat").size(), 309u);
  SetFileSystem(fs.get());
}

// Records of 1,000 bytes, 65 to a read of the search: an insertion near the
// start of a long file crosses several reads.
class WideFile : public SharedFile {
 public:
  explicit WideFile(const std::string& name) : SharedFile(name, 1000) {}
  void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res) override {
    res = existing[0] > newRec[0] ? -1 : 0;
  }
};
Bytes Wide(uint8_t key, uint8_t id) {
  Bytes r(1000, id);
  r[0] = key;
  return r;
}

// Keys and contents 0, 1, 2, ...
Bytes WideRecords(int n) {
  Bytes all;
  for (int i = 0; i < n; ++i) {
    const Bytes r = Wide(static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    all.insert(all.end(), r.begin(), r.end());
  }
  return all;
}

TEST_F(SharedFileTest, InsertSortedAcrossSeveralReadsMovesEveryRecordOnce) {
  const Bytes all = WideRecords(200);
  WriteFile("w.dat", all);
  {
    SharedFilePtr<WideFile> f(new WideFile(Path("w.dat")));
    ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    EXPECT_TRUE(f->InsertSorted(Wide(9, 0xEE).data()));  // after key 9
    EXPECT_EQ(f->InsertedAt, 10);
  }
  Bytes expected(all.begin(), all.begin() + 10 * 1000);
  const Bytes added = Wide(9, 0xEE);
  expected.insert(expected.end(), added.begin(), added.end());
  expected.insert(expected.end(), all.begin() + 10 * 1000, all.end());
  EXPECT_EQ(ReadFile("w.dat"), expected);
}

// A write failing in the middle of a long move leaves the record moved last
// standing twice and loses none.
TEST_F(SharedFileTest, InsertSortedFailingInALongMoveLosesNoRecord) {
  const Bytes all = WideRecords(200);
  WriteFile("w.dat", all);
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  con.Keys("t");
  {
    SharedFilePtr<WideFile> f(new WideFile(Path("w.dat")));
    ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    faults.writesBeforeFailure = 101;  // the append and 100 moves
    EXPECT_THROW(f->InsertSorted(Wide(0, 0xEE).data()), ProgramExited);
    faults.writesBeforeFailure = -1;
  }
  SetFileSystem(fs.get());
  // Records 100 to 199 moved up; record 100 stands at 100 and 101.
  Bytes expected(all.begin(), all.begin() + 101 * 1000);
  expected.insert(expected.end(), all.begin() + 100 * 1000, all.end());
  EXPECT_EQ(ReadFile("w.dat"), expected);
}

TEST_F(SharedFileTest, LockRangeOfRecords) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  SharedFilePtr<> f(SharedFile::Init(Path("l.dat"), 103));
  ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
  EXPECT_TRUE(LockRange(f->file, 2, 3, false));
  EXPECT_TRUE(LockRange(f->file, 2, 3, true));
  EXPECT_TRUE(f->LockRecord(4));
  EXPECT_TRUE(f->Locked);
  EXPECT_EQ(faults.locks, (std::vector<std::pair<uint64_t, uint64_t>>{{206, 309}, {412, 103}}));
  EXPECT_EQ(faults.unlocks, (std::vector<std::pair<uint64_t, uint64_t>>{{206, 309}}));
  f->Close();
  EXPECT_FALSE(LockRange(f->file, 0, -1, false));  // closed file
  SetFileSystem(fs.get());
}

// A failing step of an insertion ends the program; the file keeps what was
// written: here the record moved last stands twice and the new one is lost.
TEST_F(SharedFileTest, InsertSortedFailureEndsTheProgram) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  WriteRecords("f.dat", {Rec("B"), Rec("C"), Rec("D"), Rec("E"), Rec("F")});
  con.capture = true;
  con.Keys("t");
  {
    auto f = OpenKeyFile("f.dat");
    faults.writesBeforeFailure = 3;  // the append and two moves succeed
    try {
      f->InsertSorted(Rec("A", 9).data());
      ADD_FAILURE() << "the insertion returned";
    } catch (const ProgramExited& e) {
      EXPECT_EQ(e.code, 255);
    }
    faults.writesBeforeFailure = -1;
  }
  EXPECT_TRUE(ScreenSeen("Poważny BŁĄD I/O."));
  EXPECT_TRUE(ScreenSeen("zapisu danych"));
  EXPECT_TRUE(ScreenSeen("Czy KONTYNUOWAĆ PRACĘ ?"));
  EXPECT_EQ(Keys("f.dat"), (std::vector<std::string>{"B0", "C0", "D0", "E0", "E0", "F0"}));

  // A failed append leaves the file as it was.
  WriteRecords("g.dat", {Rec("B")});
  con.Keys("n");
  {
    auto f = OpenKeyFile("g.dat");
    faults.writesBeforeFailure = 0;
    EXPECT_THROW(f->InsertSorted(Rec("A").data()), ProgramExited);
    faults.writesBeforeFailure = -1;
  }
  EXPECT_TRUE(ScreenSeen("dopisania do  pliku"));
  EXPECT_EQ(Keys("g.dat"), (std::vector<std::string>{"B0"}));

  // Without the program's prompts nobody ends the program: the insertion
  // gives up.
  SetOperatorPrompts(nullptr);
  WriteRecords("h.dat", {Rec("B")});
  {
    auto f = OpenKeyFile("h.dat");
    faults.writesBeforeFailure = 0;
    EXPECT_FALSE(f->InsertSorted(Rec("A").data()));
    faults.writesBeforeFailure = -1;
  }
  EXPECT_EQ(Keys("h.dat"), (std::vector<std::string>{"B0"}));
  SetFileSystem(fs.get());
}

TEST_F(SharedFileTest, FatalIOErrorExitsWith255WhateverTheAnswer) {
  for (const char* answer : {"t", "n", "Esc", "Enter"}) {
    con.Keys(answer);
    try {
      FatalIOError("test");
      ADD_FAILURE() << "returned";
    } catch (const ProgramExited& e) {
      EXPECT_EQ(e.code, 255) << answer;
    }
    EXPECT_EQ(con.PendingCount(), 0u) << answer;
  }
}

TEST_F(SharedFileTest, WaitModes) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  SharedFilePtr<> f(SharedFile::Init(Path("w.dat"), kRec));
  ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));

  // Retry: 30 attempts in a row, no pause, no question.
  faults.lockFailures = 100;
  EXPECT_FALSE(f->LockAll(WaitRetry));
  EXPECT_FALSE(f->Locked);
  EXPECT_EQ(faults.locks.size(), 30u);
  EXPECT_EQ(con.nowMs, 0u);

  // Ask: the question after 30 attempts and 29 pauses; "Tak" buys a series.
  faults.locks.clear();
  faults.lockFailures = 30;
  con.capture = true;
  con.Keys("t");
  EXPECT_TRUE(f->LockAll(WaitAsk));
  EXPECT_TRUE(f->Locked);
  EXPECT_EQ(faults.locks.size(), 31u);
  EXPECT_EQ(con.nowMs, 29u * 50u);
  EXPECT_TRUE(ScreenSeen("DOSTĘP BLOKOWANY SIECIOWO"));
  EXPECT_TRUE(f->Unlock());
  EXPECT_FALSE(f->Locked);

  // A failed unlock keeps the lock noted.
  EXPECT_TRUE(f->LockAll(WaitRetry));
  faults.unlockFailures = 100;
  con.Keys("n");
  EXPECT_FALSE(f->Unlock());
  EXPECT_TRUE(f->Locked);
  faults.unlockFailures = 0;
  EXPECT_TRUE(f->Unlock());
  SetFileSystem(fs.get());
}

TEST_F(SharedFileTest, QueueWaitsUntilGrantedWithAProgressBar) {
  PauseWatchConsole watch;
  SetConsole(&watch);
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  SharedFilePtr<> f(SharedFile::Init(Path("q.dat"), kRec));
  ASSERT_TRUE(f->Open(OpenOrCreate, WaitRetry));
  faults.lockFailures = 70;
  EXPECT_TRUE(f->LockAll(WaitQueue));  // no keys: the operator is never asked
  EXPECT_EQ(faults.locks.size(), 71u);
  // Two full series of 29 pauses, then ten more.
  EXPECT_EQ(watch.pauses, 68);
  EXPECT_TRUE(watch.sawQueue);
  EXPECT_FALSE(watch.Shows("Sieciowa KOLEJKA"));
  f.reset();
  SetFileSystem(fs.get());
  SetConsole(&con);
}

TEST_F(SharedFileTest, OpeningRetriesSharingViolations) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  WriteFile("s.dat", Rec("S"));
  SharedFilePtr<> f(SharedFile::Init(Path("s.dat"), kRec));
  faults.openCode = kErrSharingViolation;
  faults.openCodeTimes = 3;
  EXPECT_TRUE(f->ResetShared());
  EXPECT_EQ(faults.opens, 4);
  EXPECT_EQ(con.nowMs, 150u);
  EXPECT_TRUE(f->Close());

  faults.opens = 0;
  con.nowMs = 0;
  faults.openCodeTimes = 1000;
  SetOpenMode(0x10);  // a caller's own bracket around this open
  EXPECT_FALSE(f->ResetShared());
  EXPECT_EQ(faults.opens, 31);
  EXPECT_EQ(con.nowMs, 30u * 50u);
  EXPECT_EQ(f->LastError, kErrSharingViolation);
  EXPECT_EQ(ProcessOpenMode(), 0x10);  // restored, and the caller's bracket intact
  EXPECT_EQ(SavedOpenMode, 2);
  RestoreOpenMode();

  // Access denied is not retried inside one open; after the wait the
  // operator is told.
  faults.opens = 0;
  faults.openCode = kErrAccessDenied;
  con.capture = true;
  con.Keys("Enter");
  EXPECT_FALSE(f->Open(OpenOrCreate, WaitRetry));
  EXPECT_EQ(faults.opens, 30);
  EXPECT_TRUE(ScreenSeen("Zabronony !(?)"));
  EXPECT_EQ(ReadFile("s.dat"), Rec("S"));
  SetFileSystem(fs.get());
}

TEST_F(SharedFileTest, LockOnOpenFailureClosesTheFile) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  SharedFilePtr<> f(SharedFile::Init(Path("o.dat"), kRec));
  f->LockOnOpen = true;
  faults.lockFailures = 30;
  EXPECT_FALSE(f->Open(OpenOrCreate, WaitRetry));
  EXPECT_EQ(f->State, StateClosed);
  EXPECT_FALSE(f->file.IsOpen());
  EXPECT_TRUE(f->Open(OpenOrCreate, WaitRetry));
  EXPECT_TRUE(f->Locked);
  SetFileSystem(fs.get());
}

TEST_F(SharedFileTest, FileExistsRetryAsksAfterFiveThenEveryFourRefusals) {
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  WriteFile("e.dat", Rec("KEEP"));
  faults.findName = Path("e.dat");
  faults.findCode = kErrAccessDenied;
  RecordFile file;
  file.name = Path("e.dat");
  con.capture = true;
  con.Keys("t n");
  bool gaveUp = false;
  EXPECT_FALSE(FileExistsRetry(file, &gaveUp));
  EXPECT_TRUE(gaveUp);
  EXPECT_EQ(faults.finds, 9);
  EXPECT_EQ(con.nowMs, 8u * 500u);
  EXPECT_TRUE(ScreenSeen("niemożliwy/zabroniony !"));
  EXPECT_TRUE(ScreenSeen("Ponowić próbę ?"));

  // Given up that way, opening must not create (and so empty) the file.
  for (OpenKind kind : {OpenOrCreate, OpenOrAsk}) {
    con.Keys("n");
    SharedFilePtr<> f(SharedFile::Init(Path("e.dat"), kRec));
    EXPECT_FALSE(f->Open(kind, WaitRetry));
    EXPECT_EQ(f->LastError, kErrAccessDenied);
    EXPECT_EQ(ReadFile("e.dat"), Rec("KEEP"));
  }

  // A bad name is reported once; a plain miss is not reported.
  faults.finds = 0;
  faults.findCode = kErrBadFormat;
  con.Keys("Enter");
  EXPECT_FALSE(FileExistsRetry(file, &gaveUp));
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(faults.finds, 1);
  EXPECT_TRUE(ScreenSeen("Niepoprawny format nazwy"));
  faults.findCode = kErrFileNotFound;
  EXPECT_FALSE(FileExistsRetry(file));
  EXPECT_EQ(con.PendingCount(), 0u);
  SetFileSystem(fs.get());
}

// Another process made by fork(); the Windows build starts a second copy of
// its test program instead (the *_win32_test files).
#ifndef _WIN32
// The " NET Info" question for a lock that another process holds.
TEST_F(SharedFileTest, LockHeldByAnotherProcessBringsTheNetQuestion) {
  WriteRecords("n.dat", {Rec("B"), Rec("C")});
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const std::string path = Path("n.dat");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    auto hostFs = MakeHostFileSystem();
    FileHandle h = kNoHandle;
    char c = hostFs->Open(path, 0x42, h) == kOk && hostFs->Lock(h, 0, 0x7FFFFFFF) == kOk ? 'L' : 'F';
    if (write(ready[1], &c, 1) != 1) _exit(1);
    if (read(release[0], &c, 1) < 0) _exit(1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  struct Release {
    int fd;
    pid_t pid;
    ~Release() {
      char x = 'x';
      if (write(fd, &x, 1) != 1) kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } releaseChild{release[1], pid};
  ASSERT_EQ(c, 'L');

  con.capture = true;
  con.Keys("n");
  auto f = OpenKeyFile("n.dat");
  EXPECT_FALSE(f->InsertSorted(Rec("A").data()));
  EXPECT_FALSE(f->Locked);
  EXPECT_EQ(con.nowMs, 29u * 50u);
  EXPECT_TRUE(ScreenSeen("NET Info"));
  EXPECT_TRUE(ScreenSeen("Czy czekamy ?"));
  EXPECT_EQ(Keys("n.dat"), (std::vector<std::string>{"B0", "C0"}));
  for (int fd : {ready[0], ready[1], release[0]}) close(fd);
}
#endif  // _WIN32

TEST_F(SharedFileTest, UniqueTempNames) {
  con.nowMs = 4321;
  SetRandomState(4321);
  const uint32_t n = RandomBelow(32767);
  WriteText("~qm" + std::to_string(n) + ".tmp", "");
  WriteText("~qm" + std::to_string(n + 1) + ".tmp", "");
  MakeDir("~qm" + std::to_string(n + 2) + ".tmp");
  const std::string expected = Dir() + "~qm" + std::to_string(n + 3) + ".tmp";
  std::string noSep = Dir();
  noSep.pop_back();
  EXPECT_EQ(TempFileName(noSep), expected);
  EXPECT_EQ(UniqueTempName(Dir(), ".tmp"), expected);
  TempDir = noSep;
  EXPECT_EQ(TempFileName(""), expected);
  EXPECT_EQ(UniqueTempName("", ".abc"), Dir() + "~qm" + std::to_string(n) + ".abc");
}

TEST_F(SharedFileTest, SmallHelpers) {
  const std::string s(1, kPathSep);
  EXPECT_EQ(WithBackslash(""), "");
  EXPECT_EQ(WithBackslash("a"), "a" + s);
  EXPECT_EQ(WithBackslash("a" + s), "a" + s);
  EXPECT_EQ(ProcessOpenMode(), 2);
  SetOpenMode(0x12);
  EXPECT_EQ(ProcessOpenMode(), 0x12);
  EXPECT_EQ(SavedOpenMode, 2);
  RestoreOpenMode();
  EXPECT_EQ(ProcessOpenMode(), 2);
  WriteText("x.dat", "");
  MakeDir("sub");
  EXPECT_TRUE(FindFileExists(Path("x.dat")));
  EXPECT_FALSE(FindFileExists(Path("sub")));  // directories do not count
  EXPECT_FALSE(FindFileExists(Path("none.dat")));
}

class TempDirTest : public SharedFileTest {
 protected:
  void SetUp() override {
    SharedFileTest::SetUp();
    for (const char* v : {"qmTEMP", "VODERE", "TEMP", "TMP"}) {
      const char* old = getenv(v);
      saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
      unsetenv(v);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    SharedFileTest::TearDown();
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(TempDirTest, FirstVariableNamingADirectory) {
  MakeDir("t1");
  MakeDir("t2");
  WriteText("afile", "");
  setenv("VODERE", Path("afile").c_str(), 1);
  setenv("TEMP", Path("t1").c_str(), 1);
  setenv("TMP", Path("t2").c_str(), 1);
  InitFileLayer();
  EXPECT_EQ(TempDir, Path("t1"));
  setenv("qmTEMP", Path("t2").c_str(), 1);
  InitFileLayer();
  EXPECT_EQ(TempDir, Path("t2"));
  setenv("qmTEMP", Path("missing").c_str(), 1);
  unsetenv("TEMP");
  unsetenv("TMP");
  InitFileLayer();
  std::string cwd;
  ASSERT_EQ(fs->CurrentDir(cwd), kOk);
  EXPECT_EQ(TempDir, cwd.substr(0, kTempDirCap));
  EXPECT_TRUE(NetworkMode);
  NetworkMode = false;
  InitFileLayer();
  EXPECT_EQ(ShareDenyNone, 0);
}

}  // namespace
}  // namespace qm::test
