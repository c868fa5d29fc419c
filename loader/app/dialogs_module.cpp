#include "app/dialogs_module.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>
#include <qmenv/environment.h>
#include <qmsys/module.h>

#include <string>
#include <string_view>

#include "environment/names.h"
#include "environment/path_util.h"
#include "runtime/loader_context.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"

namespace qm {
namespace {

constexpr std::string_view kLogCategory = "dialogs";

// The folder of the file this code is linked into (the ARX), with its trailing slash; "" when
// the system cannot say. Windows names the file with backslashes, which the loader's paths
// spell '/'.
std::string ownFolder() {
    const std::string file =
        path::normalizeSeparators(qmsys::moduleFileOf(reinterpret_cast<const void*>(&ownFolder)));
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// Opens the dialogs module; null with the reason on failure.
ui::DialogsEntryFn openDialogs(std::string& reason) {
    const std::string folder = ownFolder();
    if (folder.empty()) {
        reason = "the module loader's own file is unknown";
        return nullptr;
    }
    const std::string path =
        folder + std::string(ui::kDialogsModuleName) + std::string(qmsys::kModuleSuffix);
    const qmsys::Library module = qmsys::Library::open(path, reason);
    void* entry = module.symbol(ui::kDialogsEntryName, reason);
    return entry != nullptr ? reinterpret_cast<ui::DialogsEntryFn>(entry) : nullptr;
}

// The text of string id in the module loader's own (language-specific) resources.
std::string resourceText(ui::StringId id) {
    QmEnResourceLoader resources(names::kResourceModule);
    resources.Activate(nullptr);
    return ui::ResourceString(id);
}

}  // namespace

void DialogsModule::runCommand(LoaderContext& context) {
    if (!cadhost::hasGui()) {
        acutPrintf("%s\n", resourceText(ui::StringId::NeedsGuiHost).c_str());
        return;
    }
    if (entry_ == nullptr) {
        std::string reason;
        entry_ = openDialogs(reason);
        if (entry_ == nullptr) {
            // The user learns that the dialogs are missing; why is for whoever installs them.
            context.log().write(kLogCategory, "cannot be loaded: " + reason);
            cadhost::messageBox(acedGetAcadFrame(), resourceText(ui::StringId::DialogsNotLoaded),
                                names::kMessageCaption, cadhost::MB_OK | cadhost::MB_ICONERROR);
            return;
        }
    }
    entry_(context);
}

}  // namespace qm
