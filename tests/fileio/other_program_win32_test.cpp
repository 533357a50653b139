// Another program holding the package's files: a second copy of this test
// program, started with --qm-other-program, opens, locks, unlocks and closes
// a file when told to through its standard input. What the first copy sees
// is what the tool sees when the package runs on another workstation.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "driver/company_list.h"
#include "fileio/shared_file.h"
#include "run/run_settings.h"
#include "tests/driver/company_list_records.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

constexpr wchar_t kOtherFlag[] = L"--qm-other-program";

std::wstring Wide(const std::string& cp852) {
  std::wstring w;
  for (char c : cp852) w += static_cast<wchar_t>(Cp852ToUnicode(static_cast<uint8_t>(c)));
  return w;
}

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) {
    uint8_t code = '?';
    UnicodeToCp852(static_cast<char32_t>(*w), code);
    s += static_cast<char>(code);
  }
  return s;
}

// The other side: one command byte in, the platform code of the step out
// (0 for success). It ends when its input is closed.
[[noreturn]] void RunOtherProgram(const std::string& path) {
  auto fs = MakeHostFileSystem();
  FileHandle h = kNoHandle;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  char cmd = 0;
  DWORD n = 0;
  while (ReadFile(in, &cmd, 1, &n, nullptr) && n == 1) {
    int rc = 255;
    switch (cmd) {
      case 'o': rc = fs->Open(path, kAccessReadWrite | kShareDenyNone, h); break;
      case 'x': rc = fs->Open(path, kAccessReadWrite | kShareDenyAll, h); break;
      case 'l': rc = fs->Lock(h, 0, 0x7FFFFFFF); break;
      case 'u': rc = fs->Unlock(h, 0, 0x7FFFFFFF); break;
      case 'c':
        rc = fs->Close(h);
        h = kNoHandle;
        break;
      default: break;
    }
    const char reply = static_cast<char>(rc > 255 ? 255 : rc);
    WriteFile(out, &reply, 1, &n, nullptr);
  }
  ExitProcess(0);
}

// Before the tests start: the copy started as the other program never
// reaches them.
[[maybe_unused]] const bool kOtherProgramChecked = [] {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc == 3 && std::wstring(argv[1]) == kOtherFlag) RunOtherProgram(Narrow(argv[2]));
  if (argv) LocalFree(argv);
  return true;
}();

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class OtherProgram {
 public:
  explicit OtherProgram(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &toChild_, &sa, 0)) return;
    if (!CreatePipe(&fromChild_, &childOut, &sa, 0)) {
      CloseHandle(childIn);
      return;
    }
    SetHandleInformation(toChild_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild_, HANDLE_FLAG_INHERIT, 0);
    wchar_t exe[MAX_PATH + 1];
    const DWORD len = GetModuleFileNameW(nullptr, exe, MAX_PATH + 1);
    if (len > 0 && len <= MAX_PATH) {
      std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + kOtherFlag + L" \"" + Wide(path) + L"\"";
      STARTUPINFOW si{};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = childIn;
      si.hStdOutput = childOut;
      si.hStdError = childOut;
      started_ = CreateProcessW(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi_);
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
  }
  ~OtherProgram() {
    if (toChild_) CloseHandle(toChild_);
    if (started_) {
      if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
    if (fromChild_) CloseHandle(fromChild_);
  }
  bool Started() const { return started_; }
  // Runs one step over there; its platform code, or -1 when the other
  // program cannot be reached.
  int Do(char cmd) {
    DWORD n = 0;
    if (!started_ || !WriteFile(toChild_, &cmd, 1, &n, nullptr) || n != 1) return -1;
    char reply = 0;
    if (!ReadFile(fromChild_, &reply, 1, &n, nullptr) || n != 1) return -1;
    return static_cast<unsigned char>(reply);
  }

 private:
  HANDLE toChild_ = nullptr, fromChild_ = nullptr;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

// The console whose pauses can make the other program act: pause n (from
// 1) runs the hook, so a lock can be given up after a known number of the
// layer's attempts.
class PauseHookConsole : public FakeConsole {
 public:
  void Sleep(int ms) override {
    FakeConsole::Sleep(ms);
    ++pauses;
    if (onPause) onPause(pauses);
  }
  bool SawScreen(const std::string& utf8) const {
    for (const std::string& s : screens) {
      if (s.find(utf8) != std::string::npos) return true;
    }
    return Shows(utf8);
  }
  std::function<void(int)> onPause;
  int pauses = 0;
};

constexpr uint16_t kRec = 8;
Bytes Rec(const std::string& key) {
  Bytes r(kRec, 0);
  PutText(r.data(), 0, 6, key);
  return r;
}

class KeyFile : public SharedFile {
 public:
  explicit KeyFile(const std::string& name) : SharedFile(name, kRec) {}
  void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res) override {
    res = PlCompare(PlUpperCase(GetText(existing, 0, 6)), PlUpperCase(GetText(newRec, 0, 6)));
  }
};

class OtherProgramTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SetConsole(&hooked);
    hooked.capture = true;
  }
  void WriteRecords(const std::string& rel, const std::vector<std::string>& keys) {
    Bytes all;
    for (const auto& k : keys) {
      const Bytes r = Rec(k);
      all.insert(all.end(), r.begin(), r.end());
    }
    WriteFile(rel, all);
  }
  std::vector<std::string> Keys(const std::string& rel) {
    const Bytes all = ReadFile(rel);
    std::vector<std::string> keys;
    for (size_t off = 0; off + kRec <= all.size(); off += kRec) keys.push_back(GetText(all.data() + off, 0, 6));
    return keys;
  }
  SharedFilePtr<KeyFile> OpenKeyFile(const std::string& rel) {
    SharedFilePtr<KeyFile> f(new KeyFile(Path(rel)));
    EXPECT_TRUE(f->Open(OpenOrCreate, WaitRetry));
    return f;
  }
  PauseHookConsole hooked;
};

TEST_F(OtherProgramTest, AnExclusiveOpenOfAFileOpenElsewhereFailsWithCode32) {
  WriteText("lista.dat", "0123456789");
  const std::string file = Path("lista.dat");
  OtherProgram other(file);
  ASSERT_TRUE(other.Started());
  ASSERT_EQ(other.Do('o'), kOk);

  FileHandle h = kNoHandle;
  EXPECT_EQ(fs->Open(file, kAccessRead | kShareDenyAll, h), kErrSharingViolation);
  EXPECT_EQ(fs->Open(file, kAccessReadWrite | kShareDenyWrite, h), kErrSharingViolation);
  EXPECT_EQ(fs->Remove(file), kErrSharingViolation);
  EXPECT_EQ(fs->Rename(file, Path("inna.dat")), kErrSharingViolation);
  ASSERT_EQ(fs->Open(file, kAccessReadWrite | kShareDenyNone, h), kOk);  // the package's own way
  fs->Close(h);

  // The layer retries a sharing violation with pauses: the other program
  // closes the file at the fifth pause and the exclusive open then succeeds.
  hooked.onPause = [&](int n) {
    if (n == 5) {
      EXPECT_EQ(other.Do('c'), kOk);
    }
  };
  {
    SharedFilePtr<> f(SharedFile::Init(file, 1));
    f->AccessMode = kAccessReadWrite | kShareDenyAll;
    ASSERT_TRUE(f->Open(OpenOnly, WaitRetry));
    EXPECT_EQ(f->State, StateOpened);
    EXPECT_EQ(hooked.nowMs, 5u * 50u);
    // Held exclusively here, the file is closed to the other program.
    EXPECT_EQ(other.Do('o'), kErrSharingViolation);
  }
  EXPECT_EQ(other.Do('x'), kOk);
  EXPECT_EQ(fs->Open(file, kAccessRead | kShareDenyNone, h), kErrSharingViolation);
  EXPECT_EQ(other.Do('c'), kOk);
}

TEST_F(OtherProgramTest, WholeFileLockElsewhereHoldsTheSortedInsertionUntilReleased) {
  WriteRecords("n.dat", {"B", "C"});
  OtherProgram other(Path("n.dat"));
  ASSERT_TRUE(other.Started());
  ASSERT_EQ(other.Do('o'), kOk);
  ASSERT_EQ(other.Do('l'), kOk);

  auto f = OpenKeyFile("n.dat");
  int readWhileLocked = -1;
  hooked.onPause = [&](int n) {
    if (n == 1) {
      // Win32 locks are mandatory: the records cannot even be read.
      FileHandle h = kNoHandle;
      if (fs->Open(Path("n.dat"), kAccessRead | kShareDenyNone, h) == kOk) {
        char buf[8];
        uint32_t got = 0;
        readWhileLocked = fs->Read(h, buf, sizeof buf, got);
        fs->Close(h);
      }
    }
    if (n == 10) {
      EXPECT_EQ(other.Do('u'), kOk);
    }
  };
  EXPECT_TRUE(f->InsertSorted(Rec("A").data()));
  // Wine keeps locks from other locks only, not from reads and writes.
  if (!UnderWine()) {
    EXPECT_EQ(readWhileLocked, kErrLockViolation);
  }
  EXPECT_EQ(hooked.pauses, 10);
  EXPECT_EQ(hooked.nowMs, 10u * 50u);
  EXPECT_EQ(f->InsertedAt, 0);
  EXPECT_FALSE(f->Locked);
  EXPECT_FALSE(hooked.SawScreen("NET Info"));
  f.reset();
  EXPECT_EQ(Keys("n.dat"), (std::vector<std::string>{"A", "B", "C"}));
  // The insertion's own lock is gone: the other program can lock again.
  EXPECT_EQ(other.Do('l'), kOk);
  EXPECT_EQ(other.Do('u'), kOk);
  EXPECT_EQ(other.Do('c'), kOk);
}

TEST_F(OtherProgramTest, LockHeldPastASeriesAsksWhetherToWait) {
  WriteRecords("n.dat", {"B", "C"});
  OtherProgram other(Path("n.dat"));
  ASSERT_TRUE(other.Started());
  ASSERT_EQ(other.Do('o'), kOk);
  ASSERT_EQ(other.Do('l'), kOk);
  auto f = OpenKeyFile("n.dat");

  // "Nie": the insertion fails after one series of 30 attempts, 29 pauses.
  hooked.Keys("n");
  EXPECT_FALSE(f->InsertSorted(Rec("A").data()));
  EXPECT_FALSE(f->Locked);
  EXPECT_EQ(hooked.nowMs, 29u * 50u);
  EXPECT_TRUE(hooked.SawScreen("NET Info"));
  EXPECT_TRUE(hooked.SawScreen("Czy czekamy ?"));

  // "Tak": another series starts, and the other program lets go during it.
  hooked.screens.clear();
  hooked.nowMs = 0;
  hooked.pauses = 0;
  hooked.onPause = [&](int n) {
    if (n == 35) {
      EXPECT_EQ(other.Do('u'), kOk);
    }
  };
  hooked.Keys("t");
  EXPECT_TRUE(f->InsertSorted(Rec("A").data()));
  EXPECT_EQ(hooked.nowMs, 35u * 50u);
  EXPECT_TRUE(hooked.SawScreen("NET Info"));
  EXPECT_EQ(hooked.PendingCount(), 0u);
  f.reset();
  EXPECT_EQ(Keys("n.dat"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(other.Do('c'), kOk);
}

// The package holding the company list open on another workstation makes
// the recognition stop instead of reading a list in change.
TEST_F(OtherProgramTest, CompanyListOpenElsewhereIsNotRead) {
  SourceRoot = Path("2019") + kPathSep;
  TargetRoot = Path("2020") + kPathSep;
  MakeDir("2019/ALFA");
  MakeDir("2020");
  WriteFile("2019/SPISFIRM.DAT", CompanyListBytes({{"Alfa", "ALFA", ""}}));
  OtherProgram other(Path("2019/SPISFIRM.DAT"));
  ASSERT_TRUE(other.Started());
  ASSERT_EQ(other.Do('o'), kOk);
  hooked.Keys("Enter");
  int32_t count = 0;
  int exitCode = -1;
  try {
    RecogniseEnvironment(count);
  } catch (const ProgramExited& e) {
    exitCode = e.code;
  }
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(hooked.SawScreen("Brak dostępu do pliku"));
  EXPECT_EQ(other.Do('c'), kOk);
}

}  // namespace
}  // namespace qm::test
