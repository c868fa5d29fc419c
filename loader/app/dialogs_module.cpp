#include "app/dialogs_module.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>
#include <qmenv/environment.h>

#include <dlfcn.h>

#include <string>

#include "environment/names.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"

namespace qm {
namespace {

// The folder of the file this code is linked into (the ARX), with its trailing slash; "" when
// the system cannot say.
std::string ownFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    const std::string file = info.dli_fname;
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
    const std::string path = folder + ui::kDialogsModuleFile;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    void* entry = module != nullptr ? ::dlsym(module, ui::kDialogsEntryName) : nullptr;
    if (entry == nullptr) {
        const char* why = ::dlerror();
        reason = why != nullptr ? why : path;
        return nullptr;
    }
    return reinterpret_cast<ui::DialogsEntryFn>(entry);
}

void printLine(ui::StringId id, const std::string& detail) {
    QmEnResourceLoader resources(std::string(names::kResourceModule).c_str());
    resources.Activate(nullptr);
    const std::string text = ui::ResourceString(id);
    if (detail.empty()) {
        acutPrintf("%s\n", text.c_str());
    } else {
        acutPrintf("%s (%s)\n", text.c_str(), detail.c_str());
    }
}

}  // namespace

void DialogsModule::runCommand(LoaderContext& context) {
    if (!cadhost::hasGui()) {
        printLine(ui::StringId::NeedsGuiHost, {});
        return;
    }
    if (entry_ == nullptr) {
        std::string reason;
        entry_ = openDialogs(reason);
        if (entry_ == nullptr) {
            printLine(ui::StringId::DialogsNotLoaded, reason);
            return;
        }
    }
    entry_(context);
}

}  // namespace qm
