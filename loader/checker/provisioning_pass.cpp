#include "checker/provisioning_pass.h"

#include <qmenv/environment.h>
#include <qmreg/registry.h>

#include <utility>

#include "environment/names.h"

namespace qm {
namespace {

std::optional<std::string> stringValue(qmreg::Hive& hive, std::string_view name) {
    try {
        const std::optional<qmreg::Value> value = hive.getValue(names::kKernelServicesKey, name);
        if (value && value->isString()) {
            return value->asString();
        }
    } catch (const qmreg::StoreError&) {
        // reported by the set-up as a value not found
    }
    return std::nullopt;
}

}  // namespace

ProvisioningPass::KernelServices ProvisioningPass::readKernelServices() {
    KernelServices result;
    qmreg::Hive* hive = nullptr;
    try {
        hive = &qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    } catch (const qmreg::StoreError&) {
        return result;  // an unusable store: the key reads as missing
    }
    // The three reads in one read transaction: one lock round trip and one consistent view.
    // Not prefetched, and ended by a commit rather than a rollback: a prefetch would replace,
    // and a rollback drop, the copy of a larger subtree the connection keeps from the settings
    // read, freeing it on the way; three reads once a pass cost less.
    std::optional<qmreg::Hive::Transaction> reads;
    try {
        reads.emplace(*hive, qmreg::Hive::Transaction::Kind::Reads);
    } catch (const qmreg::StoreError&) {
        reads.reset();  // read one by one, as without it
    }
    try {
        result.keyExists = hive->keyExists(names::kKernelServicesKey);
    } catch (const qmreg::StoreError&) {
        return result;  // reported by the set-up as a missing key
    }
    if (result.keyExists) {
        result.language = stringValue(*hive, names::kValueLanguage);
        result.currentConfig = stringValue(*hive, names::kValueCurrentConfig);
    }
    try {
        if (reads) {
            reads->commit();
        }
    } catch (const qmreg::StoreError&) {
        // nothing was written: ending it either way is the same
    }
    return result;
}

ProvisioningPass::ProvisioningPass() = default;

ProvisioningPass::ProvisioningPass(Environment environment, std::optional<KernelServices> kernel)
    : appPath_(std::move(environment.appPath)),
      userDataPath_(std::move(environment.userDataPath)),
      appDataPath_(std::move(environment.appDataPath)),
      language_(std::move(environment.language)),
      kernelServices_(std::move(kernel)) {}

ProvisioningPass::~ProvisioningPass() = default;

const qmsys::FolderHandle* ProvisioningPass::folder(const std::string& folder) {
    if (folder != openFolderPath_) {
        openFolderPath_ = folder;
        openFolder_ = qmsys::FolderHandle::open(folder);
    }
    return &openFolder_;
}

namespace {

const std::string& askedOnce(std::optional<std::string>& value, std::string (*ask)()) {
    if (!value) {
        value = ask();
    }
    return *value;
}

}  // namespace

const std::string& ProvisioningPass::appPath() {
    return askedOnce(appPath_, &QmEnGetAppPath);
}

const std::string& ProvisioningPass::userDataPath() {
    return askedOnce(userDataPath_, &QmEnGetUserDataPath);
}

const std::string& ProvisioningPass::appDataPath() {
    return askedOnce(appDataPath_, &QmEnGetAppDataPath);
}

const std::string& ProvisioningPass::language() {
    return askedOnce(language_, &QmEnGetLanguageCode);
}

const ProvisioningPass::KernelServices& ProvisioningPass::kernelServices() {
    if (!kernelServices_) {
        kernelServices_ = readKernelServices();
    }
    return *kernelServices_;
}

}  // namespace qm
