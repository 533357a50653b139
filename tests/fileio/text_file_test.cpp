#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/text_file.h"
#include "tests/fileio/fault_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class TextFileTest : public QmTest {
 protected:
  std::vector<std::string> ReadAll(const std::string& rel) {
    TextFile f;
    EXPECT_EQ(f.OpenRead(Path(rel)), kOk);
    std::vector<std::string> lines;
    std::string line;
    int err = -1;
    while (f.ReadLine(line, err)) lines.push_back(line);
    EXPECT_EQ(err, kOk);
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.Close(), kOk);
    return lines;
  }
};

TEST_F(TextFileTest, LineEnds) {
  using L = std::vector<std::string>;
  const struct {
    std::string text;
    L lines;
  } table[] = {
      {"", L{}},
      {"a\r\nb\r\n", L{"a", "b"}},
      {"a\nb\n", L{"a", "b"}},
      {"a\r\nb\nc", L{"a", "b", "c"}},  // mixed, last line without an end
      {"\r\n\r\n", L{"", ""}},
      {"a\rb\r\n", L{"a\rb"}},  // a lone CR is an ordinary character
      {"a\r", L{"a"}},          // a CR cut off from its LF by the end of the file
      {"x\n\n", L{"x", ""}},
  };
  for (const auto& row : table) {
    WriteText("t.txt", row.text);
    EXPECT_EQ(ReadAll("t.txt"), row.lines) << testing::PrintToString(row.text);
  }
}

TEST_F(TextFileTest, LongLinesAreCutTo255AndTheRestDropped) {
  const std::string longLine = std::string(250, 'a') + std::string(50, 'b');
  WriteText("t.txt", longLine + "\r\nnext\r\n" + std::string(255, 'c') + "\n" + std::string(256, 'd'));
  const auto lines = ReadAll("t.txt");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], longLine.substr(0, 255));
  EXPECT_EQ(lines[1], "next");
  EXPECT_EQ(lines[2], std::string(255, 'c'));
  EXPECT_EQ(lines[3], std::string(255, 'd'));
}

TEST_F(TextFileTest, LineEndsAcrossBlockBoundaries) {
  // CR as the last byte of one 16 KiB block and LF as the first of the next
  // must still be one line end; so must a long line spanning blocks.
  for (size_t pad : {16382u, 16383u, 16384u}) {
    std::string text(pad, 'x');
    text += "\r\nafter\r\n";
    WriteText("t.txt", text);
    const auto lines = ReadAll("t.txt");
    ASSERT_EQ(lines.size(), 2u) << pad;
    EXPECT_EQ(lines[0], std::string(255, 'x'));
    EXPECT_EQ(lines[1], "after");
  }
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "line " + std::to_string(i) + "\r\n";
  WriteText("t.txt", many);
  const auto lines = ReadAll("t.txt");
  ASSERT_EQ(lines.size(), 5000u);
  EXPECT_EQ(lines[4999], "line 4999");
}

TEST_F(TextFileTest, WritesCrLfAndBuffersLargeOutput) {
  TextFile f;
  ASSERT_EQ(f.Create(Path("w.txt")), kOk);
  EXPECT_EQ(f.WriteLine("one"), kOk);
  EXPECT_EQ(f.Write("tw"), kOk);
  EXPECT_EQ(f.WriteLine("o"), kOk);
  EXPECT_EQ(f.WriteLine(""), kOk);
  std::string big;
  for (int i = 0; i < 3000; ++i) {
    const std::string l = "record " + std::to_string(i);
    big += l + "\r\n";
    ASSERT_EQ(f.WriteLine(l), kOk);
  }
  EXPECT_EQ(f.Close(), kOk);
  EXPECT_EQ(ReadText("w.txt"), "one\r\ntwo\r\n\r\n" + big);

  // Create empties an existing file.
  ASSERT_EQ(f.Create(Path("w.txt")), kOk);
  EXPECT_EQ(f.Close(), kOk);
  EXPECT_EQ(ReadText("w.txt"), "");
}

TEST_F(TextFileTest, RewriteEmptiesThroughTheOpenHandle) {
  WriteText("r.txt", "old line\r\nanother old line\r\n");
  TextFile f;
  ASSERT_EQ(f.OpenRead(Path("r.txt"), kAccessReadWrite | kShareDenyNone), kOk);
  std::string line;
  int err = 0;
  ASSERT_TRUE(f.ReadLine(line, err));
  EXPECT_EQ(f.Rewrite(), kOk);
  EXPECT_EQ(f.WriteLine("new"), kOk);
  EXPECT_EQ(f.Close(), kOk);
  EXPECT_EQ(ReadText("r.txt"), "new\r\n");
}

TEST_F(TextFileTest, Failures) {
  TextFile f;
  EXPECT_EQ(f.OpenRead(Path("missing.txt")), kErrFileNotFound);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.AtEnd());
  std::string line = "x";
  int err = 0;
  EXPECT_FALSE(f.ReadLine(line, err));
  EXPECT_NE(err, kOk);
  EXPECT_NE(f.WriteLine("x"), kOk);

  // A read error is reported once and ends the file, so that a loop reading
  // to the end cannot spin.
  FaultFs faults(*fs);
  SetFileSystem(&faults);
  WriteText("t.txt", "a\r\nb\r\n");
  ASSERT_EQ(f.OpenRead(Path("t.txt")), kOk);
  faults.readsBeforeFailure = 0;
  EXPECT_FALSE(f.ReadLine(line, err));
  EXPECT_EQ(err, kErrReadFault);
  EXPECT_TRUE(f.AtEnd());
  f.Close();

  // A write error of buffered output surfaces at Close at the latest.
  faults.readsBeforeFailure = -1;
  ASSERT_EQ(f.Create(Path("w.txt")), kOk);
  faults.writesBeforeFailure = 0;
  EXPECT_EQ(f.WriteLine("lost"), kOk);
  EXPECT_EQ(f.Close(), kErrWriteFault);
  SetFileSystem(fs.get());
}

}  // namespace
}  // namespace qm::test
