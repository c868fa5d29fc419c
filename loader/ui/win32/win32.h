#pragma once
// <windows.h> for the view. The host's headers declare constants with the names of Windows
// macros (MB_OK, S_OK, IDOK, ...), so they are read first, and the view reaches the host's
// services through host_bridge.h, whose source does not see <windows.h>.
#include <cadhost/arx.h>
#include <cadhost/automation.h>
#include <cadhost/services.h>
// After the host's headers.
#include <windows.h>
