#include "tui/tui_state.h"

#include "platform/process.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/log_window.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {

void InitScreenLayer() {
  ColourSet set = kDefaultColours;
  if (ColourFile(set, false))
    RestoreColours(set);
  else
    RestoreColours(kDefaultColours);
  ResetFormState();
  SoundOff = GetEnvVar("QMSOUND") == "OFF";
  InitControlColours();
}

void ResetTuiState() {
  ResetScreenState();
  ResetEventState();
  ResetFormState();
  InitControlColours();
  ResetInputBoxWidth();
  ResetLogWindow();
}

}  // namespace qm
