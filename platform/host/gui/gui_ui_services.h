#pragma once
// The GUI host's user-interface services: message boxes as modal QMessageBoxes owned by the
// given window (the main window when none is given), and the application-wide wait cursor.
// Callable from any thread: calls from other threads run on the GUI thread, a message box
// waiting there for the user's answer.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "cadhost/services.h"

namespace cadhost::gui {

class GuiUiServices : public QObject, public UiServices {
    Q_OBJECT

public:
    // mainWindow: the owner of message boxes that name none; may be null.
    explicit GuiUiServices(QWidget* mainWindow);

    int messageBox(AcFrameWindow* owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void setWaitCursor(bool on) override;
    bool hasGui() const override { return true; }

    // The QMessageBox answer for a style's buttons and default, as message box codes.
    static int showBox(QWidget* owner, const QString& text, const QString& caption, unsigned style);

private:
    QPointer<QWidget> mainWindow_;
    bool waiting_ = false;
};

}  // namespace cadhost::gui
