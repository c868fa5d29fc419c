// Renders the module loader dialog and the Options dialog offscreen into PNG files under
// <build>/screenshots, so that a person can look at them, with the product information a real
// installation has. Checks only that they were written.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QSizeGrip>

#include "qm/version.h"
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

class ScreenshotTest : public uitest::UiTest {
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

TEST_F(ScreenshotTest, ModuleLoaderDialog) {
    openDialog();
    EXPECT_EQ(dialog().productNameText(), "Quillmont 22.15 Civil Design Suite");
    clickRow(3);
    clickButton(kIdLoad);
    clickRow(2);
    auto* grip = dialog().findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry().bottomRight(), dialog().rect().bottomRight());
    save(dialog(), "module_loader_dialog.png");

    // The context menu of a row, with its images.
    contextMenu(2, [](QMenu* menu) { save(*menu, "grid_context_menu.png"); });
}

TEST_F(ScreenshotTest, OptionsDialog) {
    CCheckingModulesDlg options(nullptr, context());
    options.setVersionText("Version: " + QString::fromStdString(QmEnGetCurrentVersionNumber()));
    options.show();
    ASSERT_TRUE(uitest::waitFor([&] { return !options.filling(); }));
    save(options, "options_dialog.png");
}

TEST_F(ScreenshotTest, ModuleLoaderDialogInGerman) {
    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(
        kQmEnHKeyCurrentUser,
        "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Kernel Services", true));
    registry.WriteString("Language", "deu");
    openDialog();
    EXPECT_EQ(dialog().model().headerData(kColName, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Modulname");
    save(dialog(), "module_loader_dialog_deu.png");
}

}  // namespace
