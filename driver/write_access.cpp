#include "driver/write_access.h"

#include <vector>

#include "base/cp852.h"
#include "base/message_text.h"
#include "journal/bookkeeping.h"
#include "platform/host_fs.h"
#include "run/run_settings.h"
#include "tui/message_box.h"

namespace qm {
namespace {

// The box spans the screen: a path has 72 columns before it is cut, and
// then from the front, where the names matter least.
constexpr int kBoxWidth = 76;
constexpr size_t kPathRoom = kBoxWidth - 4;

struct Refusal {
  const char* treeUtf8;
  std::string dir;
  int code;
};

// Makes the probe in dir (with its separator) and removes it; kOk, or the
// code of the step that failed.
int Probe(const std::string& dir) {
  const std::string path = dir + kWriteProbeName;
  FileHandle h = kNoHandle;
  int rc = Fs().Create(path, h);
  if (rc != kOk) return rc;
  Fs().Close(h);
  rc = Fs().Remove(path);
  return rc == kErrFileNotFound ? kOk : rc;
}

std::string Shown(const std::string& path) {
  return path.size() <= kPathRoom ? path : "..." + path.substr(path.size() - (kPathRoom - 3));
}

void ShowRefusals(const std::vector<Refusal>& refusals) {
  std::string text = Pl(" Brak prawa zapisu ") + kMsgTitleEnd;
  for (const Refusal& r : refusals) {
    text += CentredLine(Pl(r.treeUtf8)) + kMsgLineBreak + CentredLine(Shown(r.dir)) + kMsgLineBreak +
            CentredLine("(" + WriteFailureReason(r.code) + ")") + kMsgLineBreak;
  }
  text += CentredLine(Pl("Przenoszenie danych nie może się zacząć."));
  const int lines = static_cast<int>(refusals.size()) * 3 + 1;
  const int height = lines + 5;
  MessageBoxAt((80 - kBoxWidth) / 2 + 1, (25 - height) / 2 + 1, kBoxWidth, height, text,
               kMsgButtonOk | kMsgError);
}

}  // namespace

std::string WriteFailureReason(int code) {
  struct Reason {
    int code;
    const char* utf8;
  };
  static constexpr Reason kReasons[] = {
      {kErrAccessDenied, "brak uprawnień do zapisu albo dysk tylko do odczytu"},
      {kErrPathNotFound, "katalog nie istnieje"},
      {kErrFileNotFound, "katalog nie istnieje"},
      {kErrDiskFull, "brak miejsca na dysku"},
      {kErrSharingViolation, "plik próbny jest używany przez inny program"},
      {kErrLockViolation, "plik próbny jest używany przez inny program"},
      {kErrTooManyOpenFiles, "za dużo otwartych plików"},
      {kErrNameTooLong, "za długa ścieżka"},
      {kErrWriteFault, "błąd zapisu na dysku"},
      {kErrLinkRefused, "dowiązanie symboliczne w ścieżce"},
  };
  for (const Reason& r : kReasons) {
    if (r.code == code) return Pl(r.utf8);
  }
  return Pl("błąd systemu nr ") + std::to_string(code);
}

bool CheckWriteAccess() {
  const std::string target = DirWithSeparator(TargetRoot);
  const std::string books = target + kBookkeepingName;
  const std::string targetDir = DirectoryExists(books) ? DirWithSeparator(books) : target;
  const std::string sourceDir = DirWithSeparator(SourceRoot);
  std::vector<Refusal> refusals;
  if (const int rc = Probe(sourceDir); rc != kOk) refusals.push_back({"Nie można pisać w instalacji 2019:", sourceDir, rc});
  if (const int rc = Probe(targetDir); rc != kOk) refusals.push_back({"Nie można pisać w instalacji 2020:", targetDir, rc});
  if (refusals.empty()) return true;
  ShowRefusals(refusals);
  return false;
}

}  // namespace qm
