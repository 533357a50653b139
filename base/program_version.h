// The program's version number. There is one, in the build's project()
// line; the build hands it to program_version.cpp alone, so that --version,
// the help text and the run reports show the same number and a new number
// rebuilds one file.
#pragma once

namespace qm {

// Three numbers joined by dots, such as "1.6.0".
const char* ProgramVersion();

}  // namespace qm
