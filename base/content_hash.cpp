#include "base/content_hash.h"

#include <cstring>

namespace qm {
namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

uint64_t Rotl(uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }

uint64_t Load64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

uint64_t Mix(uint64_t lane, uint64_t word) { return Rotl(lane + word * kPrime2, 31) * kPrime1; }

uint64_t Avalanche(uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime1;
  h ^= h >> 32;
  return h;
}

}  // namespace

void ContentHash::Block(const uint8_t* p) {
  for (int i = 0; i < 4; ++i) lanes_[i] = Mix(lanes_[i], Load64(p + 8 * i));
}

void ContentHash::Add(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  length_ += n;
  if (used_ > 0) {
    const size_t take = n < 32 - used_ ? n : 32 - used_;
    std::memcpy(tail_ + used_, p, take);
    used_ += take;
    p += take;
    n -= take;
    if (used_ < 32) return;
    Block(tail_);
    used_ = 0;
  }
  for (; n >= 32; p += 32, n -= 32) Block(p);
  if (n > 0) {
    std::memcpy(tail_, p, n);
    used_ = n;
  }
}

uint64_t ContentHash::Value() const {
  uint64_t h = Rotl(lanes_[0], 1) + Rotl(lanes_[1], 7) + Rotl(lanes_[2], 12) + Rotl(lanes_[3], 18);
  h ^= length_ * kPrime1;
  for (size_t i = 0; i < used_; ++i) h = Rotl(h ^ (tail_[i] * kPrime2), 11) * kPrime1;
  return Avalanche(h);
}

uint64_t HashOf(const void* data, size_t n) {
  ContentHash h;
  h.Add(data, n);
  return h.Value();
}

std::string HashText(uint64_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) s[static_cast<size_t>(i)] = kDigits[value & 15];
  return s;
}

bool ParseHashText(const std::string& text, uint64_t& value) {
  if (text.size() != 16) return false;
  uint64_t v = 0;
  for (const char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = (v << 4) | static_cast<uint64_t>(d);
  }
  value = v;
  return true;
}

}  // namespace qm
