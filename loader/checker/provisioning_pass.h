#pragma once
// What stays the same for one provisioning pass, asked once per pass: the listings of the
// installation's menu folders (with the existence of paths the pass does not change), the
// application-data folder, and the current user's kernel-services values that the set-up reads
// before every menu. A pass is one start-up's bring-up or one menu list; nothing is carried
// from one pass to the next, so a change between passes is always seen.
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

    ProvisioningPass();
    ~ProvisioningPass();
    ProvisioningPass(const ProvisioningPass&) = delete;
    ProvisioningPass& operator=(const ProvisioningPass&) = delete;

    qmsys::FolderIndex& index() { return index_; }
    // QmEnGetAppDataPath(), asked at the first call.
    const std::string& appDataPath();
    // Read at the first call, in one read transaction of the current user's store.
    const KernelServices& kernelServices();

    // folder (the user's menus folder, which the pass never removes) opened for the rest of
    // the pass, so that the copies in it are looked up by name (not open when it cannot be
    // opened). Keeps the last folder asked for; the pointer is good until the next call.
    const qmsys::FolderHandle* folder(const std::string& folder);

private:
    qmsys::FolderIndex index_;
    std::optional<std::string> appDataPath_;
    std::optional<KernelServices> kernelServices_;
    std::string openFolderPath_;
    qmsys::FolderHandle openFolder_;
};

}  // namespace qm
