#include "base/program_version.h"

#ifndef QM_VERSION
#error "QM_VERSION is given by the build from its project() version"
#endif

namespace qm {

const char* ProgramVersion() { return QM_VERSION; }

}  // namespace qm
