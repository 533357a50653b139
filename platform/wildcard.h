// Wildcards of a directory search, read as a Win32 search reads them: "?"
// may match nothing before a dot or at the end of the name, "." before a
// wildcard or at the end of the pattern may match the end of a name, and "*"
// before a dot stops at the name's last dot ("*.*" matches every name, "*."
// the names without a dot). Both file-system backends match with these, so a
// search finds the same names on every host.
#pragma once
#include <string>
#include <vector>

namespace qm {

// The last component of a search pattern (CP852), upper-cased, with its
// wildcards turned into codes above 255, so any byte of a name can stand in
// a pattern.
std::vector<int> CompileWildcard(const std::string& pattern);

// Whether a name, upper-cased with PlUpperCase, matches a compiled pattern.
// Every pattern position is followed at once, so no pattern, however many
// stars it holds, costs more than pattern length times name length.
bool WildcardMatches(const std::vector<int>& compiled, const std::string& upperName);

}  // namespace qm
