#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include <qmreg/registry.h>
#include <qmsys/environment.h>
#include <qmsys/files.h>
#include <qmsys/module.h>
#include <qmsys/user_folders.h>

#include "qm/version.h"
#include "qmenv/environment.h"
#include "reports_p.h"

namespace {

constexpr const char* kRegistryKey = "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION;
constexpr const char* kKernelServicesKey =
    "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Kernel Services";
constexpr const char* kProductFolder = "/Brenvik/Quillmont/" QM_PRODUCT_VERSION;
constexpr const char* kVersionNumber = QM_VERSION_NUMBER;

std::string env(const char* name) {
    return qmsys::environmentVariable(name).value_or("");
}

constexpr const char* kConfigValue = "Current Config";
constexpr const char* kLanguageValue = "Language";
constexpr const char* kDefaultConfig = "Default";
constexpr const char* kDefaultLanguage = "enu";

// A brand-new user has no kernel-services values. Both are written with their defaults the
// first time either is found missing, as a per-user installation step would, so that
// components reading the key directly (the installation checker) find a complete set-up.
void writeMissingKernelDefaults() {
    try {
        qmreg::Hive& thread = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        // Inside a caller's Reads transaction (a start-up reading ahead) nothing is written
        // through the thread's connection, which would take the write lock for the rest of the
        // caller's reads and drop what they prefetched: the defaults go through a connection
        // of their own, which the write-ahead log lets commit beside the open reads.
        std::optional<qmreg::Hive> own;
        qmreg::Hive& hive = thread.inReads() ? own.emplace(thread.file()) : thread;
        qmreg::Hive::Transaction transaction(hive);
        if (!hive.createKey(kKernelServicesKey)) {
            return;
        }
        for (const auto& [name, fallback] : {std::pair{kConfigValue, kDefaultConfig},
                                             std::pair{kLanguageValue, kDefaultLanguage}}) {
            // Only absent values: a value of the wrong type is the user's, not ours to replace.
            if (!hive.getValue(kKernelServicesKey, name)) {
                hive.setValue(kKernelServicesKey, qmreg::Value::string(name, fallback));
            }
        }
        transaction.commit();
    } catch (const qmreg::StoreError& e) {
        // The defaults still apply; the store's problem (a damaged file, a full disk) is
        // reported, once, like every store problem of this library.
        qmenv::detail::reportOnce(e.what());
    }
}

enum class EmptyValue { Fallback, Kept };

// A string from the kernel services key, or fallback when it is missing (or, with
// EmptyValue::Fallback, empty).
std::string kernelSetting(const char* name, const char* fallback, EmptyValue empty) {
    QmEnWinRegistry registry;
    std::string value;
    bool present = false;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, kKernelServicesKey, false)) {
        present = registry.ReadString(name, value);
    }
    if (!present) {
        writeMissingKernelDefaults();
        return fallback;
    }
    return value.empty() && empty == EmptyValue::Fallback ? fallback : value;
}

}  // namespace

std::string QmEnGetRegistryKey() {
    return kRegistryKey;
}

namespace {

// The sample installed with the product: <prefix>/share/quillmont/sample/, where this library
// lies in <prefix>/lib/quillmont/ (in <prefix>/bin/ on Windows, beside the programs). "" in the
// build tree, where no such folder exists.
std::string installedSample() {
#if defined(_WIN32)
    constexpr int kPartsBelowPrefix = 2;
#else
    constexpr int kPartsBelowPrefix = 3;
#endif
    // The loader names the library as it found it, "<prefix>/bin/../lib/quillmont/..." through
    // RUNPATH; after tidying (with '/' on every system), the prefix is what is left once the
    // last parts are gone.
    std::string prefix =
        qmsys::tidyPath(qmsys::moduleFileOf(reinterpret_cast<const void*>(&installedSample)));
    for (int part = 0; part < kPartsBelowPrefix; ++part) {
        const std::size_t slash = prefix.rfind('/');
        if (slash == std::string::npos)
            return {};
        prefix.resize(slash);
    }
    const std::string sample = prefix + "/share/quillmont/sample/";
    qmsys::FileAttributes attributes;
    return qmsys::getFileAttributes(sample, attributes) == qmsys::kErrorSuccess &&
                   attributes.directory
               ? sample
               : std::string();
}

}  // namespace

namespace {

// A relative QM_APP_PATH names a folder below the one the process started in. Left relative,
// every join would resolve it afresh, and a path built from it and resolved against it again
// names the installation twice over. It is made absolute the first time it is seen, and that
// answer holds for the rest of the process. When the current folder cannot be told (it was
// removed), the value is refused with a report and used as it is.
std::string absoluteAppPath(const std::string& path) {
    if (qmsys::isAbsolutePath(path))
        return path;
    static std::mutex mutex;
    static std::map<std::string, std::string> resolved;
    const std::lock_guard lock(mutex);
    if (const auto found = resolved.find(path); found != resolved.end())
        return found->second;
    std::string absolute;
    if (const qmsys::WinError error = qmsys::absolutePath(path, absolute);
        error != qmsys::kErrorSuccess) {
        qmenv::detail::reportOnce("QM_APP_PATH \"" + path +
                                  "\" is a relative path, and the current folder it is relative "
                                  "to cannot be found (error " +
                                  std::to_string(error) + "); set QM_APP_PATH to an absolute path");
        return path;
    }
    return resolved.emplace(path, std::move(absolute)).first->second;
}

}  // namespace

std::string QmEnGetAppPath() {
    std::string path = env("QM_APP_PATH");
    if (!path.empty())
        return absoluteAppPath(path);
    path = installedSample();
    return path.empty() ? QM_DEFAULT_APP_PATH : path;
}

std::string QmEnGetAppDataPath() {
    std::string appData = env("APPDATA");
    if (appData.empty())
        appData = qmsys::xdgFolder(qmsys::XdgFolder::Data);
    // Callers append "/Brenvik/...": a folder given as "/home/u/AppData/" must not double it.
    while (appData.size() > 1 && appData.back() == '/')
        appData.pop_back();
    return appData;
}

std::string QmEnGetUserDataPath() {
    std::string appData = QmEnGetAppDataPath();
    if (appData == "/")
        appData.clear();
    const std::string config = QmEnGetCurrentConfig();
    return appData + kProductFolder + (config.empty() ? "" : "/" + config);
}

// The configuration names the user's folder, which the installation checker builds from the
// stored value itself: an empty name is kept, so that both name the product folder.
std::string QmEnGetCurrentConfig() {
    return kernelSetting(kConfigValue, kDefaultConfig, EmptyValue::Kept);
}

std::string QmEnGetLanguageCode() {
    return kernelSetting(kLanguageValue, kDefaultLanguage, EmptyValue::Fallback);
}

std::string QmEnGetCurrentVersionNumber() {
    return kVersionNumber;
}

bool QmEnFileExist(const std::string& path, bool /*installed*/) {
    qmsys::FileAttributes attributes;
    return qmsys::getFileAttributes(path, attributes) == qmsys::kErrorSuccess &&
           !attributes.directory;
}
