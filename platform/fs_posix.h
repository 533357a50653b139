// What the POSIX file system backend tells beyond the common interface.
#pragma once
#include <cstdint>

namespace qm {

// Directory listings read for case-insensitive lookups since the start:
// a directory that has settled is listed once, not for every miss.
uint64_t DirectoryListingsRead();

}  // namespace qm
