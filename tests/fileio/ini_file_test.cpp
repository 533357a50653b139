#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"
#include "fileio/ini_file.h"
#include "tests/support/faulty_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class IniFileTest : public QmTest {
 protected:
  IniFilePtr Load(const std::string& rel, bool writable) {
    return IniFilePtr(IniFile::Init(Path(rel), writable));
  }
};

TEST_F(IniFileTest, Lookups) {
  WriteText("a.ini", Pl("head=before any section\r\n"
                        "[FIRMA]\r\n"
                        "NIP=123-456\r\n"
                        "two=a=b\r\n"
                        "KEY = spaced \r\n"
                        "comment line\r\n"
                        "[ŁÓDŹ]\r\n"
                        "ŻÓŁW=tak\r\n"));
  auto ini = Load("a.ini", false);
  ASSERT_TRUE(ini);
  EXPECT_TRUE(ini->Existed);
  EXPECT_TRUE(ini->ReadOnly);
  EXPECT_EQ(ini->ReadString("", "head", "dflt"), "dflt");  // the head cannot be named
  EXPECT_EQ(ini->ReadString("firma", "nip", "dflt"), "123-456");
  EXPECT_EQ(ini->ReadString(Pl("łódź"), Pl("żółw"), "dflt"), "tak");
  EXPECT_EQ(ini->ReadString("FIRMA", "two", ""), "a=b");
  EXPECT_EQ(ini->ReadString("FIRMA", "KEY", "dflt"), "dflt");  // the key is "KEY "
  EXPECT_EQ(ini->ReadString("FIRMA", "KEY ", "dflt"), " spaced");
  EXPECT_EQ(ini->ReadString("FIRMA", "comment line", "dflt"), "dflt");
  EXPECT_EQ(ini->ReadString("FIRMA", "ŻÓŁW", "dflt"), "dflt");  // other section
  EXPECT_EQ(ini->ReadString("NONE", "NIP", "dflt"), "dflt");
  EXPECT_FALSE(ini->Modified);
}

TEST_F(IniFileTest, TypedReads) {
  WriteText("t.ini",
            "[S]\r\nbang=!\r\nlead=  42\r\nmid=42 1\r\nletter=42x\r\nhex=$1F\r\nneg=-17\r\nbig=99999999999\r\n"
            "yes=tak\r\nno=Nie\r\nT=T\r\nempty=\r\nchar=xyz\r\n");
  auto ini = Load("t.ini", false);
  ASSERT_TRUE(ini);
  const struct {
    const char* key;
    int32_t expected;
  } ints[] = {{"bang", 7}, {"lead", 42}, {"mid", 7}, {"letter", 7}, {"hex", 31},
              {"neg", -17}, {"big", 7}, {"empty", 7}, {"missing", 7}};
  for (const auto& row : ints) EXPECT_EQ(ini->ReadInteger("S", row.key, 7), row.expected) << row.key;
  const struct {
    const char* key;
    bool dflt;
    bool expected;
  } bools[] = {{"yes", false, true}, {"no", true, false}, {"T", false, false}, {"T", true, true},
               {"missing", true, true}, {"missing", false, false}, {"empty", true, true}};
  for (const auto& row : bools) EXPECT_EQ(ini->ReadBool("S", row.key, row.dflt), row.expected) << row.key;
  EXPECT_EQ(ini->ReadChar("S", "char", '?'), 'x');
  EXPECT_EQ(ini->ReadChar("S", "empty", '?'), '?');
  EXPECT_EQ(ini->ReadChar("S", "missing", '?'), '?');
}

TEST_F(IniFileTest, UnchangedValueLeavesTheFileAlone) {
  const std::string original = "  [S]  \n\n k=v\n\n\n";
  WriteText("u.ini", original);
  {
    auto ini = Load("u.ini", true);
    ASSERT_TRUE(ini);
    ini->WriteString("s", "K", "v");
    EXPECT_FALSE(ini->Modified);
  }
  EXPECT_EQ(ReadText("u.ini"), original);
}

TEST_F(IniFileTest, SavedFormat) {
  WriteText("f.ini", Pl("; head comment\n"
                        "\n"
                        "   [Dane]   \n"
                        "  Nazwa = Sklep  \n"
                        "\n"
                        "\n"
                        "[Pusta]\n"
                        "[Dane]\n"
                        "Nazwa=second\n"
                        "\x1A\n"));
  {
    auto ini = Load("f.ini", true);
    ASSERT_TRUE(ini);
    ini->WriteString("dane", "ROK", "2020");        // new key in the first [Dane]
    ini->WriteString("DANE", "nazwa ", " Sklep");   // same value: no change
    ini->WriteString("Nowa", "A", "1");             // new section at the end
    ini->WriteInteger("Nowa", "B", -25);
    ini->WriteBool("Nowa", "C", true);
    ini->WriteChar("Nowa", "D", 'x');
    ini->WriteString("dane", "Rok", "2021");        // replaced, key as now given
    EXPECT_TRUE(ini->Modified);
  }
  EXPECT_EQ(ReadText("f.ini"), Pl("; head comment\r\n"
                                  "\r\n"
                                  "[Dane]\r\n"
                                  "Nazwa = Sklep\r\n"
                                  "Rok=2021\r\n"
                                  "\r\n"
                                  "[Pusta]\r\n"
                                  "[Dane]\r\n"
                                  "Nazwa=second\r\n"
                                  "\r\n"
                                  "[Nowa]\r\n"
                                  "A=1\r\n"
                                  "B=-25\r\n"
                                  "C=TAK\r\n"
                                  "D=x\r\n"
                                  "\r\n"));
}

TEST_F(IniFileTest, ValuesCompareWithCase) {
  WriteText("c.ini", "[S]\r\nk=tak\r\n");
  {
    auto ini = Load("c.ini", true);
    ini->WriteString("S", "k", "TAK");
    EXPECT_TRUE(ini->Modified);
  }
  EXPECT_EQ(ReadText("c.ini"), "[S]\r\nk=TAK\r\n\r\n");
}

TEST_F(IniFileTest, DuplicateSectionsUseTheFirst) {
  WriteText("d.ini", "[S]\r\na=1\r\n[S]\r\na=2\r\nb=3\r\n");
  {
    auto ini = Load("d.ini", true);
    EXPECT_EQ(ini->ReadString("S", "a", ""), "1");
    EXPECT_EQ(ini->ReadString("S", "b", "none"), "none");
    ini->WriteString("S", "b", "4");
    int sections = 0;
    for (const IniSection* s = ini->FirstSection(); s; s = s->next) ++sections;
    EXPECT_EQ(sections, 3);  // the head and both [S]
    EXPECT_FALSE(ini->FirstSection()->named);
  }
  EXPECT_EQ(ReadText("d.ini"), "[S]\r\na=1\r\nb=4\r\n\r\n[S]\r\na=2\r\nb=3\r\n\r\n");
}

TEST_F(IniFileTest, DoneTellsWhetherTheFileWasWrittenBack) {
  WriteText("a.ini", "[S]\r\nK=1\r\n");
  EXPECT_TRUE(IniFile::Init(Path("a.ini"), true)->Done());  // nothing to write
  IniFile* ini = IniFile::Init(Path("a.ini"), true);
  ini->WriteString("S", "K", "2");
  EXPECT_TRUE(ini->Done());
  EXPECT_EQ(ReadText("a.ini"), "[S]\r\nK=2\r\n\r\n");

  FaultyFs faulty(*fs);
  SetFileSystem(&faulty);
  ini = IniFile::Init(Path("a.ini"), true);
  ini->WriteString("S", "K", "3");
  faulty.FailAt(FsOp::Write, 1, kErrWriteFault, true);
  EXPECT_FALSE(ini->Done());
  SetFileSystem(fs.get());
}

TEST_F(IniFileTest, MissingFiles) {
  {
    auto ini = Load("none.ini", false);
    ASSERT_TRUE(ini);  // an empty object: every answer is the default
    EXPECT_FALSE(ini->Existed);
    EXPECT_FALSE(ini->Opened);
    EXPECT_EQ(ini->ReadInteger("S", "k", 5), 5);
    ini->WriteString("S", "k", "v");  // kept in memory only
    EXPECT_EQ(ini->ReadString("S", "k", ""), "v");
  }
  EXPECT_FALSE(Exists("none.ini"));
  {
    auto ini = Load("new.ini", true);
    ASSERT_TRUE(ini);
    EXPECT_FALSE(ini->Existed);
    EXPECT_TRUE(ini->Opened);
    EXPECT_TRUE(Exists("new.ini"));
    ini->WriteString(Pl("Sekcja ŁĄKA"), "k", "v");
  }
  EXPECT_EQ(ReadText("new.ini"), Pl("[Sekcja ŁĄKA]\r\nk=v\r\n\r\n"));
  EXPECT_FALSE(Load("no-such-dir/x.ini", true));
}

TEST_F(IniFileTest, OneWriterAtATime) {
  WriteText("w.ini", "[S]\r\nk=1\r\n");
  auto first = Load("w.ini", true);
  ASSERT_TRUE(first);
  EXPECT_FALSE(Load("w.ini", true));  // the first byte is locked
  auto reader = Load("w.ini", false);  // readers take no lock
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->ReadString("S", "k", ""), "1");
  first->WriteString("S", "k", "2");
  first.reset();
  reader.reset();
  auto second = Load("w.ini", true);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->ReadString("S", "k", ""), "2");
}

TEST_F(IniFileTest, LongLinesAndTexts) {
  WriteText("l.ini", "[S]\r\nk=" + std::string(300, 'v') + "\r\n");
  auto ini = Load("l.ini", true);
  EXPECT_EQ(ini->ReadString("S", "k", ""), std::string(253, 'v'));
  ini->WriteString("S", "k2", std::string(300, 'w'));  // a line holds 255 characters
  EXPECT_EQ(ini->ReadString("S", "k2", ""), std::string(252, 'w'));
}

TEST(Scramble, RestoresAndFollowsTheFixedStream) {
  uint8_t block[kScrambleBlockSize];
  for (size_t i = 0; i < sizeof block; ++i) block[i] = static_cast<uint8_t>(i * 7);
  uint8_t original[kScrambleBlockSize];
  std::copy(block, block + sizeof block, original);
  SetRandomState(12345);  // the stream does not depend on the state before
  ScrambleBlock(block);
  EXPECT_FALSE(std::equal(block, block + sizeof block, original));
  SetRandomState(999);
  ScrambleBlock(block);
  EXPECT_TRUE(std::equal(block, block + sizeof block, original));
  uint8_t zeros[kScrambleBlockSize] = {};
  ScrambleBlock(zeros);
  const std::vector<uint8_t> head(zeros, zeros + 8);
  EXPECT_EQ(head, (std::vector<uint8_t>{241, 120, 9, 143, 253, 200, 150, 53}));
  for (uint8_t b : zeros) EXPECT_LT(b, 255);  // RandomBelow(255) never gives 255
}

}  // namespace
}  // namespace qm::test
