#pragma once
// The module loader's command on Win32: the first-run welcome and Options dialog, then the
// module loader dialog, owned by the host's main window, in the common controls version 6 and
// per-monitor DPI awareness; in a host without windows, the message that a GUI host is needed.
namespace qm {
class LoaderContext;
}

namespace qm::ui::win32 {

void RunModuleLoaderCommand(LoaderContext& context);

}  // namespace qm::ui::win32
