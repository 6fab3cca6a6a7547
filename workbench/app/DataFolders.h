#pragma once

#include "model/Sections.h"

namespace torvex {

// The user's data folder + "/Logs" and "/Reports": where new scenarios log and report unless
// the tester chooses otherwise (an installed program's own folder is not writable).
DefaultFolders userDataFolders();

} // namespace torvex
