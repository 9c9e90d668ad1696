#pragma once
// The machine facts and identity store that this program hands to the
// reporting module: the identity record in the local-machine registry store,
// the root filesystem's UUID, the default route's adapter, the OS name.
#include "ReportConfig.h"

report::Host ProgramReportHost();
