#pragma once
// Fixtures for the module loader's user-interface tests: one offscreen QApplication for the
// whole program, a private user with a small installation on disk, the real host library in
// the process (message boxes print "[CAPTION] TEXT" into out_), the real registry store, the
// real start-up sequence to build the module records, and the module loader's resources made
// current as the command makes them.
#include <qmenv/environment.h>

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "qmtest/relocated_user.h"
#include "qmtest/temp_dir.h"
#include "runtime/loader_context.h"
#include "test_installation.h"

class QDialog;
class QMenu;
class QTimer;
class QWidget;

namespace cadhost {
class Host;
}
namespace qm::ui {
class QmModuleLoaderDlg;
class QmModulesGrid;
}  // namespace qm::ui

namespace uitest {

inline const qmtest::TestModule kBase{"QM_BASE", "Base", "KRQM_BASE", {}};
inline const qmtest::TestModule kRoads{"QM_ROADS", "Roads", "KRQM_ROADS", {}};
inline const qmtest::TestModule kRail{"QM_RAIL", "Rail", "KRQM_RAIL", {}};
inline const qmtest::TestModule kSurvey{"QM_SURVEY", "survey", "KRQM_SURVEY", {}};
inline const qmtest::TestModule kTerrain{"QM_TERRAIN", "Terrain", "KRQM_TERRAIN", {}};

// The installation folder ends in a 7-character program folder, as the product information
// file's location expects: <root>/Quillmont/Program.
class UiTest : public ::testing::Test {
protected:
    UiTest();
    ~UiTest() override;

    const std::string& appPath() const { return appPath_; }
    // The relocation, for child processes ("NAME=value").
    std::vector<std::string> userEnvironment() const { return user_.environment(); }
    void addModules(const std::vector<qmtest::TestModule>& modules);

    // The start-up sequence on a new context (the module records of the installation).
    qm::LoaderContext& runStartup();
    qm::LoaderContext& context() { return *context_; }
    // Text the host printed since the last call (message boxes included).
    std::string takeOutput();

    // The module loader dialog on the current context, shown (not modal).
    qm::ui::QmModuleLoaderDlg& openDialog();
    qm::ui::QmModuleLoaderDlg& dialog() { return *dialog_; }
    // addModules, runStartup and openDialog.
    void openWith(const std::vector<qmtest::TestModule>& modules);

    // Grid helpers on the open dialog.
    qm::ui::QmModulesGrid& grid();
    std::vector<std::string> gridNames();
    std::string cell(int row, int column);
    int rowOf(const std::string& name);  // 1-based; 0 when not listed
    QPoint cellCentre(int row, int column);
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void clickButton(int id);
    // Right-clicks row; inspect sees the context menu, which is then closed.
    void contextMenu(int row, const std::function<void(QMenu*)>& inspect);
    qm::ModuleRecord& record(const std::string& key);

    // Stored settings of a module ("True"/"False", "" when missing).
    std::string storedSetting(const std::string& key, const std::string& value);
    void storeSetting(const std::string& key, const std::string& value, const std::string& text);
    // Terrain starts with the host (its menus load); Rail only brings its menu.
    void storeStartupOptions();
    // Puts the sample's product information file where the dialog looks for it, as a real
    // installation has it.
    void writeProductInformation();

private:
    qmtest::TempDir root_;
    std::string appPath_;
    qmtest::RelocatedUser user_;
    qmtest::TestInstallation install_;

protected:
    std::ostringstream out_;
    std::unique_ptr<cadhost::Host> host_;
    std::unique_ptr<qm::LoaderContext> context_;
    QmEnResourceLoader resources_{"QmModuleLoader"};
    std::unique_ptr<qm::ui::QmModuleLoaderDlg> dialog_;
};

// Runs handler on a modal dialog (or on a dialog whose exec() is waiting). A failed ASSERT
// returns from the handler early and would leave the dialog open, so that the exec() waiting
// for it never returns: after a fatal failure the dialog still shown is ended here (rejected
// past any override of reject()), and the test reports the failure instead of hanging.
// A modal widget still open when the deadline has passed is ended too, with a failure, so that
// a handler that forgets it (or an event it waits for that never comes) fails the test at
// once instead of at the test's time-out.
void handleModal(QWidget* modal, const std::function<void()>& handler);

// Ends modal with a failure if it is still open after deadline (a dialog's end cancels it).
inline constexpr std::chrono::milliseconds kModalDeadline{20000};
void endWhenOverdue(QWidget* modal, std::chrono::milliseconds deadline = kModalDeadline);

// Runs handler on each modal dialog that becomes active (polling), through handleModal, until
// stopped or destroyed. The handler decides what to do with it (accept, reject, click, ...).
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> handler);
    ~ModalDriver();

private:
    std::function<void(QWidget*)> handler_;
    QPointer<QWidget> last_;  // null again once that dialog is gone
    std::unique_ptr<QTimer> timer_;
};

// Spins the event loop until condition holds or timeoutMs pass; true when it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// <build>/screenshots/name, the folder made.
QString screenshotPath(const QString& name);

// Sends a left double click at the widget's point as it arrives: down, up, double click, up.
void doubleClick(QWidget* widget, QPointF at);

}  // namespace uitest
