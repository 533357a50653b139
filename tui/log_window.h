// The progress log on the screen: rows 3 to 24 scroll under the two rows
// of the heading, with a shadow copy of the 25 rows and the log's cursor.
// The wizard's operator draws the run's log through it.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

// A text at the log's cursor; written from column 1 it shows at most 79
// characters, the rest is cut.
void DrawLogText(const std::string& text, uint8_t attr);
// The next row, or the log scrolled when it is at its last row.
void DrawLogLineEnd();
// Rows 3 to 25 cleared (whole: every row), the cursor at the top left.
void DrawLogCleared(bool whole);

// Shadow rows and cursor, for tests.
const std::string& LogShadowRow(int row);
int LogRow();
int LogColumn();
void ResetLogWindow();

}  // namespace qm
