// Reading, writing and naming through the host file system, and the codes
// its failures carry.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/host_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

using FsOps = QmTest;

#ifndef _WIN32
// On Windows the codes are the system's own.
TEST(FsErrorCodes, HostErrorsMapToWin32Codes) {
  const struct {
    int err;
    int code;
  } table[] = {
      {0, kOk},
      {ENOENT, kErrFileNotFound},
      {ENOTDIR, kErrPathNotFound},
      {ELOOP, kErrPathNotFound},
      {EACCES, kErrAccessDenied},
      {EPERM, kErrAccessDenied},
      {EISDIR, kErrAccessDenied},
      {EROFS, kErrAccessDenied},
      {EBADF, kErrInvalidHandle},
      {EMFILE, kErrTooManyOpenFiles},
      {ENFILE, kErrTooManyOpenFiles},
      {ENOMEM, kErrNotEnoughMemory},
      {ENOSPC, kErrDiskFull},
      {EDQUOT, kErrDiskFull},
      {EFBIG, kErrDiskFull},
      {EEXIST, kErrAlreadyExists},
      {ENOTEMPTY, kErrAlreadyExists},
      {EAGAIN, kErrLockViolation},
      {ENOLCK, kErrSharingBufferExceeded},
      {ETXTBSY, kErrSharingViolation},
      {EBUSY, kErrSharingViolation},
      {ENAMETOOLONG, kErrNameTooLong},
      {EINVAL, kErrInvalidParameter},
      {EXDEV, kErrNotSameDevice},
      {EIO, kErrGenFailure},
      {ECONNRESET, kErrGenFailure},  // anything else is still a failure
  };
  for (const auto& row : table) EXPECT_EQ(HostErrorCode(row.err), row.code) << "errno " << row.err;
}
#endif

TEST_F(FsOps, HandlesReadWriteSeekAndCut) {
  FileHandle h;
  ASSERT_EQ(fs->Create(Path("a.dat"), h), kOk);
  uint32_t n = 0;
  ASSERT_EQ(fs->Write(h, "abcdefgh", 8, n), kOk);
  EXPECT_EQ(n, 8u);
  ASSERT_EQ(fs->Seek(h, 3), kOk);
  ASSERT_EQ(fs->SetEnd(h), kOk);
  int64_t size = 0;
  ASSERT_EQ(fs->Size(h, size), kOk);
  EXPECT_EQ(size, 3);
  ASSERT_EQ(fs->Seek(h, 6), kOk);  // beyond the end: a gap of zeros on the next write
  ASSERT_EQ(fs->Write(h, "z", 1, n), kOk);
  EXPECT_EQ(fs->Flush(h), kOk);
  EXPECT_EQ(fs->Seek(h, -1), 131);
  ASSERT_EQ(fs->Close(h), kOk);
  EXPECT_EQ(ReadText("a.dat"), std::string("abc\0\0\0z", 7));

  // Access is what the open asked for.
  ASSERT_EQ(fs->Open(Path("A.DAT"), kAccessRead | kShareDenyNone, h), kOk);
  char buf[16];
  EXPECT_EQ(fs->Write(h, "x", 1, n), kErrAccessDenied);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(fs->SetEnd(h), kErrAccessDenied);
  ASSERT_EQ(fs->Read(h, buf, sizeof buf, n), kOk);
  EXPECT_EQ(n, 7u);  // a short read at the end is no error
  ASSERT_EQ(fs->Read(h, buf, sizeof buf, n), kOk);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(fs->Close(h), kOk);
  ASSERT_EQ(fs->Open(Path("a.dat"), kAccessWrite | kShareDenyNone, h), kOk);
  EXPECT_EQ(fs->Read(h, buf, 1, n), kErrAccessDenied);
  ASSERT_EQ(fs->Write(h, "Q", 1, n), kOk);
  // A write at a position of its own, wherever the file position stands.
  ASSERT_EQ(fs->WriteAt(h, 4, "YY", 2, n), kOk);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(fs->WriteAt(h, -1, "Y", 1, n), 131);
  ASSERT_EQ(fs->Close(h), kOk);
  EXPECT_EQ(ReadText("a.dat"), std::string("Qbc\0YYz", 7));
  ASSERT_EQ(fs->Open(Path("a.dat"), kAccessRead | kShareDenyNone, h), kOk);
  EXPECT_EQ(fs->WriteAt(h, 0, "x", 1, n), kErrAccessDenied);
  ASSERT_EQ(fs->Close(h), kOk);

  // A closed or never opened handle is refused, not reused.
  EXPECT_EQ(fs->Close(h), kErrInvalidHandle);
  EXPECT_EQ(fs->Read(h, buf, 1, n), kErrInvalidHandle);
  EXPECT_EQ(fs->Write(12345, "x", 1, n), kErrInvalidHandle);
  EXPECT_EQ(fs->WriteAt(12345, 0, "x", 1, n), kErrInvalidHandle);
  EXPECT_EQ(fs->Lock(kNoHandle, 0, 1), kErrInvalidHandle);
  EXPECT_EQ(fs->Open(Path("a.dat"), 0x03, h), kErrInvalidAccess);
  EXPECT_EQ(fs->Open(Path("a.dat"), 0x50, h), kErrInvalidAccess);
}

#ifndef _WIN32  // Windows keeps read-only files itself (and Wine run as root cannot)
TEST_F(FsOps, ReadOnlyFilesRefuseWritingAndRemoval) {
  WriteText("ro.dat", "stare");
  ASSERT_EQ(chmod(Path("ro.dat").c_str(), 0444), 0);
  FileHandle h;
  EXPECT_EQ(fs->Open(Path("ro.dat"), kAccessReadWrite | kShareDenyNone, h), kErrAccessDenied);
  EXPECT_EQ(fs->Create(Path("RO.DAT"), h), kErrAccessDenied);
  EXPECT_EQ(fs->Remove(Path("ro.dat")), kErrAccessDenied);
  EXPECT_EQ(ReadText("ro.dat"), "stare");
  ASSERT_EQ(fs->Open(Path("ro.dat"), kAccessRead | kShareDenyNone, h), kOk);
  EXPECT_EQ(fs->Close(h), kOk);

  // A file new to the disk is writable through the create that made it,
  // even when the umask leaves it read-only for later opens.
  const mode_t old = umask(0277);
  const int rc = fs->Create(Path("nowy.dat"), h);
  umask(old);
  ASSERT_EQ(rc, kOk);
  uint32_t put = 0;
  EXPECT_EQ(fs->Write(h, "ok", 2, put), kOk);
  EXPECT_EQ(fs->Close(h), kOk);
  EXPECT_EQ(ReadText("nowy.dat"), "ok");
}
#endif

TEST_F(FsOps, DirectoriesAreMadeOnceInTheirExistingParent) {
  MakeDir("Rok2020");
  EXPECT_EQ(fs->MakeDir(Path("ROK2020/Firma")), kOk);
  EXPECT_TRUE(Exists("Rok2020/Firma"));
  EXPECT_EQ(fs->MakeDir(Path("rok2020/FIRMA")), kErrAlreadyExists);
  EXPECT_EQ(fs->MakeDir(Path("rok2020/FIRMA/")), kErrAlreadyExists);
  EXPECT_EQ(fs->MakeDir(Path("Druga/")), kOk);
  EXPECT_EQ(fs->MakeDir(Path("brak/Firma")), kErrPathNotFound);
  WriteText("plik", "");
  EXPECT_EQ(fs->MakeDir(Path("PLIK")), kErrAlreadyExists);
  EXPECT_EQ(fs->MakeDir(Path(Pl("Księgi"))), kOk);
  EXPECT_TRUE(Exists(Cp852ToUtf8(Pl("Księgi"))));
  EXPECT_EQ(fs->Remove(Path("rok2020/firma")), kErrAccessDenied);  // not a file
  EXPECT_EQ(fs->Remove(Path("rok2020/brak.dat")), kErrFileNotFound);
  EXPECT_EQ(fs->Remove(Path("brak/brak.dat")), kErrPathNotFound);
}

TEST_F(FsOps, RenameNeverReplaces) {
  WriteText("stary.dat", "1");
  WriteText("Cel.dat", "2");
  EXPECT_EQ(fs->Rename(Path("STARY.DAT"), Path("cel.DAT")), kErrAlreadyExists);
  EXPECT_EQ(ReadText("Cel.dat"), "2");
  EXPECT_EQ(ReadText("stary.dat"), "1");
  EXPECT_EQ(fs->Rename(Path("brak.dat"), Path("x.dat")), kErrFileNotFound);
  EXPECT_EQ(fs->Rename(Path("stary.dat"), Path("brak/x.dat")), kErrPathNotFound);

  // Only the case changes: allowed, and the new spelling is kept.
  EXPECT_EQ(fs->Rename(Path("stary.dat"), Path("STARY.DAT")), kOk);
  EXPECT_TRUE(Exists("STARY.DAT"));
#ifndef _WIN32
  EXPECT_FALSE(Exists("stary.dat"));
#endif
  // Into another directory, under a name with a trailing "~".
  MakeDir("Sub");
  EXPECT_EQ(fs->Rename(Path("stary.dat"), Path("SUB/stary.dat~")), kOk);
  EXPECT_EQ(ReadText("Sub/stary.dat~"), "1");
  // Directories move the same way.
  EXPECT_EQ(fs->Rename(Path("sub"), Path("Inny")), kOk);
  EXPECT_TRUE(Exists("Inny/stary.dat~"));
}

// Installation paths of 255 characters and more, with a company directory
// and a file name after them: every operation takes them, below a guarded
// root as elsewhere.
TEST_F(FsOps, PathsOfSeveralHundredCharactersWork) {
  std::string root = Dir().substr(0, Dir().size() - 1);
  while (root.size() < 255) root += kPathSep + std::string(60, 'k');
  root.resize(255);
  if (root.back() == kPathSep) root.back() = 'k';
  std::string made = Dir().substr(0, Dir().size() - 1);
  for (size_t sep = root.find(kPathSep, made.size() + 1);; sep = root.find(kPathSep, sep + 1)) {
    made = root.substr(0, sep);
    ASSERT_EQ(fs->MakeDir(made), kOk) << made.size();
    if (sep == std::string::npos) break;
  }
  for (const bool guarded : {false, true}) {
    SetGuardedRoots(guarded ? std::vector<std::string>{root} : std::vector<std::string>{});
    const std::string company = root + kPathSep + std::string(guarded ? "FIRMA_O_DLUGIEJ_NAZWIE_2" : "FIRMA_O_DLUGIEJ_NAZWIE_1");
    const std::string file = company + kPathSep + std::string(100, 'p') + ".DAT";
    ASSERT_EQ(fs->MakeDir(company), kOk);
    FileHandle h;
    ASSERT_EQ(fs->Create(file, h), kOk) << file.size();
    uint32_t put = 0;
    EXPECT_EQ(fs->Write(h, "abc", 3, put), kOk);
    EXPECT_EQ(fs->Close(h), kOk);
    EXPECT_GT(file.size(), 380u);
    EXPECT_EQ(FileSizeOf(PlLowerCase(file.substr(0, root.size())) + file.substr(root.size())), 3);
    FindEntry e;
    FindHandle fh;
    ASSERT_EQ(fs->FindFirst(company + kPathSep + "*.*", kAttrAnyFile, e, fh), kOk);
    EXPECT_EQ(e.name, std::string(100, 'p') + ".DAT");
    EXPECT_TRUE(DirectoryExists(company));
    ASSERT_EQ(fs->Open(file, kAccessRead | kShareDenyNone, h), kOk);
    EXPECT_EQ(fs->Close(h), kOk);
    EXPECT_EQ(fs->Rename(file, file + "~"), kOk);
    EXPECT_EQ(fs->Remove(file + "~"), kOk);
    EXPECT_FALSE(DirectoryExists(file));
  }
  SetGuardedRoots({});
}

TEST_F(FsOps, RelativeNamesStartAtTheCurrentDirectory) {
  const std::filesystem::path saved = std::filesystem::current_path();
  MakeDir(Cp852ToUtf8(Pl("Bieżący")));
  std::error_code ec;
  std::filesystem::current_path(HostPath(Path(Cp852ToUtf8(Pl("Bieżący")))), ec);
  ASSERT_FALSE(ec) << ec.message();
  std::string cur;
  const int rc = fs->CurrentDir(cur);
  FileHandle h = kNoHandle;
  const int createRc = fs->Create("Nowy.txt", h);
  if (createRc == kOk) fs->Close(h);
  FindEntry e;
  FindHandle fh;
  const int findRc = fs->FindFirst("NOWY.*", kAttrAnyFile, e, fh);
  std::filesystem::current_path(saved, ec);
  ASSERT_FALSE(ec) << ec.message();

  EXPECT_EQ(rc, kOk);
  EXPECT_EQ(cur, Path(Pl("Bieżący")));
  EXPECT_EQ(createRc, kOk);
  EXPECT_EQ(findRc, kOk);
  EXPECT_EQ(e.name, "Nowy.txt");
  EXPECT_TRUE(Exists(Cp852ToUtf8(Pl("Bieżący")) + "/Nowy.txt"));
}

}  // namespace
}  // namespace qm::test
