// A failure after which the run cannot go on. The conversion that meets it
// gives it back up to the driver, which decides: the box that names it and
// the end of the program. Nothing below the driver ends the program.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

enum class RunStopKind : uint8_t {
  None,
  GlobalSourceMissing,    // the 2019 global subdirectory is not there
  GlobalTargetNotMade,    // #BIN020 could not be made
  CompanyTextUnreadable,  // a company's FIRMATXT.INI could not be opened
};

struct RunStop {
  RunStopKind kind = RunStopKind::None;
  std::string path;  // the directory or file it concerns
  explicit operator bool() const { return kind != RunStopKind::None; }
};

}  // namespace qm
