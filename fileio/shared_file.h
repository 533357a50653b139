// Shared record files: the one place that opens, locks, reads, writes and
// closes the package's data files while other workstations (and the package
// itself) may hold them open. Blocked opens and locks are retried with
// pauses, and the operator is asked when waiting does not help.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "fileio/operator_prompts.h"
#include "platform/host_fs.h"

namespace qm {

class TextFile;

// ---------------------------------------------------------------------------
// Process-wide settings of the file layer.

extern uint16_t RetryLimit;    // attempts per series; 30
extern uint16_t RetryDelayMs;  // pause between attempts; 50
extern bool NetworkMode;       // off: no locks, no share bits
extern uint8_t SavedOpenMode;  // remembered by SetOpenMode; 2
extern std::string TempDir;    // directory for temporary files
// Paths the layer keeps: long enough for any installation path (a DOS-era
// cut would make another file of it).
inline constexpr size_t kTempDirCap = 1024;

// The open-mode table. The share values are variables because
// DisableSharing zeroes them: code that combines an access value with a
// share value from here opens without sharing once the network is off.
extern uint8_t AccessReadOnly;   // 0x00
extern uint8_t AccessWriteOnly;  // 0x01
extern uint8_t AccessReadWrite;  // 0x02
extern uint8_t ShareDenyAll;     // 0x10
extern uint8_t ShareDenyWrite;   // 0x20
extern uint8_t ShareDenyRead;    // 0x30
extern uint8_t ShareDenyNone;    // 0x40

// The mode in force for opening existing files (access | share, as
// FileSystem::Open takes it). Code that opens files itself brackets its open
// with SetOpenMode/RestoreOpenMode and passes ProcessOpenMode() to the open.
uint8_t ProcessOpenMode();
void SetOpenMode(uint8_t mode);  // remembers the current mode (one level)
void RestoreOpenMode();

void DisableSharing();
// Once at start: sharing off when the network is off, then TempDir.
void InitFileLayer();
// Every setting of the layer back to its start value (tests).
void ResetFileLayer();

// ---------------------------------------------------------------------------
// Enumerations.

enum OpenKind : uint8_t { OpenOrCreate = 0, OpenOnly = 1, Recreate = 2, MakeTemp = 3, OpenOrAsk = 4 };
enum WaitMode : uint8_t { WaitRetry = 0, WaitAsk = 1, WaitQueue = 2 };
enum AccessOp : uint8_t { AccessOpen = 0, AccessLockRecord = 1, AccessLockAll = 3, AccessUnlockAll = 4 };

enum FileState : uint8_t { StateClosed = 0, StateOpened = 1, StateCreated = 2, StateTemp = 3 };

inline constexpr size_t kSharedNameCap = 1024;   // names kept by SharedFile
inline constexpr size_t kAssignedNameCap = 1024;  // names a file variable holds
inline constexpr uint32_t kWholeFileLength = 0x7FFFFFFF;
// Bytes of records a sorted insertion reads at a time while it looks for
// the new record's place.
inline constexpr size_t kInsertReadBlock = 64 * 1024;

// The record file as the host sees it: handle, record size in force for
// seeks, reads, writes and lock ranges, and the assigned name.
struct RecordFile {
  FileHandle handle = kNoHandle;
  int32_t recSize = 1;
  std::string name;
  bool IsOpen() const { return handle != kNoHandle; }
};

// ---------------------------------------------------------------------------

class SharedFile {
 public:
  // Heap construction that cannot end the program: null when memory is
  // short. Descendants are built with new (std::nothrow) and their own
  // constructor, which passes name and record size on.
  static SharedFile* Init(const std::string& name, uint16_t recSize);
  SharedFile(const std::string& name, uint16_t recSize);
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;
  // Unlocks and closes an open file, then releases the object.
  void Done();

  bool Open(OpenKind kind, WaitMode wait);
  bool Exists();
  bool ResetShared();
  bool Create();
  bool CreateTemp();
  bool Close();
  bool UnlockAndClose();
  // Last line of the file-not-found question (with its centring mark).
  virtual std::string NotFoundPrompt();
  bool CheckIO();
  void ClearIO();
  bool Flush();

  // The access retried with pauses, as the wait mode says; false when the
  // attempts ran out or the operator stopped waiting.
  bool RetryAccess(AccessOp op, WaitMode wait, int32_t recNo);
  bool LockRecord(int32_t recNo);
  bool LockAll(WaitMode wait);
  bool Unlock();

  bool SeekRecord(int32_t recNo);
  bool SeekEnd(int32_t& count);
  // buf holds RecSize bytes.
  virtual bool ReadNext(uint8_t* buf);
  bool ReadAt(int32_t recNo, uint8_t* buf);
  virtual bool WriteNext(const uint8_t* buf);
  bool WriteAt(int32_t recNo, const uint8_t* buf);
  bool Append(const uint8_t* buf);
  // Inserts rec at its place in the order of Compare, under a whole-file
  // lock; after equal records. A failed step brings the serious-I/O-error
  // box (FatalIOError).
  bool InsertSorted(const uint8_t* rec);
  // Called by InsertSorted under the whole-file lock, before anything is
  // written, with the number of records the file holds; false stops the
  // insertion (nothing written, the lock given back, InsertSorted false).
  // This base lets every insertion go ahead.
  virtual bool BeforeInsert(int32_t count, const uint8_t* rec);
  // res < 0 when existing belongs after newRec, res >= 0 otherwise. This
  // base keeps arrival order (res = 0: a new record goes to the end).
  virtual void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res);

  // Fields.
  RecordFile file;
  std::string Name;
  uint8_t AccessMode = 0x42;
  uint8_t State = StateClosed;
  bool LockOnOpen = false;
  int32_t Transferred = 0;
  int32_t RecSize = 1;
  bool Locked = false;
  int16_t LastError = 0;
  int32_t InsertedAt = 0;

 protected:
  virtual ~SharedFile();
  void Assign(const std::string& name);
  void SetPending(int code) {
    if (pendingIO_ == 0) pendingIO_ = code;
  }

 private:
  // One attempt of an access.
  bool TryAccess(AccessOp op, int32_t recNo);
  void PauseBeforeRetry(WaitMode wait, int& attempt, std::unique_ptr<OperatorPrompts::WaitBar>& queue);
  bool OpenExisting(WaitMode wait, bool ask);
  // n whole records from record first on, in one host read.
  bool ReadRecords(int32_t first, int32_t n, uint8_t* buf);
  int pendingIO_ = 0;
};

// Releases a SharedFile through Done (for std::unique_ptr).
struct SharedFileDone {
  void operator()(SharedFile* f) const {
    if (f) f->Done();
  }
};
template <class T = SharedFile>
using SharedFilePtr = std::unique_ptr<T, SharedFileDone>;

// ---------------------------------------------------------------------------
// Free operations.

// Locks (unlock false) or unlocks a range of whole records of an open file;
// a negative count means the whole file (0x7FFFFFFF bytes). code, when
// given, receives the host result.
bool LockRange(const RecordFile& f, int32_t firstRec, int32_t count, bool unlock, int* code = nullptr);
// The first byte of an open text file: the writer's mark of a
// configuration file.
bool LockTextFile(const TextFile& f);
bool UnlockTextFile(const TextFile& f);

// Whether the file exists, waiting out access errors with the operator.
// gaveUp, when given, is set when the operator stopped the wait after access
// errors: the answer "not found" then says nothing about the file.
bool FileExistsRetry(const RecordFile& f, bool* gaveUp = nullptr);
// A search for exactly this name (no directories); code gets the host result.
bool FindFileExists(const std::string& name, int* code = nullptr);
std::string FileNameOf(const RecordFile& f);
// The variable's value when it names an existing directory, else empty.
std::string EnvDirectory(const std::string& varName);
std::string WithBackslash(const std::string& dir);
// Dir + "~qm" + number + ext, a name no file has yet; empty dir = TempDir.
std::string UniqueTempName(const std::string& dir, const std::string& ext);
std::string TempFileName(const std::string& dir);
// The serious-I/O-error box (Prompts().SeriousError): the wizard's prompts
// end the program there with code 255. False, for the operation that failed
// to give back when the prompts in force let it return.
bool FatalIOError(const std::string& opText);

}  // namespace qm
