// Where the program's side files live: the path file (.PTH) and the list
// file (.LST), named after the program. They are looked for next to the
// program first, then in the user's own directory (UserConfigDir), so that
// a program installed where its user cannot write still keeps the paths
// page 1 saves; the path file is written next to the program when that
// directory takes it, else in the user's directory.
#pragma once
#include <string>
#include <vector>

#include "fileio/text_file.h"

namespace qm {

// The places of a side file with the extension given (".PTH"), in the
// order they are looked at.
std::vector<std::string> SideFilePlaces(const std::string& extension);

// Opens the first of the places that opens for reading; kOk, or the code
// of the last place tried.
int OpenSideFile(const std::string& extension, TextFile& file);

// Creates the side file next to the program, or, when that fails, in the
// user's directory (made if missing); kOk or the code of the last try.
int CreateSideFile(const std::string& extension, TextFile& file);

}  // namespace qm
