// A company's conversion in front of another operator than the wizard's
// screen: nothing reaches the console, every line, question and box reaches
// the operator with its kind, and nobody at the keyboard gets the answers
// that change least.
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "base/message_text.h"
#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "convert/company_transfer.h"
#include "run/run_operator.h"
#include "run/staff_layout.h"
#include "tests/convert/copy_support.h"

namespace qm::test {
namespace {

// Writes down what reaches it, one word per kind, and answers the letter
// questions from a script (then as nobody at the keyboard would).
class RecordingOperator : public SilentPrompts<RunOperator> {
 public:
  std::vector<std::string> seen;
  std::deque<uint8_t> answers;

  uint16_t Message(const std::string&, uint16_t) override { return Note("question", CMD_NO); }
  void Error(const std::string&) override { Note("box"); }
  void LogText(const std::string&, uint8_t colour) override {
    if (colour == kLogError) Note("error");
    if (colour == kLogNote) Note("note");
  }
  void LogLineEnd() override {}
  void LogCleared(bool) override {}
  LogFrame FrameLog(const LogFrame& frame) override { return frame; }
  void Info(const std::string&) override { Note("info"); }
  uint8_t AskLetter(const char* letters, TypedAhead) override {
    Note(std::string("ask ") + letters);
    const uint8_t a = answers.empty() ? static_cast<uint8_t>(letters[0]) : answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }
  uint16_t AskText(const std::string&, std::string&, int) override { return Note("input", CMD_OK); }
  uint16_t WaitKey() override { return Note("key", 0); }
  void Sleep(int) override {}
  void Beep() override {}

 private:
  uint16_t Note(const std::string& what, uint16_t result = 0) {
    seen.push_back(what);
    return result;
  }
};

class OperatorTest : public CompanyTest {
 protected:
  void TearDown() override {
    SetRunOperator(nullptr);
    CompanyTest::TearDown();
  }
  // A company that brings three questions: both annual files, a person
  // while the staff is asked for, a 2020 file already there.
  void QuestioningCompany() {
    Bytes annual(3 * 512, 0);
    annual[3] = 13;  // December closed
    WriteFile(Src("2019_ROK.REK"), annual);
    WriteFile(Src("2020_ROK.REK"), annual);
    WriteFile(Src("_qm_zev.rek"), Distinct(256, 1));
    Bytes person = Distinct(kStaffRecSize, 2);
    PutI64(person.data(), 0, 5);
    person[8] = 1;
    WriteFile(Src("DANE_PR8.REK"), person);
    WriteText(Src("Notes.txt"), "nowe\r\n");
    WriteText(Dst("Notes.txt"), "stare\r\n");
    CompanyDataItems = kDataStaff | kDataConstants;
    Entered2020Items = 0;
    AddOnItems = 0;
    StaffMode = 2;
  }
  bool ScreenBlank() const {
    for (int r = 1; r <= 25; ++r)
      if (con.Row(r).find_first_not_of(' ') != std::string::npos) return false;
    return true;
  }
};

TEST_F(OperatorTest, AConversionSpeaksOnlyThroughItsOperator) {
  const struct {
    const char* what;
    bool silent;                  // no operator installed
    std::vector<uint8_t> answers;  // annual source, person, the file there
    bool from2020;
    size_t staffBytes;
    const char* notes;
    std::vector<std::string> seen;
  } cases[] = {
      {"nobody at the keyboard", true, {}, false, 0, "stare\r\n", {}},
      {"answers given",
       false,
       {'N', 'T', 'W'},
       true,
       kStaffRecSize,
       "nowe\r\n",
       {"error", "ask BNA", "note", "ask NTW", "error", "note", "ask ZNWA"}},
      {"answers left to the operator's default",
       false,
       {},
       false,
       0,
       "stare\r\n",
       {"error", "ask BNA", "ask NTW", "error", "note", "ask ZNWA"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetProgramState();
    SourceRoot = Dir() + "2019/";
    TargetRoot = Dir() + "2020/";
    std::filesystem::remove_all(HostPath(Path("2020/FIRMA")));
    MakeDir("2020/FIRMA");
    QuestioningCompany();
    RecordingOperator recording;
    recording.answers.assign(c.answers.begin(), c.answers.end());
    SetRunOperator(c.silent ? nullptr : &recording);
    // No key is scripted: a key read from the console would end the test.
    EXPECT_TRUE(ConvertCompany(kCompany));
    SetRunOperator(nullptr);
    EXPECT_TRUE(ScreenBlank());
    EXPECT_EQ(Use2020AnnualData, c.from2020);
    EXPECT_EQ(ReadFile(Dst("DANE_PR8.REK")).size(), c.staffBytes);
    EXPECT_EQ(ReadText(Dst("Notes.txt")), c.notes);
    EXPECT_EQ(recording.seen, c.seen);
  }
}

// The company's text data cannot be opened: the conversion gives the stop
// back at once, and nothing of the items after it is done.
TEST_F(OperatorTest, TextDataThatCannotBeOpenedStopsTheCompanyAtOnce) {
  Bytes annual(3 * 512, 0);
  annual[3] = 13;
  WriteFile(Src("2019_ROK.REK"), annual);
  WriteFile(Src("_qm_zev.rek"), Distinct(256, 1));
  WriteFile(Src("FIRMA_A8.REK"), Distinct(224, 3));
  MakeDir("2020/FIRMA/FIRMATXT.INI");
  RecordingOperator recording;
  SetRunOperator(&recording);
  const CompanyConversion result = ConvertCompany(kCompany);
  SetRunOperator(nullptr);
  EXPECT_FALSE(result.converted);
  EXPECT_EQ(result.stop.kind, RunStopKind::CompanyTextUnreadable);
  EXPECT_EQ(result.stop.path, T() + "FIRMATXT.INI");
  EXPECT_FALSE(Exists(Dst("FIRMA_A8.REK")));
  EXPECT_TRUE(recording.seen.empty());  // the driver shows it, not the conversion
}

}  // namespace
}  // namespace qm::test
