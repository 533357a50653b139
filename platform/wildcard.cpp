#include "platform/wildcard.h"

#include <algorithm>
#include <cstdint>

#include "base/polish.h"

namespace qm {
namespace {
enum PatternCode : int { kStar = 256, kDosStar, kDosQm, kDosDot };
}  // namespace

std::vector<int> CompileWildcard(const std::string& pattern) {
  const std::string up = PlUpperCase(pattern);
  std::vector<int> out;
  for (size_t i = 0; i < up.size(); ++i) {
    const char c = up[i];
    const char next = i + 1 < up.size() ? up[i + 1] : '\0';
    if (c == '?')
      out.push_back(kDosQm);
    else if (c == '.' && (next == '?' || next == '*' || next == '\0'))
      out.push_back(kDosDot);
    else if (c == '*')
      out.push_back(next == '.' ? kDosStar : kStar);
    else
      out.push_back(static_cast<uint8_t>(c));
  }
  return out;
}

bool WildcardMatches(const std::vector<int>& p, const std::string& n) {
  const size_t lastDot = n.rfind('.');
  std::vector<char> cur(p.size() + 1, 0), next(p.size() + 1, 0);
  cur[0] = 1;
  for (size_t ni = 0;; ++ni) {
    const bool atEnd = ni == n.size();
    // Positions reached without taking a character.
    for (size_t i = 0; i < p.size(); ++i) {
      if (!cur[i]) continue;
      const int c = p[i];
      if (c == kStar || c == kDosStar) {
        cur[i + 1] = 1;
      } else if (c == kDosQm && (atEnd || n[ni] == '.')) {
        size_t j = i;
        while (j < p.size() && p[j] == kDosQm) ++j;
        cur[j] = 1;
      } else if (c == kDosDot && atEnd) {
        cur[i + 1] = 1;
      }
    }
    if (atEnd) return cur[p.size()] != 0;
    const uint8_t ch = static_cast<uint8_t>(n[ni]);
    std::fill(next.begin(), next.end(), 0);
    bool any = false;
    for (size_t i = 0; i < p.size(); ++i) {
      if (!cur[i]) continue;
      const int c = p[i];
      bool stay = false, advance = false;
      if (c == kStar) stay = true;
      else if (c == kDosStar) stay = ni != lastDot;  // never past the name's last dot
      else if (c == kDosQm) advance = ch != '.';
      else if (c == kDosDot) advance = ch == '.';
      else advance = c == ch;
      if (stay) next[i] = 1;
      if (advance) next[i + 1] = 1;
      any = any || stay || advance;
    }
    if (!any) return false;
    cur.swap(next);
  }
}

}  // namespace qm
