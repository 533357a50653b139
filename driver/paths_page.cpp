// Page 1: the two installation directories and the run options.
#include "base/cp852.h"
#include "base/polish.h"
#include "driver/main_sequence.h"
#include "driver/wizard.h"
#include "driver/write_access.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {
namespace {

// The fields keep their 50 columns; a longer path (up to the 255
// characters of the run settings) scrolls in them.
constexpr int kPathFieldWidth = 50;
constexpr int kPathLength = 255;

class PathsForm : public WizardPage {
 public:
  PathsForm() : WizardPage(1) {}
  // Belongs to the page, not to the run: unchecked at every showing.
  bool savePaths = false;

  // Page 1 ends only on paths that pass their check.
  void HandleEvent(UiEvent& ev) override {
    OfferHelp(ev);
    if (ev.what == EVENT_COMMAND) {
      switch (ev.command) {
        case CMD_BACK:
          if (ValidatePaths(this)) EndModal();
          break;
        case CMD_NEXT:
          if (ValidatePaths(this) && CheckWriteAccess()) {
            if (savePaths) SavePathsFile();
            EndModal();
          }
          break;
        case CMD_ABORT:
          EndModal();
          break;
        default:
          break;
      }
    }
    DialogForm::HandleEvent(ev);
  }
};

void Redraw(DialogForm* form, int control) {
  if (!form) return;
  if (FormControl* c = form->Control(control)) c->Draw();
}

// The root of a drive (C:\) or of the file system is never tested: a
// directory search cannot find a root.
bool IsRootPath(const std::string& path) {
#ifdef _WIN32
  return path.size() <= 3;
#else
  return path.size() <= 1;
#endif
}

}  // namespace

bool ValidatePaths(DialogForm* form) {
  if (SourceRoot.empty() || SourceRoot.back() != kPathSep) {
    SourceRoot += kPathSep;
    Redraw(form, kPathsSourceField);
  }
  if (FileSizeOf(SourceRoot + CompanyListName) <= 0) {
    ErrorBox("Brak pliku " + CompanyListName + kMsgLineBreak + Pl("Musisz wskazać katalog") +
             kMsgLineBreak + Pl("głównym programu ZEV_QM"));
    if (form) form->FocusControl(kPathsSourceField);
    return false;
  }
  if (!TargetRoot.empty() && TargetRoot.back() != kPathSep) {
    TargetRoot += kPathSep;
    Redraw(form, kPathsTargetField);
  }
  if (!IsRootPath(TargetRoot) && !DirectoryExists(TargetRoot.substr(0, TargetRoot.size() - 1))) {
    ErrorBox(CentredLines({"Brak katalogu", TargetRoot}));
    return false;
  }
  if (PlUpperCase(SourceRoot) == PlUpperCase(TargetRoot)) {
    ErrorBox(CentredLine(Pl("Katalogi nię mogą być identyczne !")));
    if (form) form->FocusControl(kPathsTargetField);
    return false;
  }
  return true;
}

std::unique_ptr<DialogForm> PathsPage() {
  auto page = DialogForm::Init<PathsForm>(3, 3, 76, 22, " Lokalizacja ");
  if (!page) return nullptr;
  const std::string sourceLabel = Pl("katalogu źrodłowy:");
  page->Insert(EditField::Init(TextLabel::Init(3, 3, sourceLabel), 4, 4, kPathFieldWidth, SourceRoot, false, kPathLength));
  // Beside the source label rather than on the frame, where the frame
  // would cover it.
  page->WriteAt("tam gdzie jest plik " + CompanyListName, 3,
                3 + static_cast<int>(sourceLabel.size()) + 1, Role(5));
  page->Insert(EditField::Init(TextLabel::Init(3, 6, "lokalizacja docelowa:"), 4, 7, kPathFieldWidth,
                               TargetRoot, false, kPathLength));
  page->Insert(CheckBox::Init(nullptr, 4, 9, page->savePaths,
                              "zapisz ustawienie lokalizacji (w pliku qm19-20.PTH)"));
  // In the free row under the path file's box, in yellow on the page's
  // own background: an unattended run must not go elsewhere unnoticed.
  if (!ReplacedTargetArgument.empty())
    page->WriteAt(Pl("Uwaga: katalog docelowy z wiersza poleceń zastąpiono tym z qm19-20.PTH"), 10, 4,
                  static_cast<uint8_t>((Role(5) & 0xF0) | 0x0E));
  page->Insert(RadioGroup::Init(TextLabel::Init(4, 12, Pl("Standard polskich znaków :")), 4, 13,
                                {Pl("Zachowaj standard PL z poprzedniego roku (domyślnie)")}, KeepPlStandard));
  page->Insert(CheckBox::Init(TextLabel::Init(4, 14, "Dodatkowe opcje:"), 5, 15, WarnOpenDecember,
                              Pl("informuj o nie zamkniętym grudniu i związaną z tym konsekwencją")));
  page->Insert(CheckBox::Init(nullptr, 5, 16, SlowDetails, Pl("pokazuj powoli szczegóły konwersji")));
  page->Insert(CheckBox::Init(nullptr, 5, 17, HideConverted,
                              Pl("Zasłoń(~) w 2019 przekonwertowane pliki 2020K880.mm i 2020SP.nn")));
  page->Insert(PushButton::Init(34, 19, 14, 1, "Poniechaj", CMD_ABORT));
  page->Insert(PushButton::Init(54, 19, 14, 1, "Dalej >>", CMD_NEXT));
  page->SetHintLine(HintLine::Init({{"PgDn-Dalej", kKeyPgDn, CMD_NEXT}, kHelpHint}));
  return page;
}

}  // namespace qm
