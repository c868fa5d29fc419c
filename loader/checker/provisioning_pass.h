#pragma once
// What stays the same for one provisioning pass, asked once per pass: the installation,
// user-data and application-data paths and the language, the current user's kernel-services
// values that the set-up reads before every menu, and the listings of the installation's menu
// folders (with the existence of paths the pass does not change). A pass is one start-up's
// bring-up, which gives it the values it has already read, or one menu list or checker call,
// which asks for each at its first use. Nothing is carried from one pass to the next, so a
// change between passes is always seen.
//
// Not thread-safe: one thread uses a pass from creation to destruction.
#include <optional>
#include <string>

#include <qmsys/folder_index.h>

namespace qmreg {
struct Value;
}

namespace qm {

class ProvisioningPass {
public:
    // The kernel-services key as the set-up reads it. A store that cannot be used reads as a
    // missing key; a value that cannot be read, as a missing value.
    struct KernelServices {
        bool keyExists = false;
        std::optional<std::string> language;       // present only when a string value
        std::optional<std::string> currentConfig;  // likewise
    };

    // The environment the pass works in.
    struct Environment {
        std::string appPath;       // QmEnGetAppPath()
        std::string userDataPath;  // QmEnGetUserDataPath()
        std::string appDataPath;   // QmEnGetAppDataPath()
        std::string language;      // QmEnGetLanguageCode()
    };

    // Asks for each value at its first use.
    ProvisioningPass();
    // With what a start-up has read already; kernel, when not given, is read at the first use.
    ProvisioningPass(Environment environment, std::optional<KernelServices> kernel);
    ~ProvisioningPass();
    ProvisioningPass(const ProvisioningPass&) = delete;
    ProvisioningPass& operator=(const ProvisioningPass&) = delete;

    qmsys::FolderIndex& index() { return index_; }
    const std::string& appPath();
    const std::string& userDataPath();
    const std::string& appDataPath();
    const std::string& language();
    // Given by the start-up, or read at the first call.
    const KernelServices& kernelServices();
    // Reads the kernel-services key, in one read transaction of the current user's store (or
    // in the caller's open one).
    static KernelServices readKernelServices();

    // folder (the user's menus folder, which the pass never removes) opened for the rest of
    // the pass, so that the copies in it are looked up by name (not open when it cannot be
    // opened). Keeps the last folder asked for; the pointer is good until the next call.
    const qmsys::FolderHandle* folder(const std::string& folder);

private:
    qmsys::FolderIndex index_;
    std::optional<std::string> appPath_;
    std::optional<std::string> userDataPath_;
    std::optional<std::string> appDataPath_;
    std::optional<std::string> language_;
    std::optional<KernelServices> kernelServices_;
    std::string openFolderPath_;
    qmsys::FolderHandle openFolder_;
};

}  // namespace qm
