// A synthetic installation of the accounting package: a 2019 installation
// directory with its company list, global directory and company directories
// holding every kind of file the transfer knows, and an empty 2020
// installation directory beside it. Deterministic for a given seed, so the
// end-to-end tests can rebuild what they expect from the same description.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qm::sample {

using Bytes = std::vector<uint8_t>;

struct Options {
  // Companies of the 2019 list that have a 2019 directory.
  int companies = 8;
  uint64_t seed = 2019;
  // Total size target in MiB (0: each company at its natural size). Ledger
  // journals and the larger record files grow to meet it.
  int scaleMb = 0;
  // When above 0: a bare list of this many usable companies, each directory
  // holding only its stamp file and annual settings (list timings).
  int listOnly = 0;
  // The 2019 list in the order the package keeps its lists in (otherwise in
  // the order of making, which puts most companies far from their place).
  bool sortedList = false;
  // A listed company whose 2019 directory is missing.
  bool missingDirCompany = true;
  // The fourth company keeps its files under lower-case names.
  bool lowerCaseCompany = true;
  // This many of the listed companies (the last ones with a directory) are
  // already present in the 2020 installation, with a 2020 company list that
  // also names one company of its own.
  int presentIn2020 = 0;
  // One company leaves December 2019 unapproved (a warning and a key wait).
  bool openDecember = false;
  // #BIN990 also holds 2020_lp2.cc (a second copy onto the same 2020 file,
  // hence an overwrite question in the global transfer).
  bool global2020Payroll = false;
};

struct Company {
  std::string name, dir, info;  // CP852, as in the list record
  Bytes record;                 // the 103-byte record of the 2019 list
  bool has2019Dir = true;
  bool lowerCaseNames = false;
  bool has2020Data = false;    // 2020_ROK.REK and other 2020 files in the 2019 directory
  bool presentIn2020 = false;  // the 2020 installation already has its directory
  bool openDecember = false;
  int staff = 0;        // records in DANE_PR8.REK (including a deleted one, when any)
  int corrections = 0;  // live 2019 entries dated 2020 that a run moves into 2020
};

struct Installation {
  std::string base;     // the directory given, with a trailing separator
  std::string root2019; // base + "ZEV_2019" + separator
  std::string root2020; // base + "ZEV_2020" + separator
  std::vector<Company> companies;  // in the order of the 2019 list
  bool global2020Payroll = false;
  uint64_t bytes = 0;
  uint64_t files = 0;
};

// Writes the installation below base (created when missing). False with a
// message in error when a file cannot be written.
bool Generate(const std::string& base, const Options& options, Installation& out,
              std::string& error);

// The program's path file: programBase + ".PTH" (programBase taken as is when
// it already ends with ".PTH"), pointing at the installation.
bool WritePathFile(const std::string& programBase, const Installation& inst, std::string& error);

// The name a company keeps a file under (lower case for the lower-case company).
std::string FileName(const Company& c, const std::string& name);

// Keys of a complete run with the default options over inst: the four pages,
// the selection list, the questions each company raises, the final key.
std::string FullRunKeys(const Installation& inst);

// The 103-byte list record: name 31, directory 8, info 25, 36 further bytes.
Bytes CompanyRecord(const std::string& name, const std::string& dir, const std::string& info,
                    const Bytes& rest);

// The package's generator (state * 0x08088405 + 1, high word of state * n),
// its scrambling of 512-byte operator records (all bytes) and of staff
// records (bytes 15 to 2022 counted from 1), both from the seed 0x3E.
class PackageRandom {
 public:
  explicit PackageRandom(uint32_t state) : state_(state) {}
  uint32_t Below(uint32_t n) {
    state_ = state_ * 0x08088405u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(state_) * n) >> 32);
  }

 private:
  uint32_t state_;
};
void ScrambleOperator(uint8_t* rec512);
void ScrambleStaff(uint8_t* rec2048);

}  // namespace qm::sample
