#pragma once
// <windows.h> for the host's window code, included after every header of the host's API: the
// API declares names that <windows.h> makes macros (MB_OK, S_OK, E_FAIL, ...), so their
// declarations come first, and the code that includes this uses the Windows meaning of those
// names from here on.
#include "cadhost/arx.h"
#include "cadhost/automation.h"
#include "cadhost/console_session.h"
#include "cadhost/front_end_rules.h"
#include "cadhost/host.h"
#include "cadhost/services.h"
// (Not sorted with the headers above.)
#include <windows.h>
// (After <windows.h>, which it needs.)
#include <commctrl.h>
