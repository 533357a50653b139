// The copy engine: every file carried from the 2019 tree into the 2020 tree
// goes through one of these operations, under one overwrite policy, and each
// reports its steps and failures in the progress log.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace qm {

// The standing answer to the overwrite question, for the rest of the run.
enum OverwritePolicy : int32_t {
  kOverwriteAsk = 0,
  kOverwriteKeepAll = 1,      // "N"
  kOverwriteReplaceAll = -1,  // "A"
};
extern OverwritePolicy OverwriteMode;
// Record operations append to an existing destination instead of asking.
extern bool AppendToExisting;
// Set to 1 by CopyRecords, advanced after every block read and write.
extern int32_t RecordIoCounter;

// A symbolic link in the place of a file or directory of the 2019 tree is
// named in red and skipped; true when path is one.
bool SkipIfLink(const std::string& path);

// The overwrite question: true when the existing file is to be left alone.
bool KeepExistingFile(const std::string& name);

void CopyTextFile(const std::string& source, const std::string& dest);
bool CopyBinaryFile(const std::string& source, const std::string& dest);

// Filter of CopyRecords: the record as read (length bytes of a buffer of the
// record size; the last record may be short); may change it in place; true
// writes it.
using RecordFilter = std::function<bool(uint8_t* rec, uint32_t length)>;
bool CopyRecords(const std::string& source, const std::string& dest, uint16_t recSize,
                 const RecordFilter& filter = nullptr);

// Converter of ConvertRecords: fills dst (dstSize bytes) from src (srcSize
// bytes); true writes dst.
using RecordConverter = std::function<bool(const uint8_t* src, uint8_t* dst)>;
bool ConvertRecords(const std::string& source, const std::string& dest, uint16_t srcSize,
                    uint16_t dstSize, const RecordConverter& converter);

// Binary copy of every entry matching pattern; directories end with the
// path separator.
void CopyMatchingFiles(const std::string& sourceDir, const std::string& destDir,
                       const std::string& pattern);

// Back to the start-of-run state (tests).
void ResetCopyEngine();

}  // namespace qm
