#include "checker/installation_setup.h"

#include <qmsys/folder_index.h>
#include <qmsys/text.h>

#include "checker/checker_messages.h"
#include "checker/start_up_checker_lib.h"
#include "environment/names.h"
#include "environment/str_cat.h"

namespace qm {
namespace {

namespace msg = checker_messages;

constexpr std::size_t kValueBufferChars = 512;

}  // namespace

InstallationSetup::InstallationSetup(StartUpCheckerLib& checker, ProvisioningPass& pass)
    : checker_(checker), pass_(pass), kernel_(pass_->kernelServices()) {}

InstallationSetup::InstallationSetup(StartUpCheckerLib& checker)
    : checker_(checker), pass_(checker), kernel_(pass_->kernelServices()) {}

bool InstallationSetup::Run() {
    if (!kernel_.keyExists) {
        checker_.AppendReport(strCat({"\n", checker_.MessageText(msg::kRegKeyNotFound), ": \"",
                                      checker_.MessageText(msg::kHkeyCurrentUser), "\\",
                                      names::kKernelServicesKey, "\""}));
        return checker_.Report().empty();
    }

    std::string root = checker_.RootDirectory();
    if (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    checker_.SetRootDirectory(root);
    // The root and the configuration file do not change during a pass: asked once per pass.
    if (!pass_->index().exists(root)) {
        checker_.AppendReport("\n\n" + checker_.MessageText(msg::kCantSetRootDir));
        return checker_.Report().empty();
    }

    std::string language;
    if (!ReadStringValue(kernel_.language, names::kValueLanguage, language)) {
        return checker_.Report().empty();
    }
    checker_.SetLanguage(language);
    std::string config;
    if (!ReadStringValue(kernel_.currentConfig, names::kValueCurrentConfig, config)) {
        return checker_.Report().empty();
    }
    checker_.SetCurrentConfig(config);
    CheckConfigurationFile();
    return checker_.Report().empty();
}

bool InstallationSetup::ReadStringValue(const std::optional<std::string>& value,
                                        std::string_view name, std::string& out) {
    if (value && qmsys::utf16Length(*value) < kValueBufferChars) {
        out = *value;
        return true;
    }
    checker_.AppendReport(strCat({"\n", checker_.MessageText(msg::kRegStringValue), " ",
                                  checker_.MessageText(msg::kNotFound), ": \"",
                                  checker_.MessageText(msg::kHkeyCurrentUser), "\\",
                                  names::kKernelServicesKey, "\\", name, "\""}));
    return false;
}

bool InstallationSetup::CheckConfigurationFile() {
    if (!kernel_.keyExists) {
        checker_.AppendReport(strCat({"\n", checker_.MessageText(msg::kMissingRegistryKey), ": ",
                                      checker_.MessageText(msg::kHkeyCurrentUser), "\"",
                                      names::kKernelServicesKey, "\""}));
        return false;
    }
    std::string config;
    if (!ReadStringValue(kernel_.currentConfig, names::kValueCurrentConfig, config)) {
        return false;
    }
    const std::string file = strCat({checker_.RootDirectory(), "/", names::kCheckerConfigFile});
    if (pass_->index().exists(file)) {
        return true;
    }
    checker_.AppendReport("\n" + checker_.MessageText(msg::kMissingConfigurationFile) + ": \"" +
                          file + "\"");
    return false;
}

}  // namespace qm
