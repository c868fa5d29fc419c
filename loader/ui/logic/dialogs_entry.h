#pragma once
// The dialogs of the module loader are a module of their own (kDialogsModuleName with the
// system's module suffix, beside the module loader's ARX) so that a host that never opens them
// never maps the widget libraries. The ARX opens it on the first run of its command and calls its
// one export, which runs the command's dialogs on the loader context the ARX owns. The module keeps
// no state of its own between runs: everything that outlives a run is in that context or in the
// platform's shared libraries.
#include <string_view>

namespace qm {
class LoaderContext;
}

namespace qm::ui {

inline constexpr std::string_view kDialogsModuleName = "QmModuleLoaderUi";
inline constexpr const char* kDialogsEntryName = "qmRunModuleLoaderDialogs";
using DialogsEntryFn = void (*)(LoaderContext& context);

}  // namespace qm::ui
