// Owners and modes of a transfer's 2020 files, run as root as offices run
// it on shared installations: every file and directory the run made has
// the permission bits, owner and group of its 2019 counterpart (#BIN020:
// of the global subdirectory read), or of the directory it was made in
// when it has none; what was there before keeps its own. Without root the
// owners cannot be given, and the test is skipped.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

struct Owned {
  mode_t mode = 0;  // permission bits and set-id bits
  uid_t uid = 0;
  gid_t gid = 0;
  bool dir = false;
  bool operator==(const Owned&) const = default;
};

Owned StatusOf(const stdfs::path& p) {
  struct stat st {};
  lstat(p.c_str(), &st);
  return {st.st_mode & 07777, st.st_uid, st.st_gid, S_ISDIR(st.st_mode)};
}

// Every entry below root by its relative path.
std::map<std::string, Owned> Entries(const std::string& root) {
  std::map<std::string, Owned> out;
  for (const auto& e : stdfs::recursive_directory_iterator(root))
    out[stdfs::relative(e.path(), root).string()] = StatusOf(e.path());
  return out;
}

// The 2019 counterpart of rel, names matched without regard to case.
std::string CounterpartOf(const std::string& root2019, const std::string& rel) {
  std::string path = root2019;
  for (const auto& part : stdfs::path(rel)) {
    const std::string name = part.string() == "#BIN020" ? "#BIN990" : part.string();
    path = FindNoCase(path, name);
    if (path.empty()) return {};
  }
  return path;
}

class CarriedModes : public E2eTest {};

TEST_F(CarriedModes, WhatTheRunMakesTakesTheOwnersAndModesOf2019) {
  if (geteuid() != 0) GTEST_SKIP() << "owners can be given as root only";
  sample::Options o;
  o.companies = 3;
  o.presentIn2020 = 1;  // a 2020 list the run changes, and a company already there
  Generate(o);
  // 2019 as a shared installation would have it, each entry differing from
  // its neighbours; 2020 as another group's.
  const mode_t fileModes[] = {0660, 0640, 0604, 0664};
  const mode_t dirModes[] = {02770, 0750, 02775};
  size_t i = 0;
  for (const auto& e : stdfs::recursive_directory_iterator(inst.root2019)) {
    const bool dir = e.is_directory();
    ++i;
    ASSERT_EQ(chown(e.path().c_str(), 4200 + i % 3, 4300 + i % 2), 0);
    ASSERT_EQ(chmod(e.path().c_str(), dir ? dirModes[i % 3] : fileModes[i % 4]), 0);
  }
  ASSERT_EQ(chown(inst.root2020.c_str(), 4500, 4501), 0);
  ASSERT_EQ(chmod(inst.root2020.c_str(), 02775), 0);
  const std::map<std::string, Owned> before = Entries(inst.root2020);

  const RunResult r = Run(sample::FullRunKeys(inst));
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);

  int fromCounterpart = 0, fromDirectory = 0;
  for (const auto& [rel, got] : Entries(inst.root2020)) {
    if (auto was = before.find(rel); was != before.end()) {
      EXPECT_EQ(got, was->second) << rel << ": changed, not made, by the run";
      continue;
    }
    const std::string counterpart = CounterpartOf(inst.root2019, rel);
    const Owned model = StatusOf(counterpart.empty() ? (stdfs::path(inst.root2020) / rel).parent_path()
                                                     : stdfs::path(counterpart));
    (counterpart.empty() ? fromDirectory : fromCounterpart) += 1;
    Owned want = model;
    want.dir = got.dir;
    if (got.dir) want.mode = model.mode | 0700;
    else want.mode = (model.mode & (model.dir ? 0666 : 0777)) | 0600;
    EXPECT_EQ(got, want) << rel << std::oct << ": mode " << got.mode << ", wanted " << want.mode << std::dec
                         << " (" << (counterpart.empty() ? "its directory" : counterpart) << ")";
  }
  EXPECT_GT(fromCounterpart, 20);
  EXPECT_GT(fromDirectory, 5);  // 2020 files of their own, the program's _QM1920
}

}  // namespace
}  // namespace qm::test::e2e
