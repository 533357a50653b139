#include "journal/run_journal.h"

#include <algorithm>
#include <array>

#include "base/content_hash.h"

namespace qm {
namespace {

struct KindName {
  RecordKind kind;
  const char* word;
};
constexpr KindName kKindNames[] = {
    {RecordKind::Run, "RUN"},         {RecordKind::Unit, "UNIT"},       {RecordKind::MakeDir, "MKDIR"},
    {RecordKind::NewFile, "NEW"},     {RecordKind::Saved, "SAVED"},     {RecordKind::Renamed, "RENAMED"},
    {RecordKind::Insert, "INSERT"},   {RecordKind::Final, "FINAL"},     {RecordKind::Done, "DONE"},
    {RecordKind::Undone, "UNDONE"},   {RecordKind::UndoBegun, "UNDO"},  {RecordKind::End, "END"},
    {RecordKind::ListWrite, "LISTWRITE"}, {RecordKind::ListWritten, "LISTWRITTEN"},
};

const char* KindWord(RecordKind k) {
  for (const KindName& n : kKindNames)
    if (n.kind == k) return n.word;
  return "?";
}

bool ParseKind(const std::string& word, RecordKind& k) {
  for (const KindName& n : kKindNames) {
    if (word == n.word) {
      k = n.kind;
      return true;
    }
  }
  return false;
}

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto u = static_cast<uint8_t>(c);
    if (u < 0x20 || u == 0x7F || c == '%') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool Unescape(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

constexpr std::string_view kSyncedMark = "%=";

// The body of a line (without its check value and line end).
std::string Body(const JournalRecord& r) {
  std::string line = KindWord(r.kind);
  for (const std::string& f : r.fields) {
    line += '\t';
    line += Escape(f);
  }
  if (r.synced >= 0) {
    line += '\t';
    line += kSyncedMark;
    line += std::to_string(r.synced);
  }
  return line;
}

// The synced length a last piece "%=n" gives; false when it is no such
// piece (a written field never begins with "%=").
bool SyncedPiece(std::string_view piece, int64_t& synced) {
  if (piece.size() <= kSyncedMark.size() || piece.size() > kSyncedMark.size() + 18 ||
      piece.compare(0, kSyncedMark.size(), kSyncedMark) != 0)
    return false;
  synced = 0;
  for (const char c : piece.substr(kSyncedMark.size())) {
    if (c < '0' || c > '9') return false;
    synced = synced * 10 + (c - '0');
  }
  return true;
}

bool ParseLine(std::string_view line, JournalRecord& r) {
  const size_t mark = line.rfind("\t#");
  if (mark == std::string_view::npos || line.size() - mark != 18) return false;
  const std::string_view body = line.substr(0, mark);
  uint64_t check = 0;
  if (!ParseHashText(std::string(line.substr(mark + 2)), check)) return false;
  if (HashOf(body.data(), body.size()) != check) return false;
  r.fields.clear();
  r.synced = -1;
  size_t start = 0;
  bool first = true;
  for (;;) {
    const size_t tab = body.find('\t', start);
    const std::string_view piece = body.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (first) {
      if (!ParseKind(std::string(piece), r.kind)) return false;
      first = false;
    } else if (tab == std::string_view::npos && SyncedPiece(piece, r.synced)) {
      break;
    } else {
      std::string field;
      if (!Unescape(piece, field)) return false;
      r.fields.push_back(std::move(field));
    }
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return true;
}

struct Line {
  size_t start, end;  // end: after its line end
  bool whole;
  JournalRecord record;
};

}  // namespace

const char* TreeWord(Tree t) { return t == Tree::Source ? "2019" : "2020"; }

bool ParseTree(const std::string& word, Tree& t) {
  if (word == "2019") t = Tree::Source;
  else if (word == "2020") t = Tree::Target;
  else return false;
  return true;
}

const std::string& JournalRecord::Field(size_t i) const {
  static const std::string kNone;
  return i < fields.size() ? fields[i] : kNone;
}

int64_t JournalRecord::Number(size_t i) const {
  const std::string& f = Field(i);
  if (f.empty() || f.size() > 18) return 0;
  int64_t v = 0;
  for (const char c : f) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string EncodeRecord(const JournalRecord& r) {
  const std::string body = Body(r);
  return body + "\t#" + HashText(HashOf(body.data(), body.size())) + "\r\n";
}

JournalState ParseJournal(std::string_view text, std::vector<JournalRecord>& out, size_t* wholeEnd) {
  out.clear();
  std::vector<Line> lines;
  // How far the journal was on disk: the longest length a record names. A
  // record of the earlier version vouches for itself.
  size_t synced = 0;
  for (size_t pos = 0; pos < text.size();) {
    const size_t nl = text.find('\n', pos);
    Line l{pos, nl == std::string_view::npos ? text.size() : nl + 1, false, {}};
    std::string_view body = text.substr(pos, l.end - pos);
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    // A whole record without its line end is still whole.
    l.whole = ParseLine(body, l.record);
    if (l.whole) synced = std::max(synced, l.record.synced >= 0 ? static_cast<size_t>(l.record.synced) : l.end);
    lines.push_back(std::move(l));
    pos = lines.back().end;
  }
  size_t end = 0;
  bool damaged = false;
  for (Line& l : lines) {
    if (!l.whole && l.start >= synced) break;  // the unsynced tail
    if (!l.whole) {
      damaged = true;
      continue;
    }
    out.push_back(std::move(l.record));
    end = l.end;
  }
  if (wholeEnd) *wholeEnd = end;
  return damaged ? JournalState::Damaged : JournalState::Readable;
}

namespace {

// At most kMaxJournalBytes of an open journal (a bigger one, or one that
// never ends, is damaged).
int ReadWhole(FileSystem& fs, FileHandle h, std::string& text) {
  text.clear();
  std::array<char, 64 * 1024> buf;
  for (;;) {
    uint32_t got = 0;
    const int rc = fs.Read(h, buf.data(), static_cast<uint32_t>(buf.size()), got);
    if (rc != kOk) return rc;
    if (got == 0) return kOk;
    if (text.size() + got > static_cast<size_t>(kMaxJournalBytes)) return kErrBadFormat;
    text.append(buf.data(), got);
  }
}

}  // namespace

JournalState ReadJournal(FileSystem& fs, const std::string& path, std::vector<JournalRecord>& out) {
  out.clear();
  FileHandle h = kNoHandle;
  const int rc = fs.Open(path, kAccessRead | kShareDenyNone, h);
  if (rc == kErrFileNotFound || rc == kErrPathNotFound) return JournalState::Missing;
  if (rc != kOk) return JournalState::Damaged;
  std::string text;
  const int rrc = ReadWhole(fs, h, text);
  fs.Close(h);
  if (rrc != kOk) return JournalState::Damaged;
  return ParseJournal(text, out);
}

JournalWriter::~JournalWriter() { Close(); }

int JournalWriter::Create(const std::string& path) {
  Close();
  const int rc = fs_.Create(path, h_);
  if (rc != kOk) h_ = kNoHandle;
  end_ = synced_ = 0;
  broken_ = false;
  return rc;
}

int JournalWriter::OpenToAppend(const std::string& path) {
  Close();
  broken_ = false;
  int rc = fs_.Open(path, kAccessReadWrite | kShareDenyWrite, h_);
  if (rc != kOk) {
    h_ = kNoHandle;
    return rc;
  }
  std::string text;
  rc = ReadWhole(fs_, h_, text);
  std::vector<JournalRecord> records;
  size_t whole = 0;
  if (rc == kOk) ParseJournal(text, records, &whole);
  end_ = static_cast<int64_t>(whole);
  if (rc == kOk && whole < text.size()) rc = fs_.Seek(h_, end_) == kOk ? fs_.SetEnd(h_) : kErrWriteFault;
  // The last record may have lost its line end with the torn rest.
  if (rc == kOk && whole > 0 && text[whole - 1] != '\n') {
    const bool hasCr = text[whole - 1] == '\r';
    uint32_t put = 0;
    rc = fs_.WriteAt(h_, end_, hasCr ? "\n" : "\r\n", hasCr ? 1 : 2, put);
    end_ += put;
  }
  // What was read is made durable (after a kill it may still be in the
  // cache only), so that the records appended can say so.
  if (rc == kOk) rc = fs_.Flush(h_);
  if (rc != kOk) Close();
  synced_ = end_;
  return rc;
}

int JournalWriter::Append(const JournalRecord& r, bool later) {
  if (h_ == kNoHandle) return kErrInvalidHandle;
  JournalRecord stamped = r;
  stamped.synced = synced_;
  pending_ += EncodeRecord(stamped);
  return later ? kOk : Write();
}

int JournalWriter::Write() {
  if (h_ == kNoHandle) return kErrInvalidHandle;
  if (broken_) return kErrWriteFault;
  if (pending_.empty()) return kOk;
  uint32_t put = 0;
  int rc = fs_.WriteAt(h_, end_, pending_.data(), static_cast<uint32_t>(pending_.size()), put);
  if (rc == kOk && put == pending_.size()) {
    end_ += put;
    pending_.clear();
    return kOk;
  }
  if (rc == kOk) rc = kErrDiskFull;
  // The part written goes again: the next record then follows the last
  // whole one. The records stay for the next write.
  if (put > 0 && (fs_.Seek(h_, end_) != kOk || fs_.SetEnd(h_) != kOk)) broken_ = true;
  return rc;
}

int JournalWriter::Sync() {
  int rc = Write();
  if (rc == kOk) rc = fs_.Flush(h_);
  if (rc == kOk) synced_ = end_;
  return rc;
}

void JournalWriter::Close() {
  if (h_ != kNoHandle) {
    Write();
    fs_.Close(h_);
  }
  h_ = kNoHandle;
  pending_.clear();
}

std::string HexBytes(const uint8_t* data, size_t n) {
  std::string s;
  s.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    s += kHex[data[i] >> 4];
    s += kHex[data[i] & 15];
  }
  return s;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out) {
  out.clear();
  if (text.size() % 2) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

}  // namespace qm
