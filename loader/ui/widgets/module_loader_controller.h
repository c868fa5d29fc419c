#pragma once
// What the module loader dialog does with the module records and the grid's rows, apart from
// any widget: which record a row shows, filling the rows, marking events and start-up options
// on selected rows, Apply (carrying out the marked events and collecting the failures),
// Cancel, and bringing the rows up to date after the Options dialog.
#include <QObject>
#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/module_list.h"
#include "ui/logic/apply_report.h"
#include "ui/logic/event_marking.h"
#include "ui/logic/startup_option.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class ModuleGridModel;

class ModuleLoaderController : public QObject {
    Q_OBJECT

public:
    // Both outlive the controller.
    ModuleLoaderController(LoaderContext& context, ModuleGridModel& model,
                           QObject* parent = nullptr);

    // The record a row shows: the first record, in catalogue order, whose display name equals
    // the row's name cell exactly. None for rows below 1 or above the number of records.
    ModuleRecord* recordOfRow(int row);
    // Listed in the grid: activated, and not the base module.
    bool isListed(const ModuleRecord& record) const;
    int listedCount() const;

    // Adds a row for every listed record, in catalogue order.
    void fillGrid();
    // With no rows and no records at all, adds the explanatory row showing noModulesText.
    void finishList(const QString& noModulesText);

    // Marks (mode) every row's record; each row is refilled at once.
    void markEvents(MarkMode mode, const std::vector<int>& rows);
    // Sets the option's AutoStart and DemandLoad on every row's record except the base
    // module's, and shows its image. Saved by Apply, discarded by Cancel.
    void applyStartupOption(StartupOption option, const std::vector<int>& rows);

    // Apply, first half: carries out every marked event in catalogue order (the base module's
    // excepted), one module at a time, whatever the others' outcome.
    ApplyReport executeEvents();
    // Apply, second half: refills every row from its record and saves all settings.
    void refreshAndSave();
    // Clears every mark and re-reads the settings, dropping un-applied start-up options.
    void cancel();
    // After the Options dialog ended with OK: removes the rows of records switched off, adds
    // rows for those switched on (at the insertion position) and refills the rest.
    // listedBefore: listedCount() from before the Options dialog.
    void rebuildAfterOptions(int listedBefore, const QString& noModulesText);

    ModuleGridModel& model() { return model_; }
    LoaderContext& context() { return context_; }

private:
    void refillRow(int row);

    LoaderContext& context_;
    ModuleGridModel& model_;
    // Display name -> index of the first record of that name. The list's length and names do
    // not change while the host runs; the index is rebuilt should the length differ.
    std::unordered_map<std::string, std::size_t> byName_;
    std::size_t indexedCount_ = 0;
};

}  // namespace qm::ui
