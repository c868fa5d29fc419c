// Times the module loader dialog with many modules: opening it, sorting by each visible
// column, marking every row and applying, and the Options dialog's fill. Runs offscreen as a
// private user; prints one line per measurement.
//
//   ui_bench [modules]     (default 10000)
#include <cadhost/host.h>
#include <qmenv/environment.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include <unistd.h>

#include "bench_support.h"
#include "runtime/loader_context.h"
#include "ui/logic/resource_ids.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"

namespace {

using namespace qm::ui;

void fill(qm::ModuleList& modules, int count) {
    modules.reserve(static_cast<std::size_t>(count) + 1);
    qm::ModuleRecord base;
    base.SetKey("QM_BASE");
    base.SetDisplayName("Base");
    modules.push_back(base);
    for (int i = 0; i < count; ++i) {
        qm::ModuleRecord record;
        // Names in a scrambled order so that sorting has work to do.
        const int n = (i * 7919) % count;
        record.SetKey("QM_MODULE_" + std::to_string(n));
        record.SetDisplayName("Module " + std::to_string(n));
        record.SetMenusLoaded(i % 3 == 0);
        record.SetAutoStart(i % 2 == 0);
        record.SetDemandLoad(i % 4 == 0);
        modules.push_back(record);
    }
}

class Stopwatch {
public:
    Stopwatch() { timer_.start(); }
    void report(const char* what) {
        std::printf("%-44s %8.1f ms\n", what, static_cast<double>(timer_.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        timer_.restart();
    }

private:
    QElapsedTimer timer_;
};

void clickHeader(QmModulesGrid& grid, int column) {
    QHeaderView* header = grid.horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5), 600);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    // A private user in a temporary folder, removed at the end.
    const std::filesystem::path tmp =
        std::filesystem::temp_directory_path() / ("qm-ui-bench-" + std::to_string(getpid()));
    qmbench::relocateUser(tmp, QM_BENCH_SAMPLE_DIR);
    std::ostringstream out;
    cadhost::Host host(cadhost::HostOptions{&out, {}});
    QmEnResourceLoader resources("QmModuleLoader");
    resources.Activate(nullptr);

    qm::LoaderContext context(std::make_unique<qm::DiagnosticLog>());
    context.setBaseModuleKey("QM_BASE");
    fill(context.modules(), count);
    std::printf("module loader dialog with %d modules\n", count);

    Stopwatch watch;
    {
        QmModuleLoaderDlg dialog(nullptr, context);
        dialog.show();
        QApplication::processEvents();
        watch.report("open the dialog (fill and show)");

        for (int column : {kColName, kColName, kColStartup, kColEvent}) {
            clickHeader(dialog.grid(), column);
            QApplication::processEvents();
            watch.report(column == kColName      ? "sort by name"
                         : column == kColStartup ? "sort by start-up option"
                                                 : "sort by event");
        }

        dialog.grid().selectAll();
        dialog.presenter().onToggle();
        QApplication::processEvents();
        watch.report("toggle the mark of every row");

        dialog.presenter().onApply();
        QApplication::processEvents();
        watch.report("apply (events, refill, save settings)");
        dialog.close();
    }
    {
        CCheckingModulesDlg options(nullptr, context);
        options.show();
        while (options.filling()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        watch.report("Options dialog fill (store, list, show)");
    }
    std::error_code ignored;
    std::filesystem::remove_all(tmp, ignored);
    return 0;
}
