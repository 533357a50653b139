// The Win32 console's input records as the program's events: key-down
// records as PC key codes with the BIOS keyboard state byte, mouse records
// as 1-based button events. Windows only.
#pragma once
#include <windows.h>

#include <string>

#include "platform/console.h"

namespace qm {

// False for records that give nothing: a lone Shift, Ctrl or Alt, a
// character the code page lacks.
bool TranslateConsoleKey(const KEY_EVENT_RECORD& key, ConsoleEvent& ev);
// False for wheel turns and for motion with no button held.
bool TranslateConsoleMouse(const MOUSE_EVENT_RECORD& mouse, ConsoleEvent& ev);

// The system clipboard as plain text (CP852 inside the program). Put is
// false when the clipboard cannot be had; Get gives the text up to its first
// control character, at most 255 characters, or nothing.
bool ClipboardPut(const std::string& cp852);
std::string ClipboardGet();

}  // namespace qm
