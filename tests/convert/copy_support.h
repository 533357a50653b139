// Shared pieces of the copy, ledger, add-on and company table tests: a
// company laid out in a 2019 and a 2020 tree, the log read back, and records
// with a distinct value in every byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "convert/company_transfer.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/support/test_env.h"
#include "tui/log_window.h"

namespace qm::test {

// The log's rows as UTF-8, trailing blanks cut, one line each.
inline std::string LogText() {
  std::string all;
  for (int r = 1; r <= 25; ++r) {
    std::string row = LogShadowRow(r);
    row.erase(row.find_last_not_of(' ') + 1);
    all += Cp852ToUtf8(row) + "\n";
  }
  return all;
}

// The log row (1-based) that begins with the UTF-8 text, 0 when none.
inline int LogRowStarting(const std::string& utf8) {
  const std::string want = Pl(utf8);
  for (int r = 1; r <= 25; ++r) {
    if (LogShadowRow(r).compare(0, want.size(), want) == 0) return r;
  }
  return 0;
}

inline int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

// n bytes, none equal to its neighbour, different for every salt.
inline Bytes Distinct(size_t n, uint32_t salt) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 31 + (i >> 8) * 7 + salt * 101 + 1);
  return b;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A fixture with the 2019 tree at Dir()/2019/ and the 2020 tree at
// Dir()/2020/, and one company "FIRMA" in the 2019 tree.
class CompanyTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SourceRoot = Dir() + "2019/";
    TargetRoot = Dir() + "2020/";
    MakeDir("2019/FIRMA");
    MakeDir("2020");
  }
  static constexpr const char* kCompany = "FIRMA";
  // Paths relative to Dir() of a company file in either tree.
  static std::string Src(const std::string& name) { return std::string("2019/FIRMA/") + name; }
  static std::string Dst(const std::string& name) { return std::string("2020/FIRMA/") + name; }
  std::string S() const { return CompanySource(kCompany); }
  std::string T() const { return CompanyTarget(kCompany); }
};

}  // namespace qm::test
