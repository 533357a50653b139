// Terminal input: escape sequences, UTF-8, mouse and paste into console
// events, whole and cut into pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp852.h"
#include "platform/input_parser.h"

namespace qm {
namespace {

// Events written compactly: "K1C0D/00" a key, "M1@3,4" a mouse event,
// "P:<utf8>" a paste.
std::string Describe(const ConsoleEvent& e) {
  char buf[32];
  switch (e.kind) {
    case ConsoleEvent::Key:
      std::snprintf(buf, sizeof buf, "K%04X/%02X", e.keyCode, e.state);
      return buf;
    case ConsoleEvent::Mouse:
      std::snprintf(buf, sizeof buf, "M%u@%d,%d", e.buttons, e.x, e.y);
      return buf;
    case ConsoleEvent::Paste:
      return "P:" + Cp852ToUtf8(e.text);
    default:
      return "?";
  }
}

std::vector<std::string> Drain(InputParser& p) {
  std::vector<std::string> out;
  ConsoleEvent ev;
  while (p.Next(ev)) out.push_back(Describe(ev));
  return out;
}

using Events = std::vector<std::string>;

struct Case {
  const char* input;
  Events expected;
};

// Every row is also fed one byte at a time: a terminal's sequence may come
// in any number of reads.
const Case kCases[] = {
    {"t", {"K1474/00"}},
    {"T1 ", {"K1454/00", "K0231/00", "K3920/00"}},
    {"ą", {"K1EA5/00"}},
    {"żÓ", {"K2CBE/00", "K18E0/00"}},
    {"\r", {"K1C0D/00"}},
    {"\n", {"K1C0A/04"}},
    {"\x7f\x08\t", {"K0E08/00", "K0E08/00", "K0F09/00"}},
    {"\x17\x11\x04", {"K1117/04", "K1011/04", "K2004/04"}},
    // Cursor keys in both modes, Home and End in their several forms.
    {"\x1b[A\x1bOB\x1b[C\x1bOD", {"K4800/00", "K5000/00", "K4D00/00", "K4B00/00"}},
    {"\x1b[H\x1b[F\x1bOH\x1bOF", {"K4700/00", "K4F00/00", "K4700/00", "K4F00/00"}},
    {"\x1b[1~\x1b[7~\x1b[4~\x1b[8~", {"K4700/00", "K4700/00", "K4F00/00", "K4F00/00"}},
    {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~", {"K5200/00", "K5300/00", "K4900/00", "K5100/00"}},
    // Function keys: xterm, vt220, the Linux console.
    {"\x1bOP\x1bOQ\x1bOR\x1bOS", {"K3B00/00", "K3C00/00", "K3D00/00", "K3E00/00"}},
    {"\x1b[11~\x1b[15~\x1b[17~\x1b[21~", {"K3B00/00", "K3F00/00", "K4000/00", "K4400/00"}},
    {"\x1b[23~\x1b[24~", {"K8500/00", "K8600/00"}},
    {"\x1b[[A\x1b[[E", {"K3B00/00", "K3F00/00"}},
    // Modifiers.
    {"\x1b[1;5C\x1b[1;5D", {"K7400/04", "K7300/04"}},
    {"\x1b[2;5~\x1b[2;2~", {"K9200/04", "K0500/03"}},
    {"\x1b[Z", {"K0F00/03"}},
    {"\x1b[15;2~\x1b[1;3P", {"K5800/03", "K6800/08"}},
    {"\x1bO5C", {"K7400/04"}},
    {"\x1bOd\x1b[2^\x1b[2$", {"K7300/04", "K9200/04", "K0500/03"}},
    // Keys a plain terminal cannot tell apart, from terminals that can.
    {"\x1b[109;5u\x1b[27;5;105~", {"K320D/04", "K1709/04"}},
    // The numeric keypad in application mode.
    {"\x1bOk\x1bOm\x1bOM", {"K4E2B/00", "K4A2D/00", "K1C0D/00"}},
    // Alt as an Esc in front.
    {"\x1b" "a\x1b" "A\x1b" "1", {"K1E00/08", "K1E00/2B", "K7800/08"}},
    {"\x1b\x7f", {"K0E00/08"}},
    // Mouse: SGR presses and releases, X10 reports.
    {"\x1b[<0;3;4M\x1b[<0;3;4m", {"M1@3,4", "M0@3,4"}},
    {"\x1b[<2;80;25M\x1b[<1;1;1M", {"M2@80,25", "M4@1,1"}},
    {"\x1b[<64;3;4M\x1b[<32;3;4M\x1b[<0;81;4M\x1b[<0;3;26M", {}},
    {"\x1b[M #$\x1b[M##$", {"M1@3,4", "M0@3,4"}},
    // Bracketed paste, converted to CP852.
    {"\x1b[200~Zażółć gęślą\x1b[201~x", {"P:Zażółć gęślą", "K2D78/00"}},
    {"\x1b[200~\x1b[201~", {}},
    {"\x1b[200~a\x1b[A\rb\x1b[201~", {"P:a\x1b[A\rb"}},
    // Replies and noise give nothing and swallow nothing after them.
    {"\x1b[?1;2c\x1b[>0;1;2c\x1b[I\x1b[Ox", {"K2D78/00"}},
    {"\xff" "a\xc3" "b", {"K1E61/00", "K3062/00"}},
    {"😀a", {"K1E61/00"}},
};

TEST(InputParser, SequencesWholeAndByteByByte) {
  for (const Case& c : kCases) {
    const std::string in = c.input;
    InputParser whole;
    whole.Feed(in, 0);
    EXPECT_EQ(Drain(whole), c.expected) << "whole: " << testing::PrintToString(in);
    EXPECT_EQ(whole.MsUntilExpiry(0), -1) << testing::PrintToString(in);

    InputParser bytes;
    Events got;
    for (char ch : in) {
      bytes.Feed(&ch, 1, 0);
      for (auto& e : Drain(bytes)) got.push_back(e);
    }
    EXPECT_EQ(got, c.expected) << "bytewise: " << testing::PrintToString(in);
  }
}

TEST(InputParser, LoneEscWaitsItsDelay) {
  InputParser p(50);
  p.Feed("\x1b", 1000);
  EXPECT_FALSE(p.HasEvent());
  EXPECT_EQ(p.MsUntilExpiry(1010), 40);
  p.Expire(1049);
  EXPECT_FALSE(p.HasEvent());
  EXPECT_EQ(p.MsUntilExpiry(1060), 0);
  p.Expire(1050);
  EXPECT_EQ(Drain(p), (Events{"K011B/00"}));
  EXPECT_EQ(p.MsUntilExpiry(1060), -1);

  // The rest of a sequence within the delay completes it.
  p.Feed("\x1b", 2000);
  p.Feed("[1;5", 2030);
  p.Expire(2040);
  p.Feed("C", 2045);
  EXPECT_EQ(Drain(p), (Events{"K7400/04"}));

  // Esc pressed twice: the first is settled at once, the second waits.
  p.Feed("\x1b\x1b", 3000);
  EXPECT_EQ(Drain(p), (Events{"K011B/00"}));
  p.Expire(3050);
  EXPECT_EQ(Drain(p), (Events{"K011B/00"}));

  // Keys typed after the Esc in the same read are keys of their own.
  p.Feed("\x1b\x1b[A", 4000);
  EXPECT_EQ(Drain(p), (Events{"K011B/00", "K4800/00"}));
}

TEST(InputParser, CutOffSequencesAreDroppedNotTyped) {
  InputParser p(50);
  p.Feed("\x1b[1;5", 0);
  p.Expire(100);
  EXPECT_EQ(Drain(p), Events{});
  p.Feed("C", 120);  // a late tail is an ordinary letter
  EXPECT_EQ(Drain(p), (Events{"K2E43/00"}));
  // Esc and '[' alone after the delay: Alt+[.
  p.Feed("\x1b[", 200);
  p.Expire(300);
  EXPECT_EQ(Drain(p), (Events{"K1A00/08"}));
  // A half UTF-8 character is dropped at the delay.
  p.Feed("\xc5", 400);
  p.Expire(500);
  p.Feed("a", 501);
  EXPECT_EQ(Drain(p), (Events{"K1E61/00"}));
}

TEST(InputParser, PasteAcrossReads) {
  InputParser p;
  const std::string text = "\x1b[200~zażółć\r\njaźń\x1b[201~";
  // Cut at every place, including inside a letter and inside the end mark.
  for (size_t cut = 1; cut < text.size(); ++cut) {
    p.Feed(text.substr(0, cut), 0);
    p.Feed(text.substr(cut), 1);
    EXPECT_EQ(Drain(p), (Events{"P:zażółć\r\njaźń"})) << cut;
  }
  // A paste left open by the terminal is closed after a quiet while.
  p.Feed("\x1b[200~abc", 10000);
  p.Expire(10500);
  EXPECT_FALSE(p.HasEvent());
  EXPECT_GT(p.MsUntilExpiry(10500), 0);
  p.Expire(12000);
  EXPECT_EQ(Drain(p), (Events{"P:abc"}));
  p.Feed("x", 12001);
  EXPECT_EQ(Drain(p), (Events{"K2D78/00"}));
}

TEST(InputParser, HugePasteIsCappedAtACharacterBoundary) {
  InputParser p;
  std::string body;
  while (body.size() < InputParser::kMaxPaste + 100) body += "ł";
  p.Feed("\x1b[200~" + body + "\x1b[201~", 0);
  ConsoleEvent ev;
  ASSERT_TRUE(p.Next(ev));
  EXPECT_EQ(ev.kind, ConsoleEvent::Paste);
  EXPECT_EQ(ev.text.size(), InputParser::kMaxPaste / 2);
  EXPECT_EQ(ev.text.find('?'), std::string::npos);
  EXPECT_FALSE(p.Next(ev));
}

TEST(InputParser, DroppingEventsKeepsASequenceInFlight) {
  InputParser p;
  p.Feed("abc\x1b[1;", 0);
  p.DropEvents();
  p.Feed("5C", 1);
  EXPECT_EQ(Drain(p), (Events{"K7400/04"}));
}

}  // namespace
}  // namespace qm
