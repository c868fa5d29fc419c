#include "gui_front_end.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "cadhost/front_end_rules.h"
#include "cadhost/host.h"
#include "gui_session.h"
#include "gui_ui_services.h"

namespace cadhost::gui {

GuiSession::GuiSession(const std::function<void(Host&)>& bringUp) {
    QObject::connect(&output_, &OutputStream::text, &window_, &MainWindow::appendOutput);
    // The window with its frame, at the screen's scale, no larger than the screen's work area:
    // at twice the scale on a small screen it would otherwise reach past the screen's edges. The
    // frame is known once the window is shown.
    window_.show();
    if (const QScreen* screen = window_.screen()) {
        const QRect area = screen->availableGeometry();
        const QRect placed = window_.frameGeometry();
        const ScreenRect fitted =
            fitToWorkArea({placed.x(), placed.y(), placed.width(), placed.height()},
                          {area.x(), area.y(), area.width(), area.height()});
        window_.resize(window_.width() - (placed.width() - fitted.width),
                       window_.height() - (placed.height() - fitted.height));
        window_.move(fitted.x, fitted.y);
    }
    host_ = std::make_unique<Host>(HostOptions{&output_.stream(), {}});
    services_ = std::make_shared<GuiUiServices>(&window_);
    host_->setUiServices(services_);
    host_->setFrame(reinterpret_cast<AcFrameWindow*>(static_cast<QWidget*>(&window_)));
    window_.attach(*host_);
    bringUp(*host_);
    window_.refreshMenus();
}

GuiSession::~GuiSession() {
    host_->quit();
    window_.detach();
    host_->setFrame(nullptr);
    host_.reset();
}

int runGuiSession(int& argc, char** argv, const std::function<void(Host&)>& bringUp) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cadhost"));
    GuiSession session(bringUp);
    return session.host().quitRequested() ? 0 : QApplication::exec();
}

}  // namespace cadhost::gui
