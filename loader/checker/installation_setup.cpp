#include "checker/installation_setup.h"

#include <optional>

#include <qmreg/registry.h>
#include <qmsys/files.h>
#include <qmsys/folder_index.h>
#include <qmsys/text.h>

#include "checker/checker_messages.h"
#include "checker/start_up_checker_lib.h"
#include "environment/names.h"

namespace qm {
namespace {

namespace msg = checker_messages;

const std::string kKernelServicesKey(names::kKernelServicesKey);
constexpr std::size_t kValueBufferChars = 512;

// The current user's hive, or null when its store cannot be used. Not swallowed: the pass
// then reports the kernel services key as not found, which is what the checker's report
// (and the diagnostic log it reaches) can say about an unusable store.
qmreg::Hive* currentUserHive() {
    try {
        return &qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    } catch (const qmreg::StoreError&) {
        return nullptr;
    }
}

// The root and the configuration file do not change during a pass: asked once per pass.
bool pathExists(const StartUpCheckerLib& checker, const std::string& path) {
    qmsys::FolderIndex* index = checker.FolderIndex();
    return index ? index->exists(path) : qmsys::fileExists(path);
}

bool kernelServicesKeyExists(qmreg::Hive* hive) {
    try {
        return hive && hive->keyExists(kKernelServicesKey);
    } catch (const qmreg::StoreError&) {
        return false;  // reported by the caller as a missing key
    }
}

}  // namespace

bool InstallationSetup::Run() {
    qmreg::Hive* hive = currentUserHive();
    // The set-up's handful of reads (run once per menu) in one read transaction, all from one
    // query of the key they read: one lock round trip and one query instead of one per read.
    // It takes no write lock and nothing is written here.
    std::optional<qmreg::Hive::Transaction> reads;
    if (hive) {
        try {
            reads.emplace(*hive, qmreg::Hive::Transaction::Kind::Reads);
            hive->prefetch(kKernelServicesKey);
        } catch (const qmreg::StoreError&) {
            reads.reset();  // read one by one, as without it
        }
    }
    if (!kernelServicesKeyExists(hive)) {
        checker_.AppendReport("\n" + checker_.MessageText(msg::kRegKeyNotFound) + ": \"" +
                              checker_.MessageText(msg::kHkeyCurrentUser) + "\\" +
                              kKernelServicesKey + "\"");
        return checker_.Report().empty();
    }

    std::string root = checker_.RootDirectory();
    if (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    checker_.SetRootDirectory(root);
    if (!pathExists(checker_, root)) {
        checker_.AppendReport("\n\n" + checker_.MessageText(msg::kCantSetRootDir));
        return checker_.Report().empty();
    }

    std::string language;
    if (!ReadStringValue(*hive, std::string(names::kValueLanguage), language)) {
        return checker_.Report().empty();
    }
    checker_.SetLanguage(language);
    std::string config;
    if (!ReadStringValue(*hive, std::string(names::kValueCurrentConfig), config)) {
        return checker_.Report().empty();
    }
    checker_.SetCurrentConfig(config);
    CheckConfigurationFile();
    return checker_.Report().empty();
}

bool InstallationSetup::ReadStringValue(qmreg::Hive& hive, const std::string& name,
                                        std::string& out) {
    std::optional<qmreg::Value> value;
    try {
        value = hive.getValue(kKernelServicesKey, name);
    } catch (const qmreg::StoreError&) {
        value.reset();  // reported below as a value not found
    }
    if (value && value->isString()) {
        std::string text = value->asString();
        if (qmsys::utf16Length(text) < kValueBufferChars) {
            out = std::move(text);
            return true;
        }
    }
    checker_.AppendReport("\n" + checker_.MessageText(msg::kRegStringValue) + " " +
                          checker_.MessageText(msg::kNotFound) + ": \"" +
                          checker_.MessageText(msg::kHkeyCurrentUser) + "\\" + kKernelServicesKey +
                          "\\" + name + "\"");
    return false;
}

bool InstallationSetup::CheckConfigurationFile() {
    qmreg::Hive* hive = currentUserHive();
    if (!kernelServicesKeyExists(hive)) {
        checker_.AppendReport("\n" + checker_.MessageText(msg::kMissingRegistryKey) + ": " +
                              checker_.MessageText(msg::kHkeyCurrentUser) + "\"" +
                              kKernelServicesKey + "\"");
        return false;
    }
    std::string config;
    if (!ReadStringValue(*hive, std::string(names::kValueCurrentConfig), config)) {
        return false;
    }
    const std::string file =
        checker_.RootDirectory() + "/" + std::string(names::kCheckerConfigFile);
    if (pathExists(checker_, file)) {
        return true;
    }
    checker_.AppendReport("\n" + checker_.MessageText(msg::kMissingConfigurationFile) + ": \"" +
                          file + "\"");
    return false;
}

}  // namespace qm
