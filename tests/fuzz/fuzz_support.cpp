#include "tests/fuzz/fuzz_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "driver/program_state.h"
#include "fileio/shared_file.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "tests/support/no_sync_fs.h"
#include "tui/screen.h"

namespace qm::fuzz {

namespace stdfs = std::filesystem;

bool FuzzConsole::WaitEvent(ConsoleEvent& ev, int) {
  if (++waits_ > kMaxWaits) throw TooManyWaits();
  ev = ConsoleEvent{};
  ev.kind = ConsoleEvent::Key;
  // Past the given answers a cycle of the usual ones, so a question that
  // insists on one of its letters gets it soon.
  static const char kCycle[] = {'\r', 'T', 'N', 'A', 'W', 0x1B};
  uint8_t b;
  if (next_ < answers_.size()) {
    b = static_cast<uint8_t>(answers_[next_++]);
  } else {
    b = static_cast<uint8_t>(kCycle[waits_ % sizeof kCycle]);
  }
  if (b == '\r') {
    ev.keyCode = 0x1C0D;
  } else if (b == 0x1B) {
    ev.keyCode = 0x011B;
  } else {
    ev.keyCode = b;
  }
  return true;
}

namespace {

struct Setup {
  FuzzConsole console;
  std::unique_ptr<FileSystem> fs;
  std::string dir;

  Setup() {
    char tmpl[] = "/tmp/qmfuzz.XXXXXX";
    const char* d = mkdtemp(tmpl);
    if (!d) abort();
    dir = std::string(d) + "/";
    SetConsole(&console);
    fs = std::make_unique<test::NoSyncFs>(MakeHostFileSystem());
    SetFileSystem(fs.get());
  }
  ~Setup() {
    std::error_code ec;
    stdfs::remove_all(dir, ec);
  }
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

}  // namespace

FuzzConsole& Console() { return TheSetup().console; }
const std::string& ScratchDir() { return TheSetup().dir; }

void StartRun(const std::string& answers) {
  Setup& s = TheSetup();
  ResetProgramState();
  SetConsole(&s.console);
  SetFileSystem(s.fs.get());
  SetExitHook([](int code) { throw Stopped(code); });
  s.console.SetAnswers(answers);
  std::error_code ec;
  for (const auto& e : stdfs::directory_iterator(s.dir, ec)) stdfs::remove_all(e.path(), ec);
}

void WriteScratchFile(const std::string& rel, const uint8_t* data, size_t size) {
  std::ofstream out(ScratchDir() + rel, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void MakeScratchDir(const std::string& rel) {
  std::error_code ec;
  stdfs::create_directories(ScratchDir() + rel, ec);
}

}  // namespace qm::fuzz
