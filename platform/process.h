// Process-level services: command line, environment, program location and
// the way out. Everything the core needs from the process goes through here.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

// Arguments after the program name, CP852.
const std::vector<std::string>& CommandArgs();
void SetCommandArgs(std::vector<std::string> args);

// Environment variable as CP852, empty when unset.
std::string GetEnvVar(const std::string& name);

// The user's own directory for the program's side files, with a trailing
// separator: $XDG_CONFIG_HOME/qm19-20 (~/.config/qm19-20 when that is unset
// or not absolute) on POSIX, %APPDATA%\qm19-20 on Windows. Empty when the
// environment names no such place.
std::string UserConfigDir();

// Full path of the running program (CP852), as the host reports it.
std::string ProgramFilePath();
void SetProgramFilePath(std::string path);

// The program's exit codes.
enum ExitCode : int {
  kExitDone = 0,          // done, or ended by the operator before the transfer
  kExitFailed = 1,        // done, but something was not carried because of an error
  kExitCannotStart = 2,   // no terminal, a bad command line
  kExitScriptUsedUp = 3,  // the key script ended before the program
  kExitInUse = 4,         // the 2020 installation is used by another copy
  kExitDeclined = 5,      // repair or undo declined, or the run journal unreadable
  kExitFatalIO = 255,     // the serious I/O error
};

// Ends the program: restores the console, then exits with the code.
// Tests replace the final step with a hook (which typically throws).
[[noreturn]] void ExitProgram(int code);
void SetExitHook(std::function<void(int)> hook);

// Arguments and program path back to empty (tests).
void ResetProcessState();

// Program switches ("/EXC", "-kprspis:name"): the switch mark of either
// side is not compared.
enum class SwitchCase : uint8_t { Exact = 0, AnyCase = 1 };
bool HasSwitch(SwitchCase mode, const std::string& key);
// What follows the prefix in the first argument that starts with it.
std::string CommandLineValue(SwitchCase mode, const std::string& prefix);

// The program location strings (CP852, capacity 80).
extern std::string ProgramBase;  // full path without its last "." and what follows
extern std::string ProgramDir;   // ProgramBase up to its last separator
extern std::string StartDir;     // current directory at start
void InitProgramLocation();

}  // namespace qm
