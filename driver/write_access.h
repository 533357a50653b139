// Whether the run may write both trees, tried when page 1 is left forward:
// the transfer changes the 2019 journals and keeps its journal, copies and
// report in _QM1920, and a tree that refuses writes would otherwise fail
// every company one by one, each rolled back. One probe per tree, a file
// made and removed at once where the run writes first (_QM1920 when it
// exists, else the 2020 root; the 2019 root); a tree that refuses is named
// in a box with the system's reason, and page 1 stays.
#pragma once
#include <string>

namespace qm {

// The probe's name, in either tree for an instant; a probe left behind by
// a killed run is made again and removed by the next.
inline constexpr const char* kWriteProbeName = "~QM1920.TMP";

// The file layer's code of a failed probe in Polish words, for the box.
std::string WriteFailureReason(int code);

// Probes both trees (SourceRoot, TargetRoot); false after the box when
// either refuses.
bool CheckWriteAccess();

}  // namespace qm
