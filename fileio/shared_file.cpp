#include "fileio/shared_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/message_text.h"
#include "fileio/operator_prompts.h"
#include "fileio/text_file.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/process.h"

namespace qm {

uint16_t RetryLimit = 30;
uint16_t RetryDelayMs = 50;
bool NetworkMode = true;
uint8_t SavedOpenMode = 2;
std::string TempDir;

uint8_t AccessReadOnly = 0x00;
uint8_t AccessWriteOnly = 0x01;
uint8_t AccessReadWrite = 0x02;
uint8_t ShareDenyAll = 0x10;
uint8_t ShareDenyWrite = 0x20;
uint8_t ShareDenyRead = 0x30;
uint8_t ShareDenyNone = 0x40;

namespace {

// The runtime's mode for opening existing files starts as read and write
// access without share bits.
uint8_t g_openMode = 2;

constexpr int kErrNegativeSeek = 131;  // the host's answer to a seek before 0
constexpr int kExistsPauseMs = 500;
constexpr uint8_t kAttrFileOrDir = 0x37;


}  // namespace

uint8_t ProcessOpenMode() { return g_openMode; }

void SetOpenMode(uint8_t mode) {
  SavedOpenMode = g_openMode;
  g_openMode = mode;
}

void RestoreOpenMode() { g_openMode = SavedOpenMode; }

void DisableSharing() {
  ShareDenyAll = ShareDenyWrite = ShareDenyRead = ShareDenyNone = 0;
  NetworkMode = false;
}

void InitFileLayer() {
  if (!NetworkMode) DisableSharing();
  std::string dir;
  for (const char* var : {"qmTEMP", "VODERE", "TEMP", "TMP"}) {
    dir = EnvDirectory(var);
    if (!dir.empty()) break;
  }
  if (dir.empty() && Fs().CurrentDir(dir) != kOk) dir.clear();
  if (dir.size() > kTempDirCap) dir.resize(kTempDirCap);
  TempDir = dir;
}

void ResetFileLayer() {
  RetryLimit = 30;
  RetryDelayMs = 50;
  NetworkMode = true;
  SavedOpenMode = 2;
  g_openMode = 2;
  TempDir.clear();
  AccessReadOnly = 0x00;
  AccessWriteOnly = 0x01;
  AccessReadWrite = 0x02;
  ShareDenyAll = 0x10;
  ShareDenyWrite = 0x20;
  ShareDenyRead = 0x30;
  ShareDenyNone = 0x40;
}

// ---------------------------------------------------------------------------
// Free operations.

bool LockRange(const RecordFile& f, int32_t firstRec, int32_t count, bool unlock, int* code) {
  // Offsets and lengths are 32-bit values with zero high words, as the
  // package's own locks are; ranges must match for the package to see them.
  const auto size = static_cast<uint32_t>(f.recSize);
  const uint32_t offset = static_cast<uint32_t>(firstRec) * size;
  const uint32_t length = count < 0 ? kWholeFileLength : static_cast<uint32_t>(count) * size;
  int rc = kErrInvalidHandle;
  if (f.IsOpen()) rc = unlock ? Fs().Unlock(f.handle, offset, length) : Fs().Lock(f.handle, offset, length);
  if (code) *code = rc;
  return rc == kOk;
}

bool LockTextFile(const TextFile& f) { return f.IsOpen() && Fs().Lock(f.Handle(), 0, 1) == kOk; }
bool UnlockTextFile(const TextFile& f) { return f.IsOpen() && Fs().Unlock(f.Handle(), 0, 1) == kOk; }

bool FindFileExists(const std::string& name, int* code) {
  FindEntry e;
  FindHandle fh;
  int rc = Fs().FindFirst(name, kAttrAnyFile, e, fh);
  const bool found = rc == kOk && (e.attr & kAttrDirectory) == 0;
  if (code) *code = rc;
  return found;
}

std::string FileNameOf(const RecordFile& f) {
  const size_t z = f.name.find('\0');
  return z == std::string::npos ? f.name : f.name.substr(0, z);
}

bool FileExistsRetry(const RecordFile& f, bool* gaveUp) {
  if (gaveUp) *gaveUp = false;
  const std::string name = FileNameOf(f);
  int tries = 0;
  for (;;) {
    int code = kOk;
    const bool found = FindFileExists(name, &code);
    switch (code) {
      case kErrAccessDenied:
      case kErrSharingViolation:
      case kErrLockViolation:
        if (tries >= 4) {
          const std::string text = CentredLines(
              {Pl("Dostęp do pliku"), name, Pl("niemożliwy/zabroniony !"), Pl("Ponowić próbę ?")});
          if (Prompts().Message(text, kMsgYesNo | kMsgAttention) == CMD_NO) {
            if (gaveUp) *gaveUp = true;
            return found;
          }
          tries = 0;
        }
        ++tries;
        Con().Sleep(kExistsPauseMs);
        continue;
      case kErrBadEnvironment:
      case kErrBadFormat:
        Prompts().Error(CentredLines({Pl("Niepoprawny format nazwy"), name}));
        return found;
      default:
        return found;
    }
  }
}

std::string EnvDirectory(const std::string& varName) {
  const std::string value = GetEnvVar(varName);
  if (value.empty()) return {};
  FindEntry e;
  FindHandle fh;
  const int rc = Fs().FindFirst(value, kAttrFileOrDir, e, fh);
  fh.reset();
  if (rc == kOk && (e.attr & kAttrDirectory) != 0) return value;
  return {};
}

std::string WithBackslash(const std::string& dir) {
  if (dir.empty() || dir.back() == kPathSep) return dir;
  return dir + kPathSep;
}

std::string UniqueTempName(const std::string& dir, const std::string& ext) {
  const std::string base = WithBackslash(dir.empty() ? TempDir : dir);
  SeedFromClock();
  uint32_t n = RandomBelow(32767);
  for (;;) {
    std::string name = base + "~qm" + std::to_string(n) + ext;
    // A directory of that name would make the create fail as well.
    FindEntry e;
    FindHandle fh;
    if (Fs().FindFirst(name, kAttrFileOrDir, e, fh) != kOk) return name;
    ++n;
  }
}

std::string TempFileName(const std::string& dir) { return UniqueTempName(dir, ".tmp"); }

bool FatalIOError(const std::string& opText) {
  const std::string text = MessageLines({CentredLine(Pl("Poważny BŁĄD I/O.")), CentredLine(opText), std::string(),
                                         CentredLine(Pl("Czy KONTYNUOWAĆ PRACĘ ?"))});
  Prompts().SeriousError(text);
  return false;
}

// ---------------------------------------------------------------------------
// SharedFile.

SharedFile* SharedFile::Init(const std::string& name, uint16_t recSize) {
  return new (std::nothrow) SharedFile(name, recSize);
}

SharedFile::SharedFile(const std::string& name, uint16_t recSize) {
  Name = name.size() > kSharedNameCap ? name.substr(0, kSharedNameCap) : name;
  Assign(Name);
  AccessMode = static_cast<uint8_t>(AccessReadWrite | ShareDenyNone);
  RecSize = recSize < 1 ? 1 : recSize;
  file.recSize = RecSize;
}

SharedFile::~SharedFile() {
  // The object goes away even when the unlock failed; closing the handle is
  // what gives the lock back then.
  if (file.IsOpen()) Fs().Close(file.handle);
  file.handle = kNoHandle;
}

void SharedFile::Done() {
  if (State != StateClosed) UnlockAndClose();
  LastError = 0;
  delete this;
}

void SharedFile::Assign(const std::string& name) {
  file.name = name.size() > kAssignedNameCap ? name.substr(0, kAssignedNameCap) : name;
}

void SharedFile::ClearIO() {
  LastError = 0;
  pendingIO_ = 0;
}

bool SharedFile::CheckIO() {
  LastError = static_cast<int16_t>(pendingIO_);
  pendingIO_ = 0;
  return LastError == 0;
}

bool SharedFile::Exists() { return FileExistsRetry(file); }

bool SharedFile::ResetShared() {
  ClearIO();
  // A local bracket: SavedOpenMode belongs to callers that opened their own
  // files around this one.
  const uint8_t before = g_openMode;
  g_openMode = AccessMode;
  bool ok = false;
  for (int tries = 0;; ++tries) {
    if (file.IsOpen()) {
      Fs().Close(file.handle);
      file.handle = kNoHandle;
    }
    FileHandle h = kNoHandle;
    const int rc = Fs().Open(FileNameOf(file), ProcessOpenMode(), h);
    LastError = static_cast<int16_t>(rc);
    if (rc == kOk) {
      file.handle = h;
      file.recSize = RecSize;
      State = StateOpened;
      ok = true;
      break;
    }
    if (rc != kErrSharingViolation || tries >= RetryLimit) break;
    Con().Sleep(RetryDelayMs);
  }
  g_openMode = before;
  return ok;
}

bool SharedFile::Create() {
  ClearIO();
  if (file.IsOpen()) {
    Fs().Close(file.handle);
    file.handle = kNoHandle;
  }
  FileHandle h = kNoHandle;
  SetPending(Fs().Create(FileNameOf(file), h));
  if (!CheckIO()) return false;
  file.handle = h;
  file.recSize = RecSize;
  State = StateCreated;
  return true;
}

bool SharedFile::CreateTemp() {
  Name = TempFileName(Name);
  if (Name.size() > 255) Name.resize(255);
  Assign(Name);
  if (!Create()) return false;
  State = StateTemp;
  return true;
}

bool SharedFile::Close() {
  ClearIO();
  SetPending(file.IsOpen() ? Fs().Close(file.handle) : kErrInvalidHandle);
  if (!CheckIO()) return false;
  file.handle = kNoHandle;
  State = StateClosed;
  return true;
}

bool SharedFile::UnlockAndClose() { return Unlock() && Close(); }

std::string SharedFile::NotFoundPrompt() { return CentredLine(Pl("Utworzyć nowy ?")); }

bool SharedFile::Flush() {
  return file.IsOpen() && Fs().Flush(file.handle) == kOk;
}

bool SharedFile::LockRecord(int32_t recNo) {
  int code = kOk;
  const bool ok = LockRange(file, recNo, 1, false, &code);
  LastError = static_cast<int16_t>(code);
  if (ok) Locked = true;
  return ok;
}

bool SharedFile::LockAll(WaitMode wait) {
  const bool ok = NetworkMode ? RetryAccess(AccessLockAll, wait, 0) : true;
  Locked = ok;
  return ok;
}

bool SharedFile::Unlock() {
  const bool ok = (NetworkMode && Locked) ? RetryAccess(AccessUnlockAll, WaitAsk, 0) : true;
  Locked = !ok;
  return ok;
}

bool SharedFile::TryAccess(AccessOp op, int32_t recNo) {
  int code = kOk;
  bool ok = false;
  switch (op) {
    case AccessOpen:
      return ResetShared();
    case AccessLockRecord:
      return LockRecord(recNo);
    case AccessLockAll:
      if (!NetworkMode) return true;
      ok = LockRange(file, 0, -1, false, &code);
      LastError = static_cast<int16_t>(code);
      return ok;
    case AccessUnlockAll:
      ok = LockRange(file, 0, -1, true, &code);
      LastError = static_cast<int16_t>(code);
      return ok;
    default:
      return false;  // no other access exists
  }
}

// One pause of a wait: the network question once a series is used up
// (WaitAsk), or the queue's bar (WaitQueue); attempt starts again at 1 when
// the wait goes on.
void SharedFile::PauseBeforeRetry(WaitMode wait, int& attempt,
                                  std::unique_ptr<OperatorPrompts::WaitBar>& queue) {
  switch (wait) {
    case WaitAsk:
      if (attempt > RetryLimit) {
        const std::string text =
            MessageLines({CentredLine(" NET Info"), CentredLine(Pl("DOSTĘP BLOKOWANY SIECIOWO")), Pl("Czy czekamy ?")});
        if (Prompts().Message(text, kMsgYesNo | kMsgInformation) == CMD_YES) attempt = 1;
      } else {
        Con().Sleep(RetryDelayMs);
      }
      break;
    case WaitQueue:
      if (attempt > RetryLimit) {
        attempt = 1;
        if (!queue)
          queue = Prompts().OpenWaitBar("", "Sieciowa KOLEJKA ", static_cast<int32_t>(RetryLimit) - 1);
        else
          queue->Reset();
      } else {
        if (queue) queue->Step(1);
        Con().Sleep(RetryDelayMs);
      }
      break;
    default:
      break;
  }
}

bool SharedFile::RetryAccess(AccessOp op, WaitMode wait, int32_t recNo) {
  int attempt = 1;
  bool ok = false;
  std::unique_ptr<OperatorPrompts::WaitBar> queue;
  do {
    ok = TryAccess(op, recNo);
    if (ok) break;
    ++attempt;
    PauseBeforeRetry(wait, attempt, queue);
  } while (attempt <= RetryLimit);
  queue.reset();
  Prompts().DrainKeyboard();
  return ok;
}

bool SharedFile::OpenExisting(WaitMode wait, bool ask) {
  bool gaveUp = false;
  if (FileExistsRetry(file, &gaveUp)) {
    if (RetryAccess(AccessOpen, wait, 0)) return true;
    if (LastError == kErrAccessDenied)
      Prompts().Error(CentredLines({Pl("Dostęp do pliku"), Name, Pl("Zabronony !(?)")}));
    return false;
  }
  // The operator stopped waiting for a file the host would not let us look
  // at: it may well exist, and creating it would empty it.
  if (gaveUp) {
    LastError = kErrAccessDenied;
    return false;
  }
  if (ask) {
    const std::string text =
        MessageLines({CentredLine(Pl("Nie odnaleziono pliku:")), CentredLine(Name), NotFoundPrompt()});
    if (Prompts().MessageAt(20, 10, 40, 10, text, kMsgYesNo | kMsgConfirm) != CMD_YES) return false;
  }
  return Create();
}

bool SharedFile::Open(OpenKind kind, WaitMode wait) {
  bool ok = false;
  switch (kind) {
    case OpenOrCreate:
      ok = OpenExisting(wait, false);
      break;
    case OpenOnly:
      ok = Exists() && RetryAccess(AccessOpen, wait, 0);
      break;
    case Recreate:
      ok = Create();
      break;
    case MakeTemp:
      ok = CreateTemp();
      break;
    case OpenOrAsk:
      ok = OpenExisting(wait, true);
      break;
    default:
      return false;
  }
  if (ok && LockOnOpen && NetworkMode && !LockAll(wait)) {
    Close();
    return false;
  }
  return ok;
}

bool SharedFile::SeekRecord(int32_t recNo) {
  ClearIO();
  if (!file.IsOpen())
    SetPending(kErrInvalidHandle);
  else if (recNo < 0)
    SetPending(kErrNegativeSeek);
  else
    SetPending(Fs().Seek(file.handle, static_cast<int64_t>(recNo) * RecSize));
  return CheckIO();
}

bool SharedFile::SeekEnd(int32_t& count) {
  ClearIO();
  int64_t size = 0;
  int rc = file.IsOpen() ? Fs().Size(file.handle, size) : kErrInvalidHandle;
  int64_t records = 0;
  if (rc == kOk) {
    records = RecSize > 1 ? size / RecSize : size;
    if (records > INT32_MAX) records = INT32_MAX;
    rc = Fs().Seek(file.handle, records * RecSize);
  }
  SetPending(rc);
  if (!CheckIO()) {
    count = -1;
    return false;
  }
  count = static_cast<int32_t>(records);
  return true;
}

bool SharedFile::ReadNext(uint8_t* buf) {
  ClearIO();
  uint32_t got = 0;
  SetPending(file.IsOpen() ? Fs().Read(file.handle, buf, static_cast<uint32_t>(RecSize), got)
                           : kErrInvalidHandle);
  Transferred = got == static_cast<uint32_t>(RecSize) ? 1 : 0;
  const bool ok = CheckIO() && Transferred == 1;
  if (!ok) std::memset(buf, 0, static_cast<size_t>(RecSize));
  return ok;
}

bool SharedFile::ReadAt(int32_t recNo, uint8_t* buf) {
  if (!SeekRecord(recNo)) {
    std::memset(buf, 0, static_cast<size_t>(RecSize));
    return false;
  }
  return ReadNext(buf);
}

bool SharedFile::WriteNext(const uint8_t* buf) {
  ClearIO();
  uint32_t put = 0;
  SetPending(file.IsOpen() ? Fs().Write(file.handle, buf, static_cast<uint32_t>(RecSize), put)
                           : kErrInvalidHandle);
  Transferred = put == static_cast<uint32_t>(RecSize) ? 1 : 0;
  return CheckIO() && Transferred == 1;
}

bool SharedFile::WriteAt(int32_t recNo, const uint8_t* buf) { return SeekRecord(recNo) && WriteNext(buf); }

bool SharedFile::Append(const uint8_t* buf) {
  int32_t count = 0;
  return SeekEnd(count) && WriteNext(buf);
}

void SharedFile::Compare(const uint8_t*, const uint8_t*, int16_t& res) { res = 0; }

bool SharedFile::ReadRecords(int32_t first, int32_t n, uint8_t* buf) {
  if (!SeekRecord(first)) return false;
  ClearIO();
  const uint32_t want = static_cast<uint32_t>(n) * static_cast<uint32_t>(RecSize);
  uint32_t got = 0;
  SetPending(file.IsOpen() ? Fs().Read(file.handle, buf, want, got) : kErrInvalidHandle);
  Transferred = static_cast<int32_t>(got / static_cast<uint32_t>(RecSize));
  return CheckIO() && got == want;
}

bool SharedFile::BeforeInsert(int32_t, const uint8_t*) { return true; }

bool SharedFile::InsertSorted(const uint8_t* rec) {
  // The new record's place is found reading the records above it a block at
  // a time (nobody else may touch the file under the whole-file lock); the
  // records from there up then move one place in one step, a record at a
  // time from the top down, so that a cut-off move leaves at worst one
  // record standing twice or half moved, never one lost.
  const int32_t perBlock = std::max<int32_t>(1, static_cast<int32_t>(kInsertReadBlock / RecSize));
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(perBlock) * RecSize]);
  if (!buffer) return false;
  if (!LockAll(WaitAsk)) return false;
  int32_t before = 0;
  if (!SeekEnd(before)) return FatalIOError(Pl("ustawienia końca") + Pl(" pliku"));
  if (!BeforeInsert(before, rec)) {
    if (!Unlock()) return FatalIOError(Pl("odblokowania") + Pl(" pliku"));
    return false;
  }
  if (!Append(rec)) return FatalIOError(Pl("dopisania do ") + Pl(" pliku"));
  int32_t count = 0;
  if (!SeekEnd(count)) return FatalIOError(Pl("ustawienia końca") + Pl(" pliku"));
  std::unique_ptr<OperatorPrompts::WaitBar> progress;
  if (count > 20) progress = Prompts().OpenWaitBar("", Pl("Wstawianie..."), count);
  // The place: after the last record that stays in front of the new one.
  int32_t place = 0;
  bool found = false;
  for (int32_t i = count - 2; i >= 0 && !found;) {
    const int32_t low = std::max(0, i - perBlock + 1);
    if (!ReadRecords(low, i - low + 1, buffer.get())) return FatalIOError(Pl("odczytu") + Pl(" danych"));
    const int32_t top = i;
    for (; i >= low && !found; --i) {
      int16_t res = 0;
      Compare(buffer.get() + static_cast<size_t>(i - low) * RecSize, rec, res);
      if (res >= 0) {
        place = i + 1;
        found = true;
      }
    }
    // The bar moves a block at a time: a step per record costs more than
    // the move itself in a long list.
    if (progress) progress->Step(top - i);
  }
  if (place < count - 1) {
    ClearIO();
    SetPending(Fs().MoveUp(file.handle, static_cast<int64_t>(place) * RecSize,
                           static_cast<int64_t>(count - 1 - place) * RecSize, static_cast<uint32_t>(RecSize)));
    if (!CheckIO()) return FatalIOError(Pl("zapisu") + Pl(" danych"));
  }
  InsertedAt = place;
  const bool result = place == count - 1 || WriteAt(place, rec);
  progress.reset();
  buffer.reset();
  if (!Unlock()) return FatalIOError(Pl("odblokowania") + Pl(" pliku"));
  if (!result) return FatalIOError(Pl("wstawienia do") + Pl(" pliku"));
  Flush();
  return result;
}

}  // namespace qm
