// Code page 852 <-> Unicode. The program keeps every text as CP852 bytes,
// as the package's data files hold them; conversion happens only at the
// edges (terminal, host file names) and for the program's own literals.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Unicode code point drawn for a CP852 byte. Codes 0x01-0x1F and 0x7F map to
// their PC glyphs (smileys, arrows, house), so a cell never carries a raw
// control character to the terminal; 0x00 is a blank.
char32_t Cp852ToUnicode(uint8_t code);

// CP852 byte for a code point; false when the code page has no such letter.
// The PC glyphs of the low codes map back to their codes.
bool UnicodeToCp852(char32_t cp, uint8_t& code);

// UTF-8 text -> CP852 bytes; unmappable characters become '?'.
std::string Utf8ToCp852(std::string_view utf8);

// CP852 bytes -> UTF-8. With glyphs, control codes turn into their PC glyphs
// (screen output); without, 0x00-0x1F and 0x7F pass through unchanged
// (file names, log files).
std::string Cp852ToUtf8(std::string_view cp852, bool glyphs = false);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes one UTF-8 sequence at text[pos]; advances pos. Malformed input
// yields U+FFFD and advances by one byte.
char32_t DecodeUtf8(std::string_view text, size_t& pos);

// The program's Polish texts are written readably (UTF-8) in the sources;
// Pl() gives their CP852 form.
inline std::string Pl(std::string_view utf8) { return Utf8ToCp852(utf8); }

}  // namespace qm
