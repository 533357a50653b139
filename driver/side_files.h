// Where the program's side files live: the path file (.PTH) and the list
// file (.LST), named after the program. They are looked for next to the
// program first, then in the user's own directory (UserConfigDir), so that
// a program installed where its user cannot write still keeps the paths
// page 1 saves; the path file is written next to the program when that
// directory takes it, else in the user's directory.
//
// A program that lives in a directory of the system (/usr/bin, /opt, ...)
// writes nothing there, even when it could (run as root): its path file
// goes to the user's directory only, and the user's files are looked at
// first, so that what a user saved is what the next start reads even where
// an older path file stands next to the program.
#pragma once
#include <string>
#include <vector>

#include "fileio/text_file.h"

namespace qm {

// Whether a program directory (with its closing separator) lies in a
// directory of the system; never on Windows, where a program's own
// directory is used as it always was.
bool InSystemDirectory(const std::string& dir);

// The places of a side file with the extension given (".PTH"), in the
// order they are looked at.
std::vector<std::string> SideFilePlaces(const std::string& extension);

// Opens the first of the places that opens for reading; kOk, or the code
// of the last place tried.
int OpenSideFile(const std::string& extension, TextFile& file);

// Creates the side file next to the program (not in a system directory),
// or, when that fails, in the user's directory (made if missing); kOk or
// the code of the last try.
int CreateSideFile(const std::string& extension, TextFile& file);

}  // namespace qm
