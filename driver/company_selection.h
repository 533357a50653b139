// Choosing the companies to carry: the recognition, then a list of every
// company that can be carried, all marked, whose marks the operator changes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "driver/company_list.h"
#include "tui/forms.h"

namespace qm {

// Commands of the selection dialog's hint line.
inline constexpr uint16_t CMD_TOGGLE = 0x00F0;  // Space
inline constexpr uint16_t CMD_ALL = 0x00F1;     // Ctrl+W
inline constexpr uint16_t CMD_NONE = 0x00F2;    // Ctrl+D

// Marks of the list: not selected / selected.
inline constexpr char kMarkOff = '\xFA';
inline constexpr char kMarkOn = '\xFE';

// The 52-character line of a company: name, mark, directory, the first 10
// characters of the info.
std::string CompanyLine(const CompanyEntry& entry);

// The selection dialog over slots 1..count; none when it does not fit.
std::unique_ptr<DialogForm> CompanyPickList(int32_t count);

// Recognition, then the dialog; true only when the operator started with F5
// (at least one company recognised).
bool ChooseCompanies(int32_t& count);

}  // namespace qm
