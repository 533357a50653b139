// Fields of the package's fixed-size records: little-endian numbers and
// length-prefixed texts (a text of n characters occupies n + 1 bytes, the
// length byte first). Every access stays inside the record: callers pass the
// record's size, and a length byte above a field's capacity is cut to it.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace qm {

// The person key: a signed 64-bit number at the start of the staff, family,
// tax-form, contract and wage records; a negative key marks a record not in
// use.
inline constexpr size_t kPersonKey = 0;

// A short string assigned to a field of capacity cap keeps cap characters.
inline std::string Cut(const std::string& s, size_t cap) {
  return s.size() > cap ? s.substr(0, cap) : s;
}

inline uint8_t GetU8(const uint8_t* rec, size_t off) { return rec[off]; }
inline void PutU8(uint8_t* rec, size_t off, uint8_t v) { rec[off] = v; }

inline uint16_t GetU16(const uint8_t* rec, size_t off) {
  return static_cast<uint16_t>(rec[off] | (rec[off + 1] << 8));
}
inline void PutU16(uint8_t* rec, size_t off, uint16_t v) {
  rec[off] = static_cast<uint8_t>(v);
  rec[off + 1] = static_cast<uint8_t>(v >> 8);
}

inline uint32_t GetU32(const uint8_t* rec, size_t off) {
  return static_cast<uint32_t>(rec[off]) | (static_cast<uint32_t>(rec[off + 1]) << 8) |
         (static_cast<uint32_t>(rec[off + 2]) << 16) | (static_cast<uint32_t>(rec[off + 3]) << 24);
}
inline void PutU32(uint8_t* rec, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) rec[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline int32_t GetI32(const uint8_t* rec, size_t off) { return static_cast<int32_t>(GetU32(rec, off)); }

inline int64_t GetI64(const uint8_t* rec, size_t off) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | rec[off + i];
  return static_cast<int64_t>(v);
}
inline void PutI64(uint8_t* rec, size_t off, int64_t value) {
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) rec[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

// 8-byte IEEE 754 doubles are moved as bytes: the converters never compute
// with them, and byte copies keep every bit pattern (NaNs included).
inline void CopyBytes(uint8_t* dst, size_t dstOff, const uint8_t* src, size_t srcOff, size_t n) {
  std::memmove(dst + dstOff, src + srcOff, n);
}

// Text of capacity cap at off (cap + 1 bytes).
inline std::string GetText(const uint8_t* rec, size_t off, size_t cap) {
  size_t len = rec[off];
  if (len > cap) len = cap;
  return std::string(reinterpret_cast<const char*>(rec + off + 1), len);
}

// Stores a text at its field: the length byte and the characters, cut to the
// capacity. The bytes after the used length are left as they are.
inline void PutText(uint8_t* rec, size_t off, size_t cap, const std::string& s) {
  const size_t len = s.size() > cap ? cap : s.size();
  rec[off] = static_cast<uint8_t>(len);
  if (len) std::memcpy(rec + off + 1, s.data(), len);
}

// Copies a text field from one record to another, as a field assignment does.
inline void CopyText(uint8_t* dst, size_t dstOff, size_t dstCap, const uint8_t* src, size_t srcOff,
                     size_t srcCap) {
  PutText(dst, dstOff, dstCap, GetText(src, srcOff, srcCap));
}

// Re-stores a text field in place at its maximum length.
inline void RestoreText(uint8_t* rec, size_t off, size_t cap) { PutText(rec, off, cap, GetText(rec, off, cap)); }

}  // namespace qm
