// Names on the host: found whatever their case, Polish letters included,
// created as given inside the directory that exists.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/cp852.h"
#include "platform/host_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class FsLookup : public QmTest {
 protected:
  // Reads a whole file through the file system under test.
  std::string ReadVia(const std::string& path) {
    FileHandle h;
    if (fs->Open(path, kAccessRead | kShareDenyNone, h) != kOk) return "<no open>";
    std::string out(64, '\0');
    uint32_t got = 0;
    EXPECT_EQ(fs->Read(h, out.data(), 64, got), kOk);
    out.resize(got);
    EXPECT_EQ(fs->Close(h), kOk);
    return out;
  }
  void WriteVia(const std::string& path, const std::string& text) {
    FileHandle h;
    ASSERT_EQ(fs->Create(path, h), kOk) << path;
    uint32_t put = 0;
    ASSERT_EQ(fs->Write(h, text.data(), static_cast<uint32_t>(text.size()), put), kOk);
    ASSERT_EQ(put, text.size());
    ASSERT_EQ(fs->Close(h), kOk);
  }
};

TEST_F(FsLookup, ExistingNamesAreFoundWhateverTheirCase) {
  WriteText("2019_rok.rek", "rok");
  WriteText("Firma1/Dane/Ksiega.DAT", "ksiega");
  WriteText(Cp852ToUtf8(Pl("Żółw.txt")), "zolw");
  MakeDir("x");

  EXPECT_EQ(ReadVia(Path("2019_ROK.REK")), "rok");
  EXPECT_EQ(ReadVia(Path("2019_rok.rek")), "rok");
  EXPECT_EQ(ReadVia(Path("FIRMA1/dane/KSIEGA.dat")), "ksiega");
  EXPECT_EQ(ReadVia(Path(Pl("ŻÓŁW.TXT"))), "zolw");
  EXPECT_EQ(ReadVia(Path(Pl("żółw.TXT"))), "zolw");

  // Creating inside a directory spelt differently writes into the one on
  // disk, under the name as given.
  WriteVia(Path("X/2020_ROK.REK"), "nowy");
  EXPECT_EQ(ReadText("x/2020_ROK.REK"), "nowy");
#ifndef _WIN32  // a case-blind host cannot hold both spellings anyway
  EXPECT_FALSE(Exists("X"));
#endif

  // A name holding 0x7F is that byte on disk, never the glyph the screen
  // shows for it.
  WriteVia(Path("usun\x7F.txt"), "del");
  EXPECT_EQ(ReadText("usun\x7F.txt"), "del");
  EXPECT_FALSE(Exists("usun\u2302.txt"));

  // Creating an existing file in another spelling replaces that file rather
  // than adding a second one next to it.
  WriteVia(Path("2019_ROK.REK"), "zmieniony");
  EXPECT_EQ(ReadText("2019_rok.rek"), "zmieniony");
#ifndef _WIN32
  EXPECT_FALSE(Exists("2019_ROK.REK"));
#endif
}

TEST_F(FsLookup, MissingNamesTellFileFromPath) {
  MakeDir("dir");
  WriteText("dir/plik.txt", "x");
  FileHandle h;
  EXPECT_EQ(fs->Open(Path("dir/brak.txt"), kAccessRead, h), kErrFileNotFound);
  EXPECT_EQ(h, kNoHandle);
  EXPECT_EQ(fs->Open(Path("brak/plik.txt"), kAccessRead, h), kErrPathNotFound);
  EXPECT_EQ(fs->Open(Path("dir/plik.txt/x"), kAccessRead, h), kErrPathNotFound);
  EXPECT_EQ(fs->Create(Path("brak/nowy.txt"), h), kErrPathNotFound);
  EXPECT_EQ(fs->Open(Path("DIR"), kAccessRead, h), kErrAccessDenied);
  EXPECT_EQ(fs->Create(Path("Dir"), h), kErrAccessDenied);
  EXPECT_EQ(fs->Open(Path("dir/p*.txt"), kAccessRead, h), kErrInvalidName);
  EXPECT_EQ(fs->Open(Path(std::string("dir/a\0b", 7)), kAccessRead, h), kErrInvalidName);
  EXPECT_EQ(fs->Open("", kAccessRead, h), kErrPathNotFound);
}

}  // namespace
}  // namespace qm::test
