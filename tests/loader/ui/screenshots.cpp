// Not a test: renders the module loader dialog and the Options dialog offscreen into PNG files
// under <build>/screenshots, so that a person can look at them, with the product information a
// real installation has. Run through scripts/screenshots.sh.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>

#include "qmtest/module_settings.h"
#include "ui/logic/resource_ids.h"
#include "ui/widgets/checking_modules_dlg.h"
#include "ui/widgets/module_grid_model.h"
#include "ui/widgets/module_loader_dlg.h"
#include "ui/widgets/modules_grid.h"
#include "ui_fixture.h"

namespace {

using namespace qm::ui;

void save(QWidget& widget, const QString& name) {
    const QString file = uitest::screenshotPath(name);
    const QImage image = widget.grab().toImage();
    ASSERT_TRUE(image.save(file)) << file.toStdString();
    const QImage back(file);
    EXPECT_EQ(back.size(), widget.size());
}

class Screenshots : public uitest::UiTest {
protected:
    void SetUp() override {
        using namespace uitest;
        addModules({kBase,
                    kRoads,
                    kRail,
                    kSurvey,
                    kTerrain,
                    {"QM_DRAINAGE", "Drainage", "KRQM_DRAINAGE", {}}});
        storeStartupOptions();
        storeSetting("QM_DRAINAGE", "Activated", "False");
        writeProductInformation();
        runStartup();
    }
};

TEST_F(Screenshots, ModuleLoaderDialog) {
    openDialog();
    clickRow(3);
    clickButton(kIdLoad);
    clickRow(2);
    save(dialog(), "module_loader_dialog.png");

    // The context menu of a row, with its images.
    contextMenu(2, [](QMenu* menu) { save(*menu, "grid_context_menu.png"); });
}

TEST_F(Screenshots, OptionsDialog) {
    CCheckingModulesDlg options(nullptr, context());
    options.setVersionText("Version: " + QString::fromStdString(QmEnGetCurrentVersionNumber()));
    options.show();
    ASSERT_TRUE(uitest::waitFor([&] { return !options.filling(); }));
    save(options, "options_dialog.png");
}

TEST_F(Screenshots, ModuleLoaderDialogInGerman) {
    qmtest::storeKernelService("Language", "deu");
    openDialog();
    save(dialog(), "module_loader_dialog_deu.png");
}

}  // namespace
