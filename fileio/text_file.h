// A buffered text file over the host file layer. Lines are written with
// CR LF, as the package's DOS-born files have them; reading accepts CR LF
// and LF. A line is a short string: at most 255 characters are kept and the
// rest of a longer line is dropped.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_fs.h"

namespace qm {

inline constexpr size_t kMaxLine = 255;

class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  // Closes a file still open; pending output is written, errors are lost.
  ~TextFile();

  // Opens an existing file for reading, read access with read and write
  // sharing (no sharing once the file layer's sharing is disabled).
  int OpenRead(const std::string& path);
  // Opens an existing file with an explicit open mode (access | share);
  // with write access the file can later be rewritten in place (Rewrite).
  int OpenRead(const std::string& path, uint8_t mode);
  // Creates the file, or empties an existing one, for writing.
  int Create(const std::string& path);
  // Empties the open file through its own handle and starts writing at its
  // beginning; a lock taken on the handle stays in force.
  int Rewrite();

  // Reads the next line without its line end. False at the end of the file
  // (err = 0) or on a read error (err = the host code; the file then counts
  // as ended, so a reading loop cannot spin on a failing device).
  bool ReadLine(std::string& line, int& err);
  // True when no character is left to read (or the file is not open).
  bool AtEnd();

  int Write(const std::string& text);
  int WriteLine(const std::string& text);  // text + CR LF
  // Writes out what is buffered.
  int FlushBuffer();
  // Writes out pending output and closes; the first error met, 0 when none.
  int Close();

  bool IsOpen() const { return handle_ != kNoHandle; }
  FileHandle Handle() const { return handle_; }
  const std::string& Name() const { return name_; }

 private:
  static constexpr size_t kBlock = 16384;
  int Fill();  // refills the read buffer; 0 or a host code

  FileHandle handle_ = kNoHandle;
  std::string name_;
  std::vector<char> in_;
  size_t inPos_ = 0;
  size_t inLen_ = 0;
  bool eof_ = false;
  std::string out_;
  int writeError_ = 0;
};

}  // namespace qm
