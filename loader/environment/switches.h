#pragma once
// The environment variables that switch the loader's behaviour for users and tests. This is
// the one place in the loader that reads the process's environment (the environment library
// reads the installation's); a start-up asks each switch once (BringUp).
#include <string>

namespace qm::switches {

// QM_LOG: the diagnostic log's file, or "" when there is no log.
std::string logFile();
// QM_SAFE_MODE=1 (that value only): no module is brought up in this session.
bool safeMode();
// QM_NO_SNAPSHOT=1 (that value only): the catalogue reads every definition, and keeps no
// snapshot.
bool noSnapshot();

}  // namespace qm::switches
