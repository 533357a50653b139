// The run journal's records, the run they make, and the company list put
// back after an insertion cut off at any of its writes.
#include <algorithm>
#include <string>
#include <vector>

#include "base/content_hash.h"
#include "journal/list_fix.h"
#include "journal/run_history.h"
#include "journal/run_journal.h"
#include "journal/transfer_journal.h"
#include "platform/forwarding_fs.h"
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

class JournalFileTest : public QmTest {};

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
