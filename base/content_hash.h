// A 64-bit fingerprint of a file's contents, for the run's bookkeeping: it
// tells whether a file is still as the run left it, and whether a list is
// the one a record was about to be inserted into. The same bytes give the
// same value however they are fed in pieces. Not a cryptographic hash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

class ContentHash {
 public:
  void Add(const void* data, size_t n);
  // Of everything added so far (adding may go on).
  uint64_t Value() const;
  uint64_t Length() const { return length_; }

 private:
  void Block(const uint8_t* p);
  uint64_t lanes_[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                        0x85EBCA77C2B2AE63ull};
  uint8_t tail_[32] = {};
  size_t used_ = 0;
  uint64_t length_ = 0;
};

uint64_t HashOf(const void* data, size_t n);
// 16 upper-case hexadecimal digits, and back (false when it is not one).
std::string HashText(uint64_t value);
bool ParseHashText(const std::string& text, uint64_t& value);

}  // namespace qm
