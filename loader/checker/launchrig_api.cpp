#include "checker/launchrig_api.h"

#include <new>

#include "checker/menu_provisioner.h"
#include "checker/start_up_checker_impl.h"

namespace qm {
namespace {
const std::string kEmpty;
}

LaunchrigApi::LaunchrigApi() : impl_(new (std::nothrow) StartUpCheckerImpl(*this)) {}

LaunchrigApi::~LaunchrigApi() = default;

void LaunchrigApi::SetRootDirectory(const std::string& root) {
    if (impl_) {
        impl_->SetRootDirectory(root);
    }
}

void LaunchrigApi::SetPass(ProvisioningPass* pass) {
    if (impl_) {
        impl_->SetPass(pass);
    }
}

void LaunchrigApi::SetMessageFile(const std::string& file) {
    if (impl_) {
        impl_->SetMessageFile(file);
    }
}

bool LaunchrigApi::MenuCheck(const std::string& moduleFolder, const std::string& menuName) {
    return impl_ && MenuProvisioner(*impl_, false).Provision(moduleFolder, menuName);
}

bool LaunchrigApi::AcceptsMenuName(const std::string& menuName) {
    return MenuProvisioner::AcceptsMenuName(menuName);
}

bool LaunchrigApi::MenuUpdate(const std::string& moduleFolder, const std::string& menuName) {
    bool replaced = false;
    return MenuUpdate(moduleFolder, menuName, replaced);
}

bool LaunchrigApi::MenuUpdate(const std::string& moduleFolder, const std::string& menuName,
                              bool& replaced) {
    replaced = false;
    if (!impl_) {
        return false;
    }
    MenuProvisioner provisioner(*impl_, true);
    const bool provided = provisioner.Provision(moduleFolder, menuName);
    replaced = provisioner.Replaced();
    return provided;
}

const std::string& LaunchrigApi::Report() const {
    return impl_ ? impl_->Report() : kEmpty;
}

const std::string& LaunchrigApi::LastFailure() const {
    return impl_ ? impl_->LastFailure() : kEmpty;
}

}  // namespace qm
