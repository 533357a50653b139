#include "convert/copy_engine.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "fileio/text_file.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_operator.h"
#include "run/run_report.h"
#include "run/run_settings.h"

namespace qm {

OverwritePolicy OverwriteMode = kOverwriteAsk;
bool AppendToExisting = false;
int32_t RecordIoCounter = 0;

void ResetCopyEngine() {
  OverwriteMode = kOverwriteAsk;
  AppendToExisting = false;
  RecordIoCounter = 0;
}

namespace {

// The package copies in small blocks and one record per call; the files
// written are the same when the host sees larger blocks, and a big journal
// or register then moves at the speed of the disk.
constexpr uint32_t kBlock = 64 * 1024;

// A write that stored fewer bytes than asked without naming an error (a full
// disk on some hosts) is still a failed write.
constexpr int kShortWrite = kErrWriteFault;

// Source file read in large blocks and handed out in record-sized pieces.
class BlockReader {
 public:
  explicit BlockReader(FileHandle h) : h_(h), buf_(kBlock) {}

  // Reads up to n bytes; got < n only at the end of the file.
  int Read(uint8_t* dst, uint32_t n, uint32_t& got) {
    got = 0;
    while (got < n) {
      if (pos_ == len_) {
        if (eof_) break;
        uint32_t g = 0;
        const int err = Fs().Read(h_, buf_.data(), kBlock, g);
        if (err != kOk) return err;
        if (g == 0) {
          eof_ = true;
          break;
        }
        pos_ = 0;
        len_ = g;
      }
      const uint32_t take = std::min(n - got, len_ - pos_);
      std::memcpy(dst + got, buf_.data() + pos_, take);
      pos_ += take;
      got += take;
    }
    return kOk;
  }

 private:
  FileHandle h_;
  std::vector<uint8_t> buf_;
  uint32_t pos_ = 0, len_ = 0;
  bool eof_ = false;
};

// Destination file gathered into large blocks. An error of the host write
// shows at the logical write that filled the block, or at Flush.
class BlockWriter {
 public:
  explicit BlockWriter(FileHandle h) : h_(h) { buf_.reserve(kBlock); }

  int Write(const uint8_t* src, uint32_t n) {
    while (n > 0) {
      const uint32_t room = kBlock - static_cast<uint32_t>(buf_.size());
      const uint32_t take = std::min(n, room);
      buf_.insert(buf_.end(), src, src + take);
      src += take;
      n -= take;
      if (buf_.size() == kBlock) {
        const int err = Flush();
        if (err != kOk) return err;
      }
    }
    return kOk;
  }

  int Flush() {
    size_t off = 0;
    int err = kOk;
    while (off < buf_.size()) {
      uint32_t put = 0;
      err = Fs().Write(h_, buf_.data() + off, static_cast<uint32_t>(buf_.size() - off), put);
      if (err != kOk) break;
      if (put == 0) {
        err = kShortWrite;
        break;
      }
      off += put;
    }
    // What could not be written is dropped: the copy stops after a write
    // error and the destination stays as far as it got.
    buf_.clear();
    return err;
  }

 private:
  FileHandle h_;
  std::vector<uint8_t> buf_;
};

void LogIn(uint8_t colour, const std::string& text) {
  LogColour(colour);
  LogLine(text);
}

// An error line that stops a copy: logged in red, then one key.
void StopLine(const std::string& text) {
  LogIn(kLogError, text);
  WaitKey();
}

bool Present(const std::string& path) { return FileSizeOf(path) > 0; }

// A 2019 file that is there to be carried. A symbolic link in its place is
// never read through: it is named and skipped.
bool SourcePresent(const std::string& path) {
  if (Present(path)) return true;
  SkipIfLink(path);
  return false;
}

int OpenSource(const std::string& path, FileHandle& h) {
  return Fs().Open(path, kAccessRead | kShareDenyNone, h);
}

int OpenForAppend(const std::string& path, FileHandle& h) {
  int err = Fs().Open(path, kAccessReadWrite | kShareDenyNone, h);
  if (err != kOk) return err;
  int64_t size = 0;
  err = Fs().Size(h, size);
  if (err == kOk) err = Fs().Seek(h, size);
  if (err != kOk) {
    Fs().Close(h);
    h = kNoHandle;
  }
  return err;
}

int64_t SizeOfOpen(FileHandle h) {
  int64_t size = 0;
  if (Fs().Size(h, size) != kOk) return 0;
  return size;
}

// Closes both ends of a binary or record copy with the package's messages;
// false when the destination did not close cleanly.
bool CloseBoth(FileHandle src, const std::string& source, FileHandle dst, const std::string& dest) {
  if (Fs().Close(src) != kOk) StopLine(Pl("Błąd zamknięcia zbioru ") + source);
  if (Fs().Close(dst) != kOk) {
    StopLine(Pl("Błąd zamknięcia zbioru ") + dest);
    return false;
  }
  return true;
}

// The opening steps shared by the two record operations. Gives false in
// `proceed` when the copy is not to run, with `result` the operation's
// result.
struct RecordFiles {
  FileHandle src = kNoHandle;
  FileHandle dst = kNoHandle;
  int64_t srcSize = 0;
};

bool OpenRecordFiles(const std::string& source, const std::string& dest, RecordFiles& f,
                     bool& result) {
  if (!SourcePresent(source)) {
    LogIn(kLogNote, Pl("Brak pliku źródłowego ") + source);
    PauseIfSlow();
    result = true;
    return false;
  }
  if (Present(dest) && !AppendToExisting && KeepExistingFile(dest)) {
    result = false;
    return false;
  }
  if (OpenSource(source, f.src) != kOk) {
    StopLine(Pl("Błąd otwarcia pliku ") + source);
    result = false;
    return false;
  }
  // When appending, a destination that is there is opened, whatever the
  // search said of it: only a missing one is made, so that a search failing
  // for a moment cannot get a journal emptied.
  int err = kOk;
  if (AppendToExisting) {
    err = OpenForAppend(dest, f.dst);
    if (err == kErrFileNotFound || err == kErrPathNotFound) err = Fs().Create(dest, f.dst);
  } else {
    err = Fs().Create(dest, f.dst);
  }
  if (err != kOk) {
    LogIn(kLogError, Pl("Błąd Utworzenia pliku ") + dest);
    Fs().Close(f.src);
    WaitKey();
    result = false;
    return false;
  }
  f.srcSize = SizeOfOpen(f.src);
  return true;
}

// What a record step gives to write: nothing (null), or bytes.
struct RecordOut {
  const uint8_t* bytes = nullptr;
  uint32_t length = 0;
};

// The loop of both record operations: every record of the source, read in
// recSize pieces, goes through step, and what step gives is written. A read
// or write error stops the loop with the package's message; countIo
// advances RecordIoCounter after every read and write, as CopyRecords does.
template <class Step>
void PumpRecords(RecordFiles& f, uint16_t recSize, bool countIo, Step step) {
  std::vector<uint8_t> rec(recSize);
  BlockReader in(f.src);
  BlockWriter out(f.dst);
  for (;;) {
    uint32_t n = 0;
    const int rerr = in.Read(rec.data(), recSize, n);
    if (countIo) ++RecordIoCounter;
    if (rerr != kOk) {
      StopLine(Pl("Błąd odczytu danych"));
      break;
    }
    if (n == 0) break;
    // A short last record reaches the step with zeros, never the record
    // before it, behind its end.
    if (n < recSize) std::memset(rec.data() + n, 0, recSize - n);
    const RecordOut o = step(rec.data(), n);
    if (!o.bytes) continue;
    const int werr = out.Write(o.bytes, o.length);
    if (countIo) ++RecordIoCounter;
    if (werr != kOk) {
      StopLine(Pl("Błąd zapisu danych"));
      return;
    }
  }
  if (out.Flush() != kOk) StopLine(Pl("Błąd zapisu danych"));
}

std::string Decimal(int64_t n) { return std::to_string(n); }

}  // namespace

bool SkipIfLink(const std::string& path) {
  if (!IsLink(path)) return false;
  LogIn(kLogError, Pl("Pominięto dowiązanie symboliczne ") + path);
  return true;
}

bool KeepExistingFile(const std::string& name) {
  if (OverwriteMode == kOverwriteKeepAll) return true;
  if (OverwriteMode == kOverwriteReplaceAll) return false;
  LogIn(kLogError, Pl("Stwierdzono obecność pliku ") + name);
  LogIn(kLogNote, Pl(" W-wykonaj kopiownie (zastępując) [A-i wszystkie następne]  "));
  LogLine(Pl(" Z-zostaw plik                    [N-i wszystkie następne] ?"));
  LogColour(kLogPrompt);
  LogWrite("---->  Z(n)/W(a)");
  const uint8_t key = Op().AskLetter("ZNWA", TypedAhead::Discarded);
  ReportAnswer(std::string(1, static_cast<char>(key)));
  LogLine("");
  switch (key) {
    case 'A':
      OverwriteMode = kOverwriteReplaceAll;
      return false;
    case 'N':
      OverwriteMode = kOverwriteKeepAll;
      return true;
    case 'W':
      return false;
    default:
      return true;
  }
}

void CopyTextFile(const std::string& source, const std::string& dest) {
  if (!SourcePresent(source)) return;
  TextFile in;
  if (in.OpenRead(source) != kOk) {
    StopLine(Pl("Błąd otwarcia pliku ") + source);
    return;
  }
  if (Present(dest) && KeepExistingFile(dest)) {
    in.Close();
    return;
  }
  TextFile out;
  if (out.Create(dest) != kOk) {
    StopLine(Pl("Błąd utworzenia pliku ") + dest);
    in.Close();
    return;
  }
  LogIn(kLogProgress, Pl("Kopiuję plik ") + source);
  std::string line;
  bool writeFailed = false;
  for (;;) {
    int err = kOk;
    if (!in.ReadLine(line, err)) {
      if (err != kOk) LogIn(kLogError, Pl("Błąd odczytu z pliku ") + source);
      break;
    }
    if (out.WriteLine(line) != kOk) {
      LogIn(kLogError, Pl("Błąd zapisu do pliku ") + dest);
      writeFailed = true;
      break;
    }
  }
  // Lines still buffered when the file closes can fail to reach the disk:
  // that is a write error like any other.
  if (out.Close() != kOk && !writeFailed) LogIn(kLogError, Pl("Błąd zapisu do pliku ") + dest);
  in.Close();
}

bool CopyBinaryFile(const std::string& source, const std::string& dest) {
  if (!SourcePresent(source)) return true;
  if (Present(dest) && KeepExistingFile(dest)) return true;
  FileHandle src = kNoHandle, dst = kNoHandle;
  if (OpenSource(source, src) != kOk) {
    StopLine(Pl("Błąd otwarcia pliku ") + source);
    return false;
  }
  if (Fs().Create(dest, dst) != kOk) {
    LogIn(kLogError, Pl("Błąd Utworzenia pliku ") + dest);
    Fs().Close(src);
    WaitKey();
    return false;
  }
  LogIn(kLogProgress, Pl("Kopiuję ") + source + "  " + Decimal(SizeOfOpen(src)) + Pl(" bytów..."));
  std::vector<uint8_t> block(kBlock);
  for (;;) {
    uint32_t got = 0, put = 0;
    if (Fs().Read(src, block.data(), kBlock, got) != kOk) {
      StopLine(Pl("Błąd odczytu danych"));
      break;
    }
    if (got == 0) break;
    int err = kOk;
    uint32_t off = 0;
    // The host may take a block in parts; only no progress at all ends it.
    while (off < got) {
      err = Fs().Write(dst, block.data() + off, got - off, put);
      if (err != kOk) break;
      if (put == 0) {
        err = kShortWrite;
        break;
      }
      off += put;
    }
    if (err != kOk) {
      StopLine(Pl("Błąd zapisu danych"));
      break;
    }
  }
  if (!CloseBoth(src, source, dst, dest)) return false;
  PauseIfSlow();
  return true;
}

bool CopyRecords(const std::string& source, const std::string& dest, uint16_t recSize,
                 const RecordFilter& filter) {
  RecordIoCounter = 1;
  if (recSize == 0) return false;
  RecordFiles f;
  bool result = false;
  if (!OpenRecordFiles(source, dest, f, result)) return result;
  LogIn(kLogProgress,
        "Kopiuje " + source + "  " + Decimal(f.srcSize / recSize) + " pozycji ...");
  // The record is written as far as it was read: a short last record stays
  // short.
  PumpRecords(f, recSize, true, [&filter](uint8_t* rec, uint32_t n) {
    return !filter || filter(rec, n) ? RecordOut{rec, n} : RecordOut{};
  });
  result = CloseBoth(f.src, source, f.dst, dest);
  PauseIfSlow();
  return result;
}

bool ConvertRecords(const std::string& source, const std::string& dest, uint16_t srcSize,
                    uint16_t dstSize, const RecordConverter& converter) {
  if (srcSize == 0 || dstSize == 0) return false;
  RecordFiles f;
  bool result = false;
  if (!OpenRecordFiles(source, dest, f, result)) return result;
  // The destination buffer is not cleared between records: a field the
  // converter leaves alone keeps the previous record's value.
  std::vector<uint8_t> dst(dstSize);
  LogIn(kLogProgress,
        "Kopiuje " + source + "  " + Decimal(f.srcSize / srcSize) + " pozycji ...");
  PauseIfSlow();
  PumpRecords(f, srcSize, false, [&](uint8_t* rec, uint32_t) {
    return converter && converter(rec, dst.data()) ? RecordOut{dst.data(), dstSize} : RecordOut{};
  });
  result = CloseBoth(f.src, source, f.dst, dest);
  PauseIfSlow();
  return result;
}

void CopyMatchingFiles(const std::string& sourceDir, const std::string& destDir,
                       const std::string& pattern) {
  FindEntry e;
  FindHandle fh;
  if (Fs().FindFirst(sourceDir + pattern, kAttrAll, e, fh) != kOk) return;
  do {
    // A link to a directory is listed as a file: never copied through.
    if (e.link) {
      LogIn(kLogError, Pl("Pominięto dowiązanie symboliczne ") + sourceDir + e.name);
      continue;
    }
    CopyBinaryFile(sourceDir + e.name, destDir + e.name);
  } while (Fs().FindNext(fh, e) == kOk);
}

}  // namespace qm
