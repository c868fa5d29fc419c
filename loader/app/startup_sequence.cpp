#include "app/startup_sequence.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>
#include <qmenv/environment.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/bring_up.h"
#include "app/crash_guard.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_snapshot.h"
#include "catalogue/module_settings.h"
#include "catalogue/registry_batch.h"
#include "catalogue/store_writes.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "runtime/host_arx_loader.h"
#include "runtime/module_events.h"
#include "ui/logic/resource_strings.h"

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A store that can only be read still gives this start its settings, but nothing the user
// changes in this session can be kept. Said once per start-up, in the log and to the user.
void reportReadOnlyStore(LoaderContext& context) {
    std::string file;
    if (!RegistryBatch::storeIsReadOnly(&file)) {
        return;
    }
    context.log().write("settings", "the registry store " + file +
                                        " can only be read: settings cannot be saved in this "
                                        "session");
    cadhost::messageBox(acedGetAcadFrame(),
                        "Module settings cannot be saved: the registry store \"" + file +
                            "\" can only be read (its folder is write-protected or the disk is "
                            "full). The modules start with the settings read from it.",
                        names::kMessageCaption, cadhost::MB_ICONWARNING | cadhost::MB_OK);
}

// Records the configuration of this start, in the start-up's write transaction.
void recordConfiguration(const std::string& current, StoreWrites& writes) {
    if (const auto batch = writes.begin("recording the configuration")) {
        QmEnWinRegistry reg;
        if (reg.OpenKey(kQmEnHKeyCurrentUser, registry_layout::recentConfigKey(), true)) {
            reg.WriteString(names::kValueCurrentConfig, current);
        }
        batch->commit();
    }
}

// The start-up's writes, in one transaction after the reads: the configuration of this start,
// the base module's settings and the module keys the scan found missing. Returns false when
// the base module's key could not be opened (the caller tells the user once the transaction
// has ended, so that no lock is held while the message is read).
bool writeStartup(BringUp& bringUp, StoreWrites& writes) {
    const std::unique_ptr<RegistryBatch> batch = writes.begin("start-up writes");
    if (!batch) {
        return true;  // the store is busy: this start-up writes nothing more
    }
    recordConfiguration(bringUp.config(), writes);
    const bool baseWritten = storeBaseModuleSettings(&writes);
    bringUp.reads().createMissingKeys();
    batch->commit();
    return baseWritten;
}

std::string formatProfileLine(const ModuleRecord& record, double menusMs, double appsMs,
                              const char* outcome) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "  menus %8.1f ms  applications %8.1f ms  %s, %s", menusMs,
                  appsMs, record.GetStarted() ? "started" : "not started", outcome);
    return record.GetDisplayName() + " (" + record.GetKey() + ")" + buf + "\n";
}

// The module whose applications the host did not survive last time is left out of this start;
// the user hears why, once. Only a module that is skipped is reported: one that is no longer
// started with the host would not have started anyway. The base module is never skipped (see
// crash_guard.h), so the module named here is listed in the dialog.
void reportInterrupted(LoaderContext& context, const ModuleRecord& record) {
    const std::string& name =
        record.GetDisplayName().empty() ? record.GetKey() : record.GetDisplayName();
    context.log().write("startup", "module " + record.GetKey() +
                                       " not brought up: the host ended while starting its "
                                       "applications at the last start");
    cadhost::messageBox(
        acedGetAcadFrame(),
        "The module \"" + name +
            "\" was not started: the host ended while starting it last time. It will be "
            "started again at the next start, or load it now in the Module Loader dialog.",
        names::kMessageCaption, cadhost::MB_ICONWARNING | cadhost::MB_OK);
}

// Which definition of its key each record is: 0 for the first in catalogue order, 1 for the
// next, and so on.
std::vector<unsigned> keyOrdinals(const ModuleList& modules) {
    std::unordered_map<std::string_view, unsigned> seen;
    std::vector<unsigned> ordinals;
    ordinals.reserve(modules.size());
    for (const ModuleRecord& record : modules) {
        ordinals.push_back(seen[record.GetKey()]++);
    }
    return ordinals;
}

// The record the guard named: the definition at the same place among those of its key, under
// the same name; when the definitions changed since, the first of that key and name, else the
// first of that key. modules.size() when none has the key.
std::size_t namedRecord(const ModuleList& modules, const std::vector<unsigned>& ordinals,
                        const CrashGuard::Module& named) {
    std::size_t byName = modules.size();
    std::size_t byKey = modules.size();
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ModuleRecord& record = modules[i];
        if (record.GetKey() != named.key) {
            continue;
        }
        const bool sameName = record.GetDisplayName() == named.displayName;
        if (sameName && ordinals[i] == named.ordinal) {
            return i;
        }
        if (sameName && byName == modules.size()) {
            byName = i;
        }
        if (byKey == modules.size()) {
            byKey = i;
        }
    }
    return byName != modules.size() ? byName : byKey;
}

// Brings up every module that starts with the host. Returns whether the base module was among
// them (its key compared exactly). Each module's timing and failures go to the profile and,
// when enabled, the diagnostic log; nothing is reported to the user.
bool bringUpModules(LoaderContext& context, ProvisioningPass& provisioning, std::string& profile) {
    bool baseBroughtUp = false;
    const auto total = Clock::now();
    int count = 0;
    CrashGuard guard(CrashGuard::defaultFolder());
    std::optional<CrashGuard::Module> interrupted = guard.takeInterrupted();
    if (interrupted && interrupted->key == names::kBaseModuleKey) {
        interrupted.reset();  // never skipped
    }
    ModuleList& modules = context.modules();
    const std::vector<unsigned> ordinals = keyOrdinals(modules);
    const std::size_t skipped =
        interrupted ? namedRecord(modules, ordinals, *interrupted) : modules.size();
    for (std::size_t i = 0; i < modules.size(); ++i) {
        ModuleRecord& record = modules[i];
        if (!record.GetAutoStart()) {
            continue;  // also every module that is not activated
        }
        if (i == skipped) {
            reportInterrupted(context, record);
            continue;  // it took the host down last time; back at the next start
        }
        if (!record.GetDemandLoad() && !context.autostartOverride()) {
            record.StartModule();
        }
        auto start = Clock::now();
        // No registry transaction spans this: menu provisioning copies files and waits for the
        // menu protector.
        const bool menusOk = LoadModuleMenus(record, context.menus(), &provisioning);
        const double menusMs = msSince(start);
        start = Clock::now();
        guard.begin({record.GetKey(), record.GetDisplayName(), ordinals[i]});
        const bool appsOk = LoadApplications(record.GetApplications(), hostArxLoader());
        guard.end();
        const double appsMs = msSince(start);
        if (record.GetKey() == names::kBaseModuleKey) {
            baseBroughtUp = true;
        }
        const char* outcome = menusOk && appsOk     ? "ok"
                              : !menusOk && !appsOk ? "menus and applications failed"
                              : !menusOk            ? "menus failed"
                                                    : "applications failed";
        const std::string line = formatProfileLine(record, menusMs, appsMs, outcome);
        profile += line;
        context.log().write("startup", line.substr(0, line.size() - 1));
        ++count;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "Total: %d module(s) brought up in %.1f ms\n", count,
                  msSince(total));
    profile += buf;
    return baseBroughtUp;
}

// No module definition could be read: the one message of the sequence.
void reportEmptyCatalogue(const std::string& appPath, const std::string& errorText) {
    QmEnResourceLoader resources(names::kResourceModule.data());
    resources.Activate(nullptr);
    std::string text = ui::NoModulesMessage(appPath);
    if (!errorText.empty()) {
        text += "\n\n" + errorText;
    }
    cadhost::messageBox(acedGetAcadFrame(), text, names::kMessageCaption,
                        cadhost::MB_ICONERROR | cadhost::MB_OK);
}

}  // namespace

void RunStartupSequence(LoaderContext& context) {
    const auto started = Clock::now();
    StoreWrites writes(&context.log());

    reportReadOnlyStore(context);
    // Everything this start-up reads once, and the state it keeps while the modules come up.
    BringUp bringUp(&context.log(), &writes);
    const std::string& config = bringUp.config();

    CatalogueContext catalogue = MakeCatalogueContext(config, bringUp.language(), &context.log());
    catalogue.useSnapshot = bringUp.useSnapshot();
    catalogue.readSettings = true;
    const std::string folder = QmEnBuildFilename(names::kDefinitionsFolder, kQmEnBaseAppPath, 0);
    std::string errorText;
    bool baseBroughtUp = false;
    std::string profile;
    std::string phases;

    auto phase = Clock::now();
    auto notePhase = [&](const char* what) {
        char line[96];
        std::snprintf(line, sizeof line, "%s: %.1f ms\n", what, msSince(phase));
        phases += line;
        phase = Clock::now();
    };
    const bool found = LoadCatalogue(bringUp.reads(), catalogue, folder,
                                     names::kDefinitionExtension, context.modules(), errorText);
    if (found) {
        notePhase("Catalogue");
        // The settings were read with the catalogue; the base module's are forced below,
        // after the reads.
        applyBaseModuleSettings(context.modules());
    }
    // No registry transaction stays open while modules come up or the user reads a message.
    bringUp.endReads();
    if (!writeStartup(bringUp, writes)) {
        context.feedback().showMessage("Serious problems!!!!!", names::kMessageCaption);
    }
    // Product menu groups belong to the configuration they were loaded for, so after a change
    // (or on a user's first start) they all go. The comparison is exact: a change of letter
    // case counts.
    if (bringUp.recordedConfig() != config) {
        context.log().write("startup", "configuration changed from \"" + bringUp.recordedConfig() +
                                           "\" to \"" + config +
                                           "\": unloading product menu groups");
        context.menuGroups().UnloadProductMenuGroups();
    }
    if (found) {
        notePhase("Settings");
        context.setAutostartOverride(bringUp.autostartOverride());
        if (bringUp.safeMode()) {
            cadhost::messageBox(acedGetAcadFrame(),
                                "Safe mode: no module is brought up in this session. Unset "
                                "QM_SAFE_MODE to start modules with the host again.",
                                names::kMessageCaption,
                                cadhost::MB_ICONINFORMATION | cadhost::MB_OK);
            context.log().write("startup", "safe mode: modules not brought up");
            // The host restored the menus of the last session; a menu can bring a module's code
            // with it, so they go too, for this session only. Settings stay as they are, and
            // the next normal start brings the menus back with their modules.
            context.menus().UnloadStaleModuleMenus(context.modules());
        } else {
            baseBroughtUp = bringUpModules(context, bringUp.provisioning(), profile);
            notePhase("Modules brought up");
            context.menus().UnloadStaleModuleMenus(context.modules());
            notePhase("Stale menus removed");
        }
    } else {
        context.log().write("startup", "no module definition found in " + folder +
                                           (errorText.empty() ? "" : ": " + errorText));
        reportEmptyCatalogue(bringUp.appPath(), errorText);
    }

    context.menus().RemoveExtraMenu();
    context.menus().ProvideLoaderMenu(baseBroughtUp, &bringUp.provisioning());

    notePhase("Menu steps");
    char total[96];
    std::snprintf(total, sizeof total, "Start-up sequence: %.1f ms\n", msSince(started));
    context.setStartupProfile(profile + phases + total);
}

}  // namespace qm
