#include "driver/command_line.h"

#include "base/cp852.h"
#include "base/program_version.h"
#include "platform/backend.h"
#include "platform/process.h"
#include "run/run_settings.h"

namespace qm {
namespace {

enum class OptionKind : uint8_t { Help, Version, Undo };

struct Option {
  const char* spelling;
  OptionKind kind;
};

// Compared without regard to case, like the program's older switches.
constexpr Option kOptions[] = {
    {"--help", OptionKind::Help},   {"-h", OptionKind::Help},      {"--version", OptionKind::Version},
    {"--undo", OptionKind::Undo},   {"/COFNIJ", OptionKind::Undo}, {"-COFNIJ", OptionKind::Undo},
};


char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

const Option* FindOption(const std::string& arg) {
  for (const Option& o : kOptions) {
    if (SameNoCase(arg, o.spelling)) return &o;
  }
  return nullptr;
}

// A first argument holding "?" belongs to the usage screen, "--?" included.
bool IsUnknownOption(const std::string& arg, size_t index) {
  if (arg.compare(0, 2, "--") != 0) return false;
  return index != 0 || arg.find('?') == std::string::npos;
}

}  // namespace

bool IsUndoSwitch(const std::string& arg) {
  const Option* o = FindOption(arg);
  return o && o->kind == OptionKind::Undo;
}

CommandLineVerdict ReadCommandLine(const std::vector<std::string>& args) {
  CommandLineVerdict verdict;
  for (size_t i = 0; i < args.size(); ++i) {
    if (const Option* o = FindOption(args[i])) {
      if (o->kind == OptionKind::Undo) {
        UndoRequested = true;
        continue;
      }
      verdict.answer = o->kind == OptionKind::Help ? CommandLineAnswer::Help : CommandLineAnswer::Version;
      return verdict;
    }
    if (IsUnknownOption(args[i], i)) {
      verdict.answer = CommandLineAnswer::UnknownOption;
      verdict.option = args[i];
      return verdict;
    }
  }
  return verdict;
}

bool AnswerCommandLine(int& exitCode) {
  const CommandLineVerdict verdict = ReadCommandLine(CommandArgs());
  switch (verdict.answer) {
    case CommandLineAnswer::Help:
      WriteStdStream(StdStream::Output, UsageText());
      exitCode = kExitDone;
      return true;
    case CommandLineAnswer::Version:
      WriteStdStream(StdStream::Output, std::string("qm19-20 ") + ProgramVersion() + "\n");
      exitCode = kExitDone;
      return true;
    case CommandLineAnswer::UnknownOption:
      WriteStdStream(StdStream::Error,
                     "qm19-20: nieznana opcja " + Cp852ToUtf8(verdict.option) + " (opis: qm19-20 --help)\n");
      exitCode = kExitCannotStart;
      return true;
    default:
      return false;
  }
}

}  // namespace qm
