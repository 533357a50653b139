// The global transfer: the files every company shares, from the 2019 global
// subdirectory (#BIN990 or the one chosen on page 4) into #BIN020, by the
// table of global items.
#pragma once

namespace qm {

void TransferGlobalData();

}  // namespace qm
