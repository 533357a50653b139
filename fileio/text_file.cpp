#include "fileio/text_file.h"

#include "fileio/shared_file.h"

namespace qm {

TextFile::~TextFile() {
  if (IsOpen()) Close();
}

int TextFile::OpenRead(const std::string& path) {
  return OpenRead(path, static_cast<uint8_t>(AccessReadOnly | ShareDenyNone));
}

int TextFile::OpenRead(const std::string& path, uint8_t mode) {
  if (IsOpen()) Close();
  name_ = path;
  inPos_ = inLen_ = 0;
  eof_ = false;
  out_.clear();
  writeError_ = 0;
  FileHandle h = kNoHandle;
  const int rc = Fs().Open(path, mode, h);
  if (rc != kOk) return rc;
  handle_ = h;
  return kOk;
}

int TextFile::Create(const std::string& path) {
  if (IsOpen()) Close();
  name_ = path;
  inPos_ = inLen_ = 0;
  eof_ = true;
  out_.clear();
  writeError_ = 0;
  FileHandle h = kNoHandle;
  const int rc = Fs().Create(path, h);
  if (rc != kOk) return rc;
  handle_ = h;
  return kOk;
}

int TextFile::Rewrite() {
  if (!IsOpen()) return kErrInvalidHandle;
  out_.clear();
  inPos_ = inLen_ = 0;
  eof_ = true;
  int rc = Fs().Seek(handle_, 0);
  if (rc == kOk) rc = Fs().SetEnd(handle_);
  return rc;
}

int TextFile::Fill() {
  if (in_.size() != kBlock) in_.resize(kBlock);
  uint32_t got = 0;
  const int rc = Fs().Read(handle_, in_.data(), static_cast<uint32_t>(kBlock), got);
  inPos_ = 0;
  inLen_ = rc == kOk ? got : 0;
  if (rc != kOk || got == 0) eof_ = true;
  return rc;
}

bool TextFile::AtEnd() {
  if (!IsOpen()) return true;
  if (inPos_ < inLen_) return false;
  if (eof_) return true;
  Fill();
  return inPos_ >= inLen_;
}

bool TextFile::ReadLine(std::string& line, int& err) {
  line.clear();
  err = kOk;
  if (!IsOpen()) {
    err = kErrInvalidHandle;
    return false;
  }
  bool any = false;  // a character or a line end was consumed
  for (;;) {
    if (inPos_ >= inLen_) {
      if (eof_) break;
      const int rc = Fill();
      if (rc != kOk) {
        err = rc;
        line.clear();
        return false;
      }
      if (inLen_ == 0) break;
    }
    const char c = in_[inPos_++];
    any = true;
    if (c == '\n') break;
    if (c == '\r') {
      // CR LF ends the line; a CR at the very end of the file as well.
      if (inPos_ >= inLen_ && !eof_) {
        const int rc = Fill();
        if (rc != kOk) {
          err = rc;
          line.clear();
          return false;
        }
      }
      if (inPos_ >= inLen_) break;
      if (in_[inPos_] == '\n') {
        ++inPos_;
        break;
      }
    }
    // Characters beyond the 255th are read and dropped.
    if (line.size() < kMaxLine) line.push_back(c);
  }
  return any;
}

int TextFile::FlushBuffer() {
  if (!IsOpen()) return kErrInvalidHandle;
  if (out_.empty()) return kOk;
  size_t done = 0;
  int rc = kOk;
  while (done < out_.size()) {
    uint32_t put = 0;
    const auto n = static_cast<uint32_t>(out_.size() - done);
    rc = Fs().Write(handle_, out_.data() + done, n, put);
    if (rc == kOk && put == 0) rc = kErrDiskFull;
    if (rc != kOk) break;
    done += put;
  }
  out_.clear();
  if (rc != kOk && writeError_ == kOk) writeError_ = rc;
  return rc;
}

int TextFile::Write(const std::string& text) {
  if (!IsOpen()) return kErrInvalidHandle;
  if (writeError_ != kOk) return writeError_;
  out_ += text;
  if (out_.size() >= kBlock) return FlushBuffer();
  return kOk;
}

int TextFile::WriteLine(const std::string& text) {
  if (!IsOpen()) return kErrInvalidHandle;
  if (writeError_ != kOk) return writeError_;
  out_ += text;
  out_ += "\r\n";
  if (out_.size() >= kBlock) return FlushBuffer();
  return kOk;
}

int TextFile::Close() {
  if (!IsOpen()) return kErrInvalidHandle;
  int rc = kOk;
  if (!out_.empty()) rc = FlushBuffer();
  if (rc == kOk) rc = writeError_;
  const int crc = Fs().Close(handle_);
  if (rc == kOk) rc = crc;
  handle_ = kNoHandle;
  inPos_ = inLen_ = 0;
  eof_ = false;
  out_.clear();
  writeError_ = kOk;
  return rc;
}

}  // namespace qm
