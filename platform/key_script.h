// Key scripts: the unattended input of the scripted console (QMKEYS) and of
// the tests. Key names separated by blanks or line ends: PgDn PgUp F1..F10
// Enter Esc Space Tab S-Tab Up Down Left Right Home End Ins Del Bksp ^A..^Z
// Alt-A..Alt-Z, a quoted "text" types its characters (UTF-8 in the script),
// any other single character types itself.
#pragma once
#include <string>
#include <vector>

#include "platform/console.h"

namespace qm {

bool ParseKeyScript(const std::string& script, std::vector<ConsoleEvent>& events,
                    std::string& error);

}  // namespace qm
