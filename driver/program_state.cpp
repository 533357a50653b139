#include "driver/program_state.h"

#include "convert/company_transfer.h"
#include "driver/company_list.h"
#include "driver/safe_transfer.h"
#include "driver/wizard.h"
#include "driver/wizard_operator.h"
#include "fileio/shared_file.h"
#include "platform/process.h"
#include "run/package_config.h"
#include "run/progress_log.h"
#include "run/run_report.h"
#include "run/run_settings.h"
#include "tui/tui_state.h"

namespace qm {

void ResetProgramState() {
  ResetRunSettings();
  ResetProgressLog();
  ResetTuiState();
  ResetFileLayer();
  SetRunOperator(&WizardOperator());
  ResetPackageConfig();
  ResetConversionState();
  ResetCompanyTable();
  ResetProcessState();
  ResetWizardState();
  ResetSafeTransfer();
  ResetRunReport();
}

}  // namespace qm
