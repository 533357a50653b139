// Links below the guarded roots: a link of any kind, met as the name an
// operation works on or on the way to it, is refused, and nothing outside
// the tree is read, written or made through it; searches name it. The
// roots themselves may be links, and outside the roots links lead where
// they always did.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/host_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

namespace stdfs = std::filesystem;

class FsLinks : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SetFileSystem(fs.get());
    WriteText("tree/dane/plik.dat", "w drzewie");
    WriteText("outside/plik.dat", "poza");
    WriteText("outside/tajne.dat", "tajne");
  }
  void TearDown() override {
    SetGuardedRoots({});
    QmTest::TearDown();
  }
  // A symbolic link at rel (below Dir()) to target (below Dir()); false
  // when the host will not make one.
  bool Plant(const std::string& rel, const std::string& target, bool dir) {
#ifdef _WIN32
    // Unprivileged, where the system allows it. Some emulations answer
    // success and make nothing: the link must be there afterwards.
    const DWORD flags = (dir ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2;
    const std::wstring link = HostPath(Path(rel)).wstring();
    return CreateSymbolicLinkW(link.c_str(), HostPath(Path(target)).wstring().c_str(), flags) != 0 &&
           GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    (void)dir;
    return symlink(Path(target).c_str(), Path(rel).c_str()) == 0;
#endif
  }
  bool IsHostLink(const std::string& rel) {
    std::error_code ec;
    return stdfs::is_symlink(HostPath(Path(rel)), ec);
  }
  // Every file below rel with its content.
  std::map<std::string, std::string> Snapshot(const std::string& rel) {
    std::map<std::string, std::string> out;
    for (const auto& e : stdfs::recursive_directory_iterator(HostPath(Path(rel)))) {
      if (e.is_regular_file()) out[e.path().string()] = ReadText(e.path().string());
    }
    return out;
  }
};

struct LinkKind {
  const char* name;
  const char* target;
  bool dir;
};
// Every kind of link: to a file or a directory inside the tree or outside
// it, and one that points nowhere.
const LinkKind kKinds[] = {
    {"plik_w", "tree/dane/plik.dat", false}, {"plik_poza", "outside/tajne.dat", false},
    {"kat_w", "tree/dane", true},            {"kat_poza", "outside", true},
    {"pusty", "outside/brak.dat", false},
};

TEST_F(FsLinks, EveryOperationRefusesEveryLinkAtEveryPlace) {
  std::vector<std::string> links;
  for (const char* where : {"tree/", "tree/dane/"}) {
    for (const LinkKind& k : kKinds) {
      links.push_back(std::string(where) + k.name);
      if (!Plant(links.back(), k.target, k.dir)) GTEST_SKIP() << "the host makes no symbolic links";
    }
  }
  SetGuardedRoots({Path("TREE")});
  const auto outsideBefore = Snapshot("outside");

  using Op = std::function<int(const std::string&)>;
  const std::pair<const char*, Op> ops[] = {
      {"open", [&](const std::string& p) {
         FileHandle h;
         const int rc = fs->Open(p, kAccessRead | kShareDenyNone, h);
         if (rc == kOk) fs->Close(h);
         return rc;
       }},
      {"open for writing", [&](const std::string& p) {
         FileHandle h;
         const int rc = fs->Open(p, kAccessReadWrite | kShareDenyNone, h);
         if (rc == kOk) fs->Close(h);
         return rc;
       }},
      {"create", [&](const std::string& p) {
         FileHandle h;
         const int rc = fs->Create(p, h);
         if (rc == kOk) fs->Close(h);
         return rc;
       }},
      {"find", [&](const std::string& p) {
         FindEntry e;
         FindHandle fh;
         return fs->FindFirst(p, kAttrAll, e, fh);
       }},
      {"make directory", [&](const std::string& p) { return fs->MakeDir(p); }},
      {"rename from", [&](const std::string& p) { return fs->Rename(p, Path("tree/nowy")); }},
      {"rename to", [&](const std::string& p) { return fs->Rename(Path("tree/dane/plik.dat"), p); }},
      {"remove", [&](const std::string& p) { return fs->Remove(p); }},
  };
  for (const std::string& link : links) {
    // The link as the last name, and on the way to a name below it (where
    // a directory link leads to an existing plik.dat).
    for (const std::string& path : {Path(link), Path(link + "/plik.dat"), Path(link + "/nowy/x.dat")}) {
      for (const auto& [what, op] : ops) EXPECT_EQ(op(path), kErrLinkRefused) << what << " " << path;
      EXPECT_FALSE(DirectoryExists(path)) << path;
      EXPECT_EQ(FileSizeOf(path), 0) << path;
      EXPECT_TRUE(IsLink(path)) << path;
    }
    EXPECT_TRUE(IsHostLink(link)) << link;
  }
  // Nothing outside changed or made (the link pointing nowhere still
  // points nowhere), nothing inside moved.
  EXPECT_EQ(Snapshot("outside"), outsideBefore);
  EXPECT_FALSE(Exists("outside/brak.dat"));
  EXPECT_FALSE(Exists("tree/nowy"));
  EXPECT_EQ(ReadText("tree/dane/plik.dat"), "w drzewie");

  // A search names every link, flagged, and every other entry unflagged.
  FindEntry e;
  FindHandle fh;
  std::map<std::string, bool> seen;
  for (int rc = fs->FindFirst(Path("tree/DANE/*.*"), kAttrAll, e, fh); rc == kOk; rc = fs->FindNext(fh, e))
    seen[e.name] = e.link;
  EXPECT_EQ(seen, (std::map<std::string, bool>{{".", false},
                                               {"..", false},
                                               {"kat_poza", true},
                                               {"kat_w", true},
                                               {"plik.dat", false},
                                               {"plik_poza", true},
                                               {"plik_w", true},
                                               {"pusty", true}}));
}

TEST_F(FsLinks, RootsMayBeLinksAndNamesBelowThemKeepTheirRules) {
  if (!Plant("korzen", "tree", true) || !Plant("tree/kat_poza", "outside", true))
    GTEST_SKIP() << "the host makes no symbolic links";
  SetGuardedRoots({Path("KORZEN/")});
  FileHandle h;
  // Through the root, in any case, and with names that go up and down again.
  for (const char* rel : {"KORZEN/DANE/PLIK.DAT", "korzen/dane/../Dane/plik.dat", "korzen/./dane/plik.dat"}) {
    ASSERT_EQ(fs->Open(Path(rel), kAccessRead | kShareDenyNone, h), kOk) << rel;
    char buf[16];
    uint32_t got = 0;
    EXPECT_EQ(fs->Read(h, buf, sizeof buf, got), kOk);
    EXPECT_EQ(std::string(buf, got), "w drzewie") << rel;
    fs->Close(h);
  }
  EXPECT_EQ(fs->Open(Path("korzen/KAT_POZA/plik.dat"), kAccessRead, h), kErrLinkRefused);
  EXPECT_EQ(fs->MakeDir(Path("korzen/nowy")), kOk);
  EXPECT_TRUE(DirectoryExists(Path("KORZEN/NOWY")));
  EXPECT_TRUE(DirectoryExists(Path("korzen")));  // the root itself

  // The same names outside the roots: the link is followed, and flagged.
  ASSERT_EQ(fs->Open(Path("tree/kat_poza/PLIK.DAT"), kAccessRead | kShareDenyNone, h), kOk);
  fs->Close(h);
  EXPECT_TRUE(DirectoryExists(Path("tree/kat_poza")));
  EXPECT_TRUE(IsLink(Path("tree/kat_poza")));
  EXPECT_FALSE(IsLink(Path("tree/dane")));
  // Without roots nothing is guarded.
  SetGuardedRoots({});
  EXPECT_EQ(FileSizeOf(Path("korzen/kat_poza/tajne.dat")), 5);
}

}  // namespace
}  // namespace qm::test
