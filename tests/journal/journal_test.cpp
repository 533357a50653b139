// The run journal's records, the run they make, and the company list put
// back after an insertion cut off at any of its writes.
#include <algorithm>
#include <string>
#include <vector>

#include "base/content_hash.h"
#include "journal/list_fix.h"
#include "journal/rollback.h"
#include "journal/run_history.h"
#include "journal/run_journal.h"
#include "journal/run_recorder.h"
#include "journal/transfer_journal.h"
#include "platform/forwarding_fs.h"
#include "tests/support/faulty_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

JournalRecord Rec(RecordKind k, std::vector<std::string> fields) {
  JournalRecord r;
  r.kind = k;
  r.fields = std::move(fields);
  return r;
}

std::string Lines(const std::vector<JournalRecord>& records) {
  std::string text;
  for (const JournalRecord& r : records) text += EncodeRecord(r);
  return text;
}

const std::vector<JournalRecord> kRun = {
    Rec(RecordKind::Run, {"1.6.0", "2020-01-15 10:00:00", "/d/ZEV_2019/", "/d/ZEV_2020/"}),
    Rec(RecordKind::Unit, {"1", "FIRMA", "F1", "Firma\tz tabulatorem %20", "0"}),
    Rec(RecordKind::MakeDir, {"1", "2020", "F1"}),
    Rec(RecordKind::Saved, {"1", "2019", "F1/2019K990.12", "000001.BAK", "2048", "00000000000000FF"}),
    Rec(RecordKind::Done, {"1"}),
    Rec(RecordKind::Unit, {"2", "FIRMA", "F2", "Dwa\r\nwiersze \x8D", "0"}),
    Rec(RecordKind::NewFile, {"2", "2020", "F2/_qm_zev.rek"}),
};

TEST(RunJournal, RecordsComeBackWhateverTheirTextsHold) {
  std::vector<JournalRecord> back;
  ASSERT_EQ(ParseJournal(Lines(kRun), back), JournalState::Readable);
  ASSERT_EQ(back.size(), kRun.size());
  for (size_t i = 0; i < kRun.size(); ++i) {
    EXPECT_EQ(back[i].kind, kRun[i].kind) << i;
    EXPECT_EQ(back[i].fields, kRun[i].fields) << i;
  }
  // One record a line, whatever a field holds.
  const std::string text = Lines(kRun);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(kRun.size()));
}

TEST(RunJournal, OnlyTheLastLineMayBeTorn) {
  const std::string text = Lines(kRun);
  const size_t lastStart = text.rfind('\n', text.size() - 2) + 1;
  struct Case {
    const char* what;
    std::string text;
    JournalState state;
    size_t records;
  };
  std::string flipped = text;
  flipped[20] ^= 0x01;
  std::string noEnd = text.substr(0, text.size() - 2);
  const Case cases[] = {
      {"whole", text, JournalState::Readable, kRun.size()},
      {"last line cut in the middle", text.substr(0, lastStart + 9), JournalState::Readable, kRun.size() - 1},
      {"last record without its line end", noEnd, JournalState::Readable, kRun.size()},
      {"line end only of the last", text.substr(0, text.size() - 1), JournalState::Readable, kRun.size()},
      {"a byte changed in the first record", flipped, JournalState::Damaged, kRun.size() - 1},
      {"garbage between records", text.substr(0, lastStart) + "XYZ\r\n" + text.substr(lastStart),
       JournalState::Damaged, kRun.size()},
      {"LF line ends", [&] {
         std::string t = text;
         t.erase(std::remove(t.begin(), t.end(), '\r'), t.end());
         return t;
       }(),
       JournalState::Readable, kRun.size()},
      {"empty", "", JournalState::Readable, 0},
  };
  for (const Case& c : cases) {
    std::vector<JournalRecord> back;
    size_t whole = 0;
    EXPECT_EQ(ParseJournal(c.text, back, &whole), c.state) << c.what;
    EXPECT_EQ(back.size(), c.records) << c.what;
    EXPECT_LE(whole, c.text.size()) << c.what;
  }
}

// A journal as the writer leaves it: each record stamped with the length
// synced before it was written, a sync after the records marked; ends
// receives where each record ends.
std::string Stamped(const std::vector<JournalRecord>& records, const std::vector<bool>& syncAfter,
                    std::vector<size_t>& ends) {
  std::string text;
  size_t synced = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    JournalRecord r = records[i];
    r.synced = static_cast<int64_t>(synced);
    text += EncodeRecord(r);
    ends.push_back(text.size());
    if (syncAfter[i]) synced = text.size();
  }
  return text;
}

TEST(RunJournal, WhatWasNeverSyncedIsReadAsWhatItIsDamageBeforeItAsDamage) {
  std::vector<size_t> end;
  const std::string text = Stamped(kRun, {true, false, true, false, true, false, false}, end);
  const auto zeroed = [&](size_t from, size_t to) {
    std::string t = text;
    std::fill(t.begin() + static_cast<std::ptrdiff_t>(from), t.begin() + static_cast<std::ptrdiff_t>(to), '\0');
    return t;
  };
  std::string flipped = text;
  flipped[end[0] + 5] ^= 0x04;
  const struct {
    const char* what;
    std::string text;
    JournalState state;
    size_t records, whole;
  } cases[] = {
      {"empty", "", JournalState::Readable, 0, 0},
      {"a page of zeros where the first record went", std::string(4096, '\0'), JournalState::Readable, 0, 0},
      {"the first record torn", text.substr(0, 20), JournalState::Readable, 0, 0},
      {"the first record only", text.substr(0, end[0]), JournalState::Readable, 1, end[0]},
      {"the tail torn", text.substr(0, end[5] + 10), JournalState::Readable, 6, end[5]},
      {"a page of the tail lost, a later one kept", zeroed(end[4], end[5]), JournalState::Readable, 5, end[4]},
      {"the tail lost, the file's length kept", zeroed(end[4], text.size()), JournalState::Readable, 5, end[4]},
      {"a synced record damaged", flipped, JournalState::Damaged, kRun.size() - 1, text.size()},
      {"a synced record zeroed", zeroed(end[1], end[2] - 2), JournalState::Damaged, kRun.size() - 1, text.size()},
  };
  for (const auto& c : cases) {
    std::vector<JournalRecord> back;
    size_t whole = 0;
    EXPECT_EQ(ParseJournal(c.text, back, &whole), c.state) << c.what;
    EXPECT_EQ(back.size(), c.records) << c.what;
    EXPECT_EQ(whole, c.whole) << c.what;
    for (const JournalRecord& r : back) EXPECT_GE(r.synced, 0) << c.what;
  }
}

class JournalFileTest : public QmTest {};

// A write that fails is cut back off, so that the next record follows the
// last whole one; its records go with the next write. When the cut fails
// too, nothing more is written: what is there reads as a torn tail.
TEST_F(JournalFileTest, AFailedWriteLeavesNoFragmentBeforeTheNextRecord) {
  for (const bool cutFails : {false, true}) {
    FaultyFs faulty(*fs);
    JournalWriter w(faulty);
    ASSERT_EQ(w.Create(Path("j.qmj")), kOk);
    ASSERT_EQ(w.Append(kRun[0]), kOk);
    ASSERT_EQ(w.Sync(), kOk);
    faulty.ResetCounts();
    faulty.DiskFullAt(1);
    if (cutFails) faulty.FailAt(FsOp::SetEnd, 1, kErrWriteFault);
    EXPECT_NE(w.Append(kRun[1]), kOk);
    faulty.ClearFaults();
    EXPECT_EQ(w.Append(kRun[2]) == kOk, !cutFails) << cutFails;
    w.Close();
    std::vector<JournalRecord> back;
    ASSERT_EQ(ReadJournal(*fs, Path("j.qmj"), back), JournalState::Readable) << cutFails;
    std::vector<RecordKind> kinds;
    for (const JournalRecord& r : back) kinds.push_back(r.kind);
    const std::vector<RecordKind> want =
        cutFails ? std::vector<RecordKind>{RecordKind::Run}
                 : std::vector<RecordKind>{RecordKind::Run, RecordKind::Unit, RecordKind::MakeDir};
    EXPECT_EQ(kinds, want) << cutFails;
  }
}

TEST_F(JournalFileTest, AppendingAfterATornLineFollowsTheLastWholeRecord) {
  const std::string text = Lines(kRun);
  for (size_t cut : {text.size(), text.size() - 1, text.size() - 2, text.size() - 10}) {
    const std::string part = text.substr(0, cut);
    WriteFile("j.qmj", Bytes(part.begin(), part.end()));
    JournalWriter w(*fs);
    ASSERT_EQ(w.OpenToAppend(Path("j.qmj")), kOk) << cut;
    ASSERT_EQ(w.Append(Rec(RecordKind::End, {})), kOk);
    w.Close();
    std::vector<JournalRecord> back;
    ASSERT_EQ(ReadJournal(*fs, Path("j.qmj"), back), JournalState::Readable) << cut;
    EXPECT_EQ(back.back().kind, RecordKind::End) << cut;
    EXPECT_EQ(back.size(), cut >= text.size() - 2 ? kRun.size() + 1 : kRun.size()) << cut;
  }
}

// A copy of a 2019 file is on disk before the file changes: the 2020
// volume (journal and copies) is synced, and the 2019 one too unless both
// trees lie on one volume, where a second sync would only repeat the first.
class VolumeSyncs : public ForwardingFs {
 public:
  VolumeSyncs(FileSystem& inner, bool one) : ForwardingFs(inner), one_(one) {}
  int SyncVolume(const std::string& path) override {
    synced.push_back(path);
    return kOk;
  }
  bool SameVolume(const std::string&, const std::string&) override { return one_; }
  std::vector<std::string> synced;

 private:
  bool one_;
};

TEST_F(JournalFileTest, A2019CopySyncsEachVolumeOnce) {
  MakeDir("19/F1");
  MakeDir("20/_QM1920");
  WriteText("19/F1/2019K990.1", "zapisy\r\n");
#ifndef _WIN32  // Windows flushes file by file and never asks
  EXPECT_TRUE(fs->SameVolume(Path("19/"), Path("20/")));
  EXPECT_FALSE(fs->SameVolume(Path("19/"), Path("brak/")));
#endif
  for (const bool one : {true, false}) {
    VolumeSyncs host(*fs, one);
    const Bookkeeping books(Path("20/"));
    TransferJournal j(host, books, Path("19/"), Path("20/"));
    ASSERT_EQ(j.Start("1.6.0", "2020-01-15 10:00:00"), kOk);
    ASSERT_EQ(j.BeginUnit(UnitKind::Company, "F1", "Firma", false), kOk);
    host.synced.clear();
    ASSERT_EQ(j.SaveCopy(Tree::Source, "F1/2019K990.1", kNoHandle, j.CurrentUnit()), kOk);
    const std::vector<std::string> both{Path("20/"), Path("19/")};
    EXPECT_EQ(host.synced, one ? std::vector<std::string>{Path("20/")} : both) << one;
    j.End();
  }
}

// A change refused because its copy could not be noted (the volume would
// not sync, the journal's write failed) leaves the file to be copied at its
// next change: whatever the journal ends up holding, a copy it names holds
// the file as it was.
TEST_F(JournalFileTest, AChangeRefusedForWantOfANoteLeavesTheFileToBeCopiedNextTime) {
  const struct {
    const char* what;
    bool syncFails;
  } cases[] = {{"the sync fails", true}, {"the journal's write fails", false}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(HostPath(Path("20")));
    MakeDir("19");
    MakeDir("20/_QM1920");
    WriteText("20/F.DAT", "old");
    FaultyFs faulty(*fs);
    faulty.WatchFile("PRZEBIEG.QMJ");
    const Bookkeeping books(Path("20/"), 1);
    TransferJournal journal(faulty, books, Path("19/"), Path("20/"));
    ASSERT_EQ(journal.Start("1.6.0", "2020-01-15 10:00:00"), kOk);
    ASSERT_EQ(journal.BeginUnit(UnitKind::Company, "F1", "Firma", false), kOk);
    RunRecorder recorder(faulty, journal);
    FileHandle h = kNoHandle;
    ASSERT_EQ(recorder.Open(Path("20/F.DAT"), kAccessReadWrite | kShareDenyNone, h), kOk);
    faulty.ResetCounts();
    if (c.syncFails) faulty.FailAt(FsOp::Sync, 1, kErrWriteFault);
    else faulty.DiskFullAtWatchedWrite(1, false);
    uint32_t put = 0;
    EXPECT_NE(recorder.WriteAt(h, 0, "new", 3, put), kOk) << c.what;
    faulty.ClearFaults();
    EXPECT_EQ(recorder.WriteAt(h, 0, "NEW", 3, put), kOk) << c.what;
    recorder.Close(h);
    journal.End();
    std::vector<JournalRecord> records;
    ASSERT_EQ(ReadJournal(*fs, books.JournalPath(), records), JournalState::Readable) << c.what;
    int copies = 0;
    for (const JournalRecord& r : records) {
      if (r.kind != RecordKind::Saved || r.Field(2) != "F.DAT") continue;
      ++copies;
      EXPECT_EQ(ReadText("20/_QM1920/P0001/KOPIE/" + r.Field(3)), "old") << c.what;
    }
    EXPECT_GE(copies, 1) << c.what;
  }
}

// Refuses every change of a path that holds the name given.
class RefusingFs : public ForwardingFs {
 public:
  RefusingFs(FileSystem& inner, std::string name) : ForwardingFs(inner), name_(std::move(name)) {}
  int Open(const std::string& path, uint8_t mode, FileHandle& h) override {
    return (mode & 0x0F) != kAccessRead && Hit(path) ? kErrAccessDenied : ForwardingFs::Open(path, mode, h);
  }
  int Create(const std::string& path, FileHandle& h) override {
    return Hit(path) ? kErrAccessDenied : ForwardingFs::Create(path, h);
  }
  int Remove(const std::string& path) override { return Hit(path) ? kErrAccessDenied : ForwardingFs::Remove(path); }
  int Rename(const std::string& from, const std::string& to) override {
    return Hit(from) || Hit(to) ? kErrAccessDenied : ForwardingFs::Rename(from, to);
  }

 private:
  bool Hit(const std::string& path) const { return path.find(name_) != std::string::npos; }
  std::string name_;
};

// A rollback goes on past a step that fails: everything else is put back,
// and the unit is left to be tried again, which finishes it.
TEST_F(JournalFileTest, ARollbackPastAFailingStepPutsBackEverythingElse) {
  struct Quiet : RollbackStatus {
    void Step(RollbackStep, qm::Tree, const std::string&) override {}
  } quiet;
  const Bytes old{'o', 'l', 'd'};
  const std::vector<JournalRecord> records = {
      Rec(RecordKind::Run, {"1.6.0", "2020-01-15 10:00:00", Path("19/"), Path("20/")}),
      Rec(RecordKind::Unit, {"1", "FIRMA", "D", "Firma", "0"}),
      Rec(RecordKind::MakeDir, {"1", "2020", "D"}),
      Rec(RecordKind::NewFile, {"1", "2020", "G.DAT"}),
      Rec(RecordKind::Saved, {"1", "2020", "F.DAT", "000001.BAK", "3", HashText(HashOf(old.data(), old.size()))}),
      Rec(RecordKind::Renamed, {"1", "2020", "H.DAT", "H2.DAT"}),
  };
  RunHistory run;
  ASSERT_TRUE(BuildHistory(records, run));
  const Bookkeeping books(Path("20/"), 1);
  const ListShape shape{103, 32, 8};
  // What is left as the unit made it when the step on the name fails.
  const auto left = [&](const std::string& refused) {
    std::string out;
    if (Exists("20/D/X.DAT")) out += "D/X.DAT ";
    if (Exists("20/G.DAT")) out += "G.DAT ";
    if (ReadFile("20/F.DAT") != old) out += "F.DAT ";
    if (Exists("20/H2.DAT")) out += "H2.DAT ";
    return out == refused + " " ? std::string() : "left: " + out;
  };
  for (const std::string refused : {"D/X.DAT", "G.DAT", "F.DAT", "H2.DAT"}) {
    std::filesystem::remove_all(HostPath(Path("20")));
    MakeDir("20/D");
    MakeDir("20/_QM1920/P0001/KOPIE");
    WriteText("20/D/X.DAT", "x");
    WriteText("20/G.DAT", "g");
    WriteText("20/F.DAT", "new");
    WriteText("20/H2.DAT", "h");
    WriteFile("20/_QM1920/P0001/KOPIE/000001.BAK", old);
    RefusingFs refusing(*fs, refused.substr(refused.find('/') + 1));
    Rollback once(refusing, run, books, quiet, shape);
    EXPECT_EQ(once.RollBackUnit(*run.Unit(1), RollbackMode::Repair), UnitRollback::Failed) << refused;
    EXPECT_EQ(left(refused), "") << refused;
    Rollback again(*fs, run, books, quiet, shape);
    EXPECT_EQ(again.RollBackUnit(*run.Unit(1), RollbackMode::Repair), UnitRollback::Done) << refused;
    EXPECT_FALSE(Exists("20/D")) << refused;
    EXPECT_EQ(left(""), "left: ") << refused;
    EXPECT_TRUE(Exists("20/H.DAT")) << refused;
  }
}

TEST(RunHistory, UnitsAndWhatARepairOrAnUndoTakesBack) {
  RunHistory run;
  ASSERT_TRUE(BuildHistory(kRun, run));
  EXPECT_EQ(run.targetRoot, "/d/ZEV_2020/");
  ASSERT_EQ(run.units.size(), 3u);  // the run's own, and two companies
  EXPECT_TRUE(run.Unfinished());
  std::vector<int64_t> back;
  for (const JournalUnit* u : run.ToRollBack()) back.push_back(u->number);
  EXPECT_EQ(back, std::vector<int64_t>{2});  // the committed one stays

  std::vector<JournalRecord> undo = kRun;
  undo.push_back(Rec(RecordKind::Undone, {"2"}));
  undo.push_back(Rec(RecordKind::End, {}));
  ASSERT_TRUE(BuildHistory(undo, run));
  EXPECT_FALSE(run.Unfinished());
  EXPECT_TRUE(run.ToRollBack().empty());
  ASSERT_EQ(run.Committed().size(), 1u);
  undo.push_back(Rec(RecordKind::UndoBegun, {}));
  ASSERT_TRUE(BuildHistory(undo, run));
  EXPECT_TRUE(run.Unfinished());
  ASSERT_EQ(run.ToRollBack().size(), 1u);
  EXPECT_EQ(run.ToRollBack().front()->number, 1);
}

TEST(RunHistory, AJournalThatMakesNoRunOrClimbsOutOfItsTreeIsRefused) {
  const struct {
    const char* what;
    std::vector<JournalRecord> records;
  } cases[] = {
      {"no run first", {kRun[1]}},
      {"change of an unknown unit", {kRun[0], Rec(RecordKind::NewFile, {"7", "2020", "x"})}},
      {"parent directory", {kRun[0], kRun[1], Rec(RecordKind::NewFile, {"1", "2020", "F1/../../etc/x"})}},
      {"absolute", {kRun[0], kRun[1], Rec(RecordKind::MakeDir, {"1", "2019", "/etc"})}},
      {"drive", {kRun[0], kRun[1], Rec(RecordKind::Saved, {"1", "2019", "C:x", "000001.BAK", "1", "0"})}},
      {"no tree", {kRun[0], kRun[1], Rec(RecordKind::NewFile, {"1", "2021", "x"})}},
      {"rename target outside", {kRun[0], kRun[1], Rec(RecordKind::Renamed, {"1", "2019", "a", "..\\a"})}},
      {"unit twice", {kRun[0], kRun[1], kRun[1]}},
      {"a file made in 2019", {kRun[0], kRun[1], Rec(RecordKind::NewFile, {"1", "2019", "F1/x"})}},
      {"a directory made in 2019", {kRun[0], kRun[1], Rec(RecordKind::MakeDir, {"1", "2019", "F1"})}},
      {"a 2019 rename not to the ~ name", {kRun[0], kRun[1], Rec(RecordKind::Renamed, {"1", "2019", "a", "b"})}},
      {"the copies' directory", {kRun[0], kRun[1], Rec(RecordKind::MakeDir, {"1", "2020", "_QM1920/KOPIE"})}},
      {"the bookkeeping directory itself", {kRun[0], kRun[1], Rec(RecordKind::NewFile, {"1", "2020", "_qm1920"})}},
      {"a list in it", {kRun[0], kRun[1], Rec(RecordKind::Insert, {"1", "_QM1920\\L.DAT", "0", "0", "00"})}},
      {"a unit in it", {kRun[0], Rec(RecordKind::Unit, {"1", "FIRMA", "_QM1920", "x", "0"})}},
  };
  for (const auto& c : cases) {
    RunHistory run;
    EXPECT_FALSE(BuildHistory(c.records, run)) << c.what;
  }
}

// ---- the company list after an insertion cut off ---------------------------

constexpr size_t kRec = 8;
using Records = std::vector<Bytes>;

Bytes Join(const Records& r) {
  Bytes out;
  for (const Bytes& b : r) out.insert(out.end(), b.begin(), b.end());
  return out;
}

// A record whose halves differ, so that half of one written over another
// is neither.
Bytes R(char c) {
  Bytes b(kRec, static_cast<uint8_t>(c));
  b[kRec - 1] = static_cast<uint8_t>(c + 1);
  return b;
}

// Every state the sorted insertion passes through, as whole records: the
// new record appended, then records moved up one at a time from the top,
// then the new record at its place; and each write cut off in its middle
// (half of the record written).
std::vector<Bytes> InsertionStates(const Records& before, size_t at, const Bytes& rec) {
  std::vector<Bytes> states;
  Records cur = before;
  const auto halfway = [&](size_t i, const Bytes& to) {
    Records torn = cur;
    if (i == torn.size()) {
      Bytes b = Join(torn);
      b.insert(b.end(), to.begin(), to.begin() + static_cast<std::ptrdiff_t>(to.size() / 2));
      states.push_back(b);
      return;
    }
    std::copy(to.begin(), to.begin() + static_cast<std::ptrdiff_t>(to.size() / 2), torn[i].begin());
    states.push_back(Join(torn));
  };
  halfway(cur.size(), rec);
  cur.push_back(rec);
  states.push_back(Join(cur));
  for (size_t i = before.size(); i > at; --i) {
    halfway(i, cur[i - 1]);
    cur[i] = cur[i - 1];
    states.push_back(Join(cur));
  }
  halfway(at, rec);
  cur[at] = rec;
  states.push_back(Join(cur));
  return states;
}

class ListFixTest : public QmTest {};

TEST_F(ListFixTest, EveryStateOfACutOffInsertionGoesBackToTheListBefore) {
  const struct {
    const char* what;
    Records before;
    size_t at;
  } lists[] = {
      {"into the middle", {R('a'), R('c'), R('e'), R('g')}, 2},
      {"at the front", {R('b'), R('c'), R('d')}, 0},
      {"at the end", {R('a'), R('b')}, 2},
      {"into an empty list", {}, 0},
      {"next to records standing twice", {R('a'), R('b'), R('b'), R('d')}, 2},
      {"beside its own twin", {R('a'), R('m'), R('z')}, 1},
  };
  for (const auto& l : lists) {
    const Bytes rec = std::string(l.what) == "beside its own twin" ? R('m') : R('k');
    const Bytes want = Join(l.before);
    ListInsertion ins{static_cast<int64_t>(l.before.size()), HashOf(want.data(), want.size()), rec};
    const std::vector<Bytes> states = InsertionStates(l.before, l.at, rec);
    for (size_t s = 0; s < states.size(); ++s) {
      SCOPED_TRACE(std::string(l.what) + ", state " + std::to_string(s));
      WriteFile("list.dat", states[s]);
      const ListFix fix = UndoInsertion(*fs, Path("list.dat"), kRec, ins);
      EXPECT_TRUE(fix == ListFix::Undone || (s == 0 && fix == ListFix::AsBefore)) << static_cast<int>(fix);
      EXPECT_EQ(ReadFile("list.dat"), want);
      // Put right once, it stays so.
      EXPECT_EQ(UndoInsertion(*fs, Path("list.dat"), kRec, ins), ListFix::AsBefore);
    }
  }
}

TEST_F(ListFixTest, AListChangedBySomebodyElseLosesOnlyTheRunsRecord) {
  const Records before = {R('a'), R('c')};
  const Bytes want = Join(before);
  ListInsertion ins{2, HashOf(want.data(), want.size()), R('b')};
  WriteFile("list.dat", Join({R('a'), R('b'), R('c'), R('x')}));
  EXPECT_EQ(UndoInsertion(*fs, Path("list.dat"), kRec, ins), ListFix::Guessed);
  EXPECT_EQ(ReadFile("list.dat"), Join({R('a'), R('c'), R('x')}));

  int removed = 0;
  WriteFile("list.dat", Join({R('a'), R('b'), R('c'), R('b'), R('d')}));
  EXPECT_EQ(RemoveRecords(*fs, Path("list.dat"), kRec, {R('b'), R('d'), R('q')}, removed), ListFix::Undone);
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(ReadFile("list.dat"), Join({R('a'), R('c'), R('b')}));
}

TEST(ContentHash, PiecesGiveTheHashOfTheWhole) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 7);
  const uint64_t whole = HashOf(data.data(), data.size());
  for (size_t piece : {1u, 5u, 31u, 32u, 33u, 64u, 299u}) {
    ContentHash h;
    for (size_t i = 0; i < data.size(); i += piece) h.Add(data.data() + i, std::min(piece, data.size() - i));
    EXPECT_EQ(h.Value(), whole) << piece;
  }
  EXPECT_NE(HashOf(data.data(), data.size() - 1), whole);
  uint64_t back = 0;
  EXPECT_TRUE(ParseHashText(HashText(whole), back));
  EXPECT_EQ(back, whole);
}

}  // namespace
}  // namespace qm::test
