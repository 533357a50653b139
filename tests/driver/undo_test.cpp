// /COFNIJ: the last finished run taken back, both trees as before it (the
// bookkeeping directory aside) -- after overwrite answers of either kind and
// after "~" renames; refused, or done with the changed files set aside,
// when something was changed after the run. And the journal damaged where
// it had been synced: a box, nothing changed unless confirmed.
#include <algorithm>
#include <filesystem>

#include "driver/main_sequence.h"
#include "platform/forwarding_fs.h"
#include "platform/process.h"
#include "tests/driver/answering_console.h"
#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

class Undo : public AnsweredE2eTest {
 protected:

  void Prepare() {
    sample::Options o;
    o.companies = 3;
    o.missingDirCompany = false;
    o.presentIn2020 = 1;
    o.global2020Payroll = true;
    Generate(o);
    MakeDir("inst/ZEV_2020/#BIN020");
    WriteText("inst/ZEV_2020/#BIN020/ZEV_QM.INI", "[stary]\r\nA=1\r\n");
    before19 = Snapshot(inst.root2019);
    before20 = Snapshot(inst.root2020);
  }

  // The first run's journal, a line (with its line end) each, and back.
  std::vector<std::string> JournalLines() const {
    const Bytes text = ReadAll(inst.root2020 + kJournal);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
      const auto nl = std::find(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), '\n');
      const size_t end = static_cast<size_t>(nl - text.begin()) + (nl == text.end() ? 0 : 1);
      lines.emplace_back(text.begin() + static_cast<std::ptrdiff_t>(pos), text.begin() + static_cast<std::ptrdiff_t>(end));
      pos = end;
    }
    return lines;
  }
  void WriteJournal(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l;
    WriteText("inst/ZEV_2020/" + std::string(kJournal), text);
  }
  // The number of the first company unit that copied a 2019 file.
  static std::string UnitWith2019Copy(const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
      if (l.rfind("SAVED\t", 0) == 0 && l.find("\t2019\t") != std::string::npos) return l.substr(6, l.find('\t', 6) - 6);
    return std::string();
  }
  // Whether a report in _QM1920 holds the text (UTF-8).
  bool Reported(const std::string& utf8) const {
    for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920")) {
      const Bytes text = ReadAll(e.path().string());
      if (e.path().filename().string().rfind("RAPORT-", 0) == 0 &&
          std::string(text.begin(), text.end()).find(utf8) != std::string::npos)
        return true;
    }
    return false;
  }
  static constexpr const char* kJournal = "_QM1920/P0001/PRZEBIEG.QMJ";

  // A run answered by the screen; overwrite answers as given, the carried
  // 2020 journals hidden when asked.
  int RunWith(const std::vector<std::string>& arguments, bool hide = false, const std::string& overwrite = "W") {
    return RunAnswered(answer, arguments, hide ? kHideCarried : "", overwrite);
  }
  Tree before19, before20;
};

TEST_F(Undo, TakesBackARunWhateverItsAnswers) {
  const struct {
    const char* what;
    bool hide;
    const char* overwrite;
  } runs[] = {
      {"replace each", false, "W"},
      {"replace all", false, "A"},
      {"leave all", false, "N"},
      {"hidden journals", true, "W"},
  };
  Prepare();
  for (const auto& r : runs) {
    SCOPED_TRACE(r.what);
    ASSERT_EQ(RunWith({}, r.hide, r.overwrite), kExitDone) << answer.ScreenText();
    ASSERT_NE(Snapshot(inst.root2020), before20);
    for (const char* form : {"/COFNIJ", "-cofnij", "--undo"}) {
      SCOPED_TRACE(form);
      const int code = RunWith({form});
      if (std::string(form) == "/COFNIJ") {
        EXPECT_EQ(code, kExitDone) << answer.ScreenText();
        EXPECT_TRUE(Showed("COFNIĘCIE PRZENIESIENIA"));
        EXPECT_TRUE(Snapshot(inst.root2019) == before19);
        EXPECT_TRUE(Snapshot(inst.root2020) == before20);
      } else {
        // Taken back once; nothing is left to take back.
        EXPECT_EQ(code, kExitDeclined);
        EXPECT_TRUE(Showed("nie ma nic do cofnięcia"));
      }
    }
  }
}

TEST_F(Undo, AFileChangedAfterTheRunIsNamedAndNothingIsTakenBackUnlessConfirmed) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  const Company& c = inst.companies.front();
  const std::string changed = c.dir + "/FIRMATXT.INI";
  Bytes text = ReadFile("inst/ZEV_2020/" + changed);
  for (const char ch : std::string("; dopisane w 2020\r\n")) text.push_back(static_cast<uint8_t>(ch));
  WriteFile("inst/ZEV_2020/" + changed, text);
  WriteText("inst/ZEV_2020/" + c.dir + "/NOWY.TXT", "nowy\r\n");
  const Tree after19 = Snapshot(inst.root2019), after20 = Snapshot(inst.root2020);

  answer.declineIfShown = "Cofnąć mimo to";
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
  EXPECT_TRUE(Showed("zmieniony:"));
  EXPECT_TRUE(Showed("nowy plik:"));
  EXPECT_TRUE(Snapshot(inst.root2019) == after19);
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);

  // Confirmed: everything the run did goes, the changed file is kept in the
  // bookkeeping directory, and the file the run did not make stays.
  answer.declineIfShown.clear();
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDone) << answer.ScreenText();
  EXPECT_TRUE(Snapshot(inst.root2019) == before19);
  Tree want20 = before20;
  want20[c.dir + "/"] = {};
  want20[c.dir + "/NOWY.TXT"] = ReadAll(inst.root2020 + c.dir + "/NOWY.TXT");
  EXPECT_TRUE(Snapshot(inst.root2020) == want20);
  bool kept = false;
  for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920/ZMIENIONE"))
    if (e.path().filename().string().find(c.dir + "_FIRMATXT.INI") != std::string::npos)
      kept = ReadAll(e.path().string()) == after20.at(changed);
  EXPECT_TRUE(kept);
}

// Damage where the journal had been synced: the box names the file and
// what to do, nothing changes unless the operator says so, and then the run
// is undone from what can be read (here everything but its first record:
// the 2019 root is the one the path file gives). A finished run's damaged
// journal never holds up a new run.
TEST_F(Undo, ADamagedJournalIsNamedAndUndoneFromWhatCanBeRead) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  const std::string journalPath = "inst/ZEV_2020/_QM1920/P0001/PRZEBIEG.QMJ";
  Bytes journal = ReadFile(journalPath);
  ASSERT_GT(journal.size(), 100u);
  journal[40] ^= 0x20;  // the run's first record damaged
  WriteFile(journalPath, journal);
  const Tree after19 = Snapshot(inst.root2019), after20 = Snapshot(inst.root2020);
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
  EXPECT_TRUE(Showed("jest uszkodzony"));
  EXPECT_TRUE(Showed("P0001")) << answer.ScreenText();
  EXPECT_TRUE(Snapshot(inst.root2019) == after19);
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);

  answer.acceptIfShown = "według odczytanych zapisów";
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDone) << answer.ScreenText();
  EXPECT_TRUE(Snapshot(inst.root2019) == before19);
  EXPECT_TRUE(Snapshot(inst.root2020) == before20);
  answer.acceptIfShown.clear();
  EXPECT_EQ(RunWith({}), kExitDone) << answer.ScreenText();
}

// The path file now names another 2019 directory than the journal: a box
// names both and asks; declined, nothing changes; confirmed, the run is
// undone in the 2019 root it changed.
TEST_F(Undo, AJournalOfAnother2019InstallationIsFollowedOnlyWhenConfirmed) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  const Tree after19 = Snapshot(inst.root2019), after20 = Snapshot(inst.root2020);
  MakeDir("other2019");
  WriteFile("other2019/SPISFIRM.DAT", ReadAll(inst.root2019 + "SPISFIRM.DAT"));
  sample::Installation other = inst;
  other.root2019 = Path("other2019/");
  std::string error;
  ASSERT_TRUE(sample::WritePathFile(programPath, other, error)) << error;
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
  EXPECT_TRUE(Showed("dotyczy innej instalacji 2019"));
  EXPECT_TRUE(Snapshot(inst.root2019) == after19);
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);
  answer.acceptIfShown = "Działać według dziennika";
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDone) << answer.ScreenText();
  EXPECT_TRUE(Snapshot(inst.root2019) == before19);
  EXPECT_TRUE(Snapshot(inst.root2020) == before20);
}

// A carried file edited in place (same size, other bytes) and a byte of the
// company's 2020 list record changed are named like any change; confirmed,
// both are set aside in _QM1920/ZMIENIONE -- the second undo's copies
// beside the first's, never over them -- and both trees are as before.
TEST_F(Undo, AFileEditedInPlaceAndAChangedListRecordAreNamedAndSetAside) {
  Prepare();
  const Company& c = inst.companies.front();
  const std::string file = c.dir + "/FIRMATXT.INI";
  std::vector<Bytes> asideWanted;
  for (const uint8_t mark : {'1', '2'}) {
    SCOPED_TRACE(static_cast<char>(mark));
    ASSERT_EQ(RunWith({}), kExitDone);
    Bytes text = ReadFile("inst/ZEV_2020/" + file);
    ASSERT_FALSE(text.empty());
    text[0] = mark;
    WriteFile("inst/ZEV_2020/" + file, text);
    asideWanted.push_back(text);
    std::vector<Bytes> list = Split(ReadFile("inst/ZEV_2020/SPISFIRM.DAT"), 103);
    for (Bytes& r : list)
      if (std::string(r.begin() + 33, r.begin() + 33 + r[32]) == c.dir) r[42] = mark;
    WriteFile("inst/ZEV_2020/SPISFIRM.DAT", Join(list));

    answer.declineIfShown = "Cofnąć mimo to";
    EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
    EXPECT_TRUE(Showed("zmieniony: " + inst.root2020 + c.dir));
    EXPECT_TRUE(Showed("zmieniony wpis listy firm"));
    answer.declineIfShown.clear();
    EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDone) << answer.ScreenText();
    EXPECT_TRUE(Snapshot(inst.root2019) == before19);
    EXPECT_TRUE(Snapshot(inst.root2020) == before20);
  }
  std::vector<Bytes> files, records;
  for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920/ZMIENIONE")) {
    const std::string name = e.path().filename().string();
    if (name.find("_FIRMATXT.INI") != std::string::npos) files.push_back(ReadAll(e.path().string()));
    if (name.find("_LISTA.REC") != std::string::npos) records.push_back(ReadAll(e.path().string()));
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, asideWanted);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0], records[1]);
}

// Without the right to write in _QM1920 the undo says so (code 2), not that
// another copy is running.
TEST_F(Undo, NoRightToWriteInTheBookkeepingDirectoryIsNamed) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  const Tree after20 = Snapshot(inst.root2020);
  struct ReadOnlyBooks : ForwardingFs {
    using ForwardingFs::ForwardingFs;
    int Open(const std::string& path, uint8_t mode, FileHandle& h) override {
      return (mode & 0x0F) != kAccessRead && path.find("_QM1920") != std::string::npos
                 ? kErrAccessDenied
                 : ForwardingFs::Open(path, mode, h);
    }
    int Create(const std::string& path, FileHandle& h) override {
      return path.find("_QM1920") != std::string::npos ? kErrAccessDenied : ForwardingFs::Create(path, h);
    }
  } readOnly(*fs);
  SetFileSystem(&readOnly);
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitCannotStart);
  SetFileSystem(fs.get());
  EXPECT_TRUE(Showed("Brak prawa zapisu"));
  EXPECT_FALSE(Showed("inną kopię"));
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);
}

// Copies lost before a repair or an undo: what they were for is named and
// left as it is, the rest is taken back, and no later start is held up.
TEST_F(Undo, LostCopiesAreNamedAndHoldNothingUp) {
  for (const bool undo : {false, true}) {
    SCOPED_TRACE(undo ? "undo" : "repair");
    stdfs::remove_all(Path("inst"));
    Prepare();
    ASSERT_EQ(RunWith({}), kExitDone);
    std::vector<std::string> lines = JournalLines();
    const std::string unit = UnitWith2019Copy(lines);
    ASSERT_FALSE(unit.empty());
    if (!undo) {
      // The run cut off before that company's commit.
      std::vector<std::string> cut;
      for (const std::string& l : lines)
        if (l.rfind("DONE\t" + unit + "\t", 0) != 0 && l.rfind("END\t", 0) != 0) cut.push_back(l);
      WriteJournal(cut);
    }
    for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920/P0001/KOPIE")) stdfs::remove(e.path());
    EXPECT_EQ(RunWith(undo ? std::vector<std::string>{"/COFNIJ"} : std::vector<std::string>{}),
              undo ? kExitFailed : kExitDone)
        << answer.ScreenText();
    EXPECT_TRUE(Showed(undo ? "brak kopii:" : "nie można było przywrócić"));
    EXPECT_TRUE(Reported("brak kopii zapasowej"));
    EXPECT_EQ(RunWith(undo ? std::vector<std::string>{"/COFNIJ"} : std::vector<std::string>{}),
              undo ? kExitDeclined : kExitDone)
        << answer.ScreenText();
    EXPECT_FALSE(Showed("Naprawić teraz"));
  }
}

// A journal cut back by hand to before a company's directory was made: the
// repair cannot take the directory back, and says so instead of keeping
// silent.
TEST_F(Undo, ACompanyDirectoryTheJournalNoLongerNamesIsNamed) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  const std::vector<std::string> lines = JournalLines();
  const std::string unit = UnitWith2019Copy(lines);
  std::vector<std::string> cut;
  std::string dir;
  for (const std::string& l : lines) {
    cut.push_back(l);
    if (l.rfind("UNIT\t" + unit + "\t", 0) != 0) continue;
    dir = l.substr(l.find("FIRMA\t") + 6);
    dir = dir.substr(0, dir.find('\t'));
    break;
  }
  WriteJournal(cut);
  std::vector<Bytes> list = Split(ReadFile("inst/ZEV_2020/SPISFIRM.DAT"), 103);
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](const Bytes& r) { return std::string(r.begin() + 33, r.begin() + 33 + r[32]) == dir; }),
             list.end());
  WriteFile("inst/ZEV_2020/SPISFIRM.DAT", Join(list));
  EXPECT_NE(RunWith({}), -2) << answer.ScreenText();
  EXPECT_TRUE(Showed("Naprawić teraz"));
  EXPECT_TRUE(Reported("Katalog firmy pozostał"));
}

#ifndef _WIN32
// A journal that is a link (to a device that never ends, say) is never
// read: named, nothing changed.
TEST_F(Undo, AJournalThatIsALinkIsNotRead) {
  Prepare();
  ASSERT_EQ(RunWith({}), kExitDone);
  stdfs::remove(inst.root2020 + kJournal);
  stdfs::create_symlink("/dev/zero", inst.root2020 + kJournal);
  const Tree after20 = Snapshot(inst.root2020);
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
  EXPECT_TRUE(Showed("jest uszkodzony"));
  EXPECT_TRUE(Snapshot(inst.root2020) == after20);
}
#endif

TEST_F(Undo, NoRunToTakeBackEndsWithCode5AndWritesNothing) {
  Prepare();
  EXPECT_EQ(RunWith({"/COFNIJ"}), kExitDeclined);
  EXPECT_TRUE(Showed("Brak zapisu przeniesienia"));
  EXPECT_FALSE(stdfs::exists(Path("inst/ZEV_2020/_QM1920")));
}

}  // namespace
}  // namespace qm::test::e2e
