#include "gui_front_end.h"

#include <QApplication>
#include <memory>

#include "cadhost/host.h"
#include "gui_ui_services.h"
#include "main_window.h"
#include "output_stream.h"

namespace cadhost::gui {

int runGuiSession(int& argc, char** argv, const std::function<void(Host&)>& bringUp) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cadhost"));

    MainWindow window;
    OutputStream output;
    QObject::connect(&output, &OutputStream::text, &window, &MainWindow::appendOutput);

    int exitCode = 0;
    {
        Host host(HostOptions{&output.stream(), {}});
        auto services = std::make_shared<GuiUiServices>(&window);
        host.setUiServices(services);
        host.setFrame(reinterpret_cast<AcFrameWindow*>(static_cast<QWidget*>(&window)));
        window.attach(host);
        bringUp(host);
        window.refreshMenus();
        window.show();
        if (!host.quitRequested()) {
            exitCode = QApplication::exec();
        }
        host.quit();
        window.detach();
        host.setFrame(nullptr);
    }
    return exitCode;
}

}  // namespace cadhost::gui
