#include "ui/widgets/module_loader_controller.h"

#include "catalogue/module_settings.h"
#include "runtime/loader_context.h"
#include "runtime/module_events.h"
#include "ui/widgets/module_grid_model.h"

namespace qm::ui {

ModuleLoaderController::ModuleLoaderController(LoaderContext& context, ModuleGridModel& model,
                                               QObject* parent)
    : QObject(parent), context_(context), model_(model) {}

ModuleRecord* ModuleLoaderController::recordOfRow(int row) {
    ModuleList& modules = context_.modules();
    if (row < 1 || row > static_cast<int>(modules.size()) || row > model_.gridRowCount()) {
        return nullptr;
    }
    if (indexedCount_ != modules.size() || byName_.empty()) {
        byName_.clear();
        for (std::size_t i = modules.size(); i-- > 0;) {
            byName_[modules[i].GetDisplayName()] = i;  // the first of equal names wins
        }
        indexedCount_ = modules.size();
    }
    auto found = byName_.find(model_.cellValue(row, kColName).toStdString());
    return found == byName_.end() ? nullptr : &modules[found->second];
}

bool ModuleLoaderController::isListed(const ModuleRecord& record) const {
    return record.GetActivated() && record.GetKey() != context_.baseModuleKey();
}

int ModuleLoaderController::listedCount() const {
    int count = 0;
    for (const ModuleRecord& record : context_.modules()) {
        count += isListed(record) ? 1 : 0;
    }
    return count;
}

void ModuleLoaderController::fillGrid() {
    std::vector<const ModuleRecord*> listed;
    for (const ModuleRecord& record : context_.modules()) {
        if (isListed(record)) {
            listed.push_back(&record);
        }
    }
    const int first = model_.gridRowCount() + 1;
    model_.insertGridRows(first, static_cast<int>(listed.size()));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        model_.fillRow(first + static_cast<int>(i), *listed[i]);
    }
}

void ModuleLoaderController::finishList(const QString& noModulesText) {
    if (model_.gridRowCount() == 0 && context_.modules().empty()) {
        model_.showExplanatoryRow(noModulesText);
    }
}

void ModuleLoaderController::refillRow(int row) {
    if (ModuleRecord* record = recordOfRow(row)) {
        model_.fillRow(row, *record);
    }
}

void ModuleLoaderController::markEvents(MarkMode mode, const std::vector<int>& rows) {
    for (int row : rows) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr) {
            continue;
        }
        MarkEvent(*record, mode, context_.baseModuleKey());
        model_.fillRow(row, *record);
    }
}

void ModuleLoaderController::applyStartupOption(StartupOption option,
                                                const std::vector<int>& rows) {
    const StartupOptionInfo& info = Describe(option);
    for (int row : rows) {
        ModuleRecord* record = recordOfRow(row);
        if (record == nullptr || record->GetKey() == context_.baseModuleKey()) {
            continue;
        }
        record->SetAutoStart(info.autoStart);
        record->SetDemandLoad(info.demandLoad);
        model_.setStartupCell(row, option);
    }
}

ApplyReport ModuleLoaderController::executeEvents() {
    ApplyReport report;
    for (ModuleRecord& record : context_.modules()) {
        const ModuleEvent event = record.GetPendingEvent();
        if (record.GetKey() == context_.baseModuleKey() || event == kEventNone) {
            continue;
        }
        if (!ExecuteEvent(record, context_.menus())) {
            report.addFailure(record.GetDisplayName(), record.GetKey(), event);
        }
    }
    return report;
}

void ModuleLoaderController::refreshAndSave() {
    for (int row = 1; row <= model_.gridRowCount(); ++row) {
        refillRow(row);
    }
    WriteModuleSettings(context_.modules(), &context_.log(), &context_.feedback());
}

void ModuleLoaderController::cancel() {
    for (ModuleRecord& record : context_.modules()) {
        record.ClearEvent();
    }
    ReadModuleSettings(context_.modules(), &context_.log());
}

void ModuleLoaderController::rebuildAfterOptions(int listedBefore, const QString& noModulesText) {
    if (listedBefore == 0) {
        model_.removeGridRow(1);
    }
    bool anyListed = false;
    for (ModuleRecord& record : context_.modules()) {
        if (record.GetKey() == context_.baseModuleKey()) {
            continue;
        }
        const QString name = QString::fromStdString(record.GetDisplayName());
        int row = model_.findRowByName(name);
        if (record.GetActivated()) {
            anyListed = true;
            if (row == 0) {
                const GridSortState& sort = model_.sortState();
                row = model_.insertionRow(name, sort.column() == kColName);
                model_.insertGridRows(row, 1);
            }
            model_.fillRow(row, record);
        } else if (row != 0) {
            model_.removeGridRow(row);
        }
    }
    if (!anyListed) {
        finishList(noModulesText);
    }
}

}  // namespace qm::ui
