// Directory searches: Win32 wildcards, attribute masks, the listing order,
// sizes beyond 2 GiB, and the cost of looking for a name that is not there.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/cp852.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#ifndef _WIN32
#include "platform/fs_posix.h"
#endif
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class FsSearch : public QmTest {
 protected:
  // Every name a search finds, in the order found; or the error code.
  std::vector<std::string> Find(const std::string& pattern, uint8_t mask, int* rcOut = nullptr) {
    std::vector<std::string> names;
    FindEntry e;
    FindHandle fh;
    int rc = fs->FindFirst(pattern, mask, e, fh);
    if (rcOut) *rcOut = rc;
    while (rc == kOk) {
      names.push_back(Cp852ToUtf8(e.name));
      rc = fs->FindNext(fh, e);
    }
    if (rcOut && *rcOut == kOk) {
      EXPECT_EQ(rc, kErrNoMoreFiles);
    }
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(FsSearch, WildcardsMatchAsWin32Does) {
  const Names files = {"a.txt", "ab.txt", "abc", "abc.txt", "abcd", "x.y.z", "readme",
                       "2019_rok.rek", "Żółw.txt", ".profile", std::string(200, 'a') + ".txt"};
  for (const auto& f : files) WriteText(f, "1");
  struct Case {
    const char* pattern;
    Names found;  // sorted by upper-cased name
  };
  const Case cases[] = {
      {"*", {".profile", "2019_rok.rek", "a.txt", std::string(200, 'a') + ".txt", "ab.txt", "abc",
             "abc.txt", "abcd", "readme", "x.y.z", "Żółw.txt"}},
      {"*.*", {".profile", "2019_rok.rek", "a.txt", std::string(200, 'a') + ".txt", "ab.txt", "abc",
               "abc.txt", "abcd", "readme", "x.y.z", "Żółw.txt"}},
      {"*.", {"abc", "abcd", "readme"}},
      {"*.TXT", {"a.txt", std::string(200, 'a') + ".txt", "ab.txt", "abc.txt", "Żółw.txt"}},
      {"a?.txt", {"a.txt", "ab.txt"}},
      {"a??", {"abc"}},
      {"????", {"abc", "abcd"}},
      {"?", {}},
      {"abc.*", {"abc", "abc.txt"}},
      {"ABC", {"abc"}},
      {"x.*", {"x.y.z"}},
      {"x.*.z", {"x.y.z"}},
      {"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", {}},
      {"*.z", {"x.y.z"}},
      {"*.y", {}},
      {"*y*", {"x.y.z"}},
      {"*E*", {".profile", "2019_rok.rek", "readme"}},
      {"ż*", {"Żółw.txt"}},
      {"ŻÓŁW.TXT", {"Żółw.txt"}},
      {"*.REK", {"2019_rok.rek"}},
      {"2019_ROK.REK", {"2019_rok.rek"}},
      {".*", {".profile"}},
      {"*.profile", {".profile"}},
  };
  for (const Case& c : cases) {
    int rc = 0;
    const Names got = Find(Path(Pl(c.pattern)), kAttrAnyFile, &rc);
    EXPECT_EQ(got, c.found) << c.pattern;
    EXPECT_EQ(rc, c.found.empty() ? kErrFileNotFound : kOk) << c.pattern;
  }
}

TEST_F(FsSearch, AttributeMaskChoosesDirectories) {
  MakeDir("Sub");
  WriteText("plik.dat", "12345");
  WriteText("ro.dat", "1");
  chmod(Path("ro.dat").c_str(), 0444);

  EXPECT_EQ(Find(Path("*.*"), kAttrAnyFile), (Names{"plik.dat", "ro.dat"}));
  // Directories, with "." and ".." first, only when the mask asks for them.
  EXPECT_EQ(Find(Path("*.*"), kAttrAll), (Names{".", "..", "plik.dat", "ro.dat", "Sub"}));
  EXPECT_EQ(Find(Path("*"), kAttrDirectory), (Names{".", "..", "plik.dat", "ro.dat", "Sub"}));
  EXPECT_EQ(Find(Path("S*"), kAttrDirectory), (Names{"Sub"}));

  FindEntry e;
  FindHandle fh;
  ASSERT_EQ(fs->FindFirst(Path("PLIK.DAT"), kAttrAnyFile, e, fh), kOk);
  EXPECT_EQ(e.name, "plik.dat");
  EXPECT_EQ(e.attr, kAttrArchive);
  EXPECT_EQ(e.size, 5);
  ASSERT_EQ(fs->FindFirst(Path("ro.dat"), kAttrAnyFile, e, fh), kOk);
  EXPECT_EQ(e.attr, kAttrArchive | kAttrReadOnly);
  ASSERT_EQ(fs->FindFirst(Path("sub"), kAttrAll, e, fh), kOk);
  EXPECT_EQ(e.name, "Sub");
  EXPECT_EQ(e.attr, kAttrDirectory);
  EXPECT_EQ(fs->FindFirst(Path("sub"), kAttrAnyFile, e, fh), kErrFileNotFound);
  EXPECT_EQ(fh, nullptr);

  // The log's helpers stand on these searches.
  EXPECT_TRUE(DirectoryExists(Path("SUB")));
  EXPECT_TRUE(DirectoryExists(Dir().substr(0, Dir().size() - 1)));
  EXPECT_FALSE(DirectoryExists(Path("plik.dat")));
  EXPECT_FALSE(DirectoryExists(Path("brak")));
  EXPECT_EQ(FileSizeOf(Path("Plik.Dat")), 5);
  EXPECT_EQ(FileSizeOf(Path("Sub")), 0);
}

TEST_F(FsSearch, FailuresNameWhatIsMissing) {
  WriteText("plik.dat", "1");
  int rc = 0;
  Find(Path("*.xyz"), kAttrAll, &rc);
  EXPECT_EQ(rc, kErrFileNotFound);
  Find(Path("brak/*.*"), kAttrAll, &rc);
  EXPECT_EQ(rc, kErrPathNotFound);
  Find(Path("plik.dat/*.*"), kAttrAll, &rc);
  EXPECT_EQ(rc, kErrPathNotFound);
  Find(Path("brak/plik.dat"), kAttrAll, &rc);
  EXPECT_EQ(rc, kErrPathNotFound);
  // A directory with a trailing separator is not a name to search for.
  Find(Dir(), kAttrAll, &rc);
  EXPECT_EQ(rc, kErrFileNotFound);
  Find("", kAttrAll, &rc);
  EXPECT_EQ(rc, kErrPathNotFound);

  FindHandle none;
  FindEntry e;
  EXPECT_EQ(fs->FindNext(none, e), kErrInvalidHandle);
}

TEST_F(FsSearch, FilesOfTwoGigabytesAndMoreKeepTheirSize) {
  const int64_t big = (int64_t{3} << 30) + 5;
  WriteText("duzy.dat", "");
  std::filesystem::resize_file(Path("duzy.dat"), static_cast<uintmax_t>(big));

  FindEntry e;
  FindHandle fh;
  ASSERT_EQ(fs->FindFirst(Path("DUZY.DAT"), kAttrAnyFile, e, fh), kOk);
  EXPECT_EQ(e.size, big);
  EXPECT_EQ(FileSizeOf(Path("duzy.dat")), INT32_MAX);

  FileHandle h;
  ASSERT_EQ(fs->Open(Path("duzy.dat"), kAccessReadWrite | kShareDenyNone, h), kOk);
  int64_t size = 0;
  ASSERT_EQ(fs->Size(h, size), kOk);
  EXPECT_EQ(size, big);
  // Positions beyond 4 GiB work both ways.
  const int64_t far = (int64_t{5} << 30);
  ASSERT_EQ(fs->Seek(h, far), kOk);
  uint32_t put = 0;
  ASSERT_EQ(fs->Write(h, "xyz", 3, put), kOk);
  int64_t pos = 0;
  ASSERT_EQ(fs->Tell(h, pos), kOk);
  EXPECT_EQ(pos, far + 3);
  ASSERT_EQ(fs->Seek(h, far + 1), kOk);
  char buf[8] = {};
  uint32_t got = 0;
  ASSERT_EQ(fs->Read(h, buf, 8, got), kOk);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buf, 2), "yz");
  EXPECT_EQ(fs->Close(h), kOk);
}

#ifndef _WIN32  // the listing cache of the POSIX backend
// A transfer looks up thousands of names, most of them absent. A miss in a
// directory that is being written to lists the directory each time; in a
// directory that has not changed for a few seconds it costs a status call.
// Changes made meanwhile by other programs are seen at once.
TEST_F(FsSearch, MissesInALargeDirectoryAreCheapAndNeverStale) {
  MakeDir("big");
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "big/Plik%04d.dat", i);
    WriteText(name, "");
  }
  auto perLookup = [&](const std::string& path, int rounds) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) EXPECT_EQ(FileSizeOf(Path(path)), 0);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / rounds;
  };
  const uint64_t before = DirectoryListingsRead();
  const double freshMiss = perLookup("BIG/BRAK.DAT", 50);
  // Changed just now: listed for every miss; their parent, for "BIG" in
  // another case, only at the first, since the directory is kept open.
  EXPECT_EQ(DirectoryListingsRead() - before, 51u);
  std::this_thread::sleep_for(std::chrono::milliseconds(4200));
  const uint64_t settled = DirectoryListingsRead();
  const double settledMiss = perLookup("BIG/BRAK.DAT", 1000);
  const double settledHit = perLookup("big/PLIK0500.DAT", 1000);
  const double exactMiss = perLookup("big/brak.dat", 1000);
  // Settled: listed once more, then every miss and hit comes from memory.
  EXPECT_EQ(DirectoryListingsRead() - settled, 1u);
  std::printf("lookup among 1000 names: miss %.1f us while the directory changes; once "
              "settled: miss %.1f us (%.1f us with the directory in another case), "
              "other-case hit %.1f us\n",
              freshMiss, exactMiss, settledMiss, settledHit);

  // Another program adds, renames and removes names: every change shows.
  WriteText("big/Nowy.dat", "abc");
  EXPECT_EQ(FileSizeOf(Path("big/NOWY.DAT")), 3);
  std::filesystem::rename(Path("big/Plik0001.dat"), Path("big/inny.dat"));
  EXPECT_EQ(FileSizeOf(Path("BIG/INNY.DAT")), 0);
  FindEntry e;
  FindHandle fh;
  EXPECT_EQ(fs->FindFirst(Path("BIG/PLIK0001.DAT"), kAttrAnyFile, e, fh), kErrFileNotFound);
  EXPECT_EQ(fs->FindFirst(Path("BIG/INNY.DAT"), kAttrAnyFile, e, fh), kOk);
  std::filesystem::remove(Path("big/Nowy.dat"));
  EXPECT_EQ(fs->FindFirst(Path("BIG/NOWY.DAT"), kAttrAnyFile, e, fh), kErrFileNotFound);
  // A name that differs only in case from an existing one, added later.
  WriteText("big/PLIK0002.DAT", "xy");
  EXPECT_EQ(fs->FindFirst(Path("big/plik0002.DAT"), kAttrAnyFile, e, fh), kOk);
  EXPECT_EQ(e.name, "PLIK0002.DAT");  // the smaller spelling in byte order
}

// A directory the layer made holds what the layer put there: no miss or
// other-case hit in it needs a listing, however often the layer changes it.
// One the layer changed is listed once after that change (before it, while
// another program has just made it, for each miss: twice here); another
// program's file spelt as on disk is always seen.
TEST_F(FsSearch, DirectoriesTheLayerWritesAreListedOnceAtMost) {
  struct Case {
    const char* dir;
    bool made;  // by the layer, else by another program
    uint64_t listings;
  };
  const Case cases[] = {{"Nowy", true, 0}, {"Stary", false, 3}};
  for (const Case& c : cases) {
    const std::string dir = c.dir;
    if (c.made) {
      ASSERT_EQ(fs->MakeDir(Path(dir)), kOk);
    } else {
      MakeDir(dir);
    }
    const uint64_t before = DirectoryListingsRead();
    for (int i = 0; i < 20; ++i) {
      const std::string name = "Plik" + std::to_string(i) + ".dat";
      if (c.made || i == 0) {
        FileHandle h;
        EXPECT_EQ(FileSizeOf(Path(dir + "/" + name)), 0);
        ASSERT_EQ(fs->Create(Path(dir + "/" + name), h), kOk);
        fs->Close(h);
      }
      EXPECT_EQ(FileSizeOf(Path(dir + "/BRAK.DAT")), 0);
      FindEntry e;
      FindHandle fh;
      ASSERT_EQ(fs->FindFirst(Path(dir + "/PLIK0.DAT"), kAttrAnyFile, e, fh), kOk);
      EXPECT_EQ(e.name, "Plik0.dat");
    }
    EXPECT_EQ(DirectoryListingsRead() - before, c.listings) << dir;
    WriteText(dir + "/Obcy.dat", "abc");
    EXPECT_EQ(FileSizeOf(Path(dir + "/Obcy.dat")), 3) << dir;
  }
}
#endif

}  // namespace
}  // namespace qm::test
