#include "gui_ui_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace cadhost::gui {
namespace {

struct ButtonCode {
    QMessageBox::StandardButton button;
    int code;
};

std::vector<ButtonCode> buttonsOf(unsigned style) {
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        case MB_YESNOCANCEL:
            return {{QMessageBox::Yes, IDYES},
                    {QMessageBox::No, IDNO},
                    {QMessageBox::Cancel, IDCANCEL}};
        default:
            return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconOf(unsigned style) {
    switch (style & 0xF0u) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

bool onGuiThread() {
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

GuiUiServices::GuiUiServices(QWidget* mainWindow) : mainWindow_(mainWindow) {}

int GuiUiServices::showBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned style) {
    QMessageBox box(iconOf(style), caption, text, QMessageBox::NoButton, owner);
    const std::vector<ButtonCode> buttons = buttonsOf(style);
    QMessageBox::StandardButtons all;
    for (const ButtonCode& b : buttons) {
        all |= b.button;
    }
    box.setStandardButtons(all);
    const std::size_t defaultIndex = (style & MB_DEFMASK) >> 8;
    box.setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0].button);
    box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    const int chosen = box.exec();
    for (const ButtonCode& b : buttons) {
        if (b.button == chosen) {
            return b.code;
        }
    }
    // Closed without a button (Escape, the close box): the cancelling answer.
    return buttons.size() > 1 ? buttons.back().code : IDOK;
}

int GuiUiServices::messageBox(AcFrameWindow* owner, const std::string& text,
                              const std::string& caption, unsigned style) {
    QWidget* parent = owner != nullptr ? reinterpret_cast<QWidget*>(owner) : mainWindow_.data();
    const QString qtext = QString::fromStdString(text);
    const QString qcaption = QString::fromStdString(caption);
    if (onGuiThread()) {
        return showBox(parent, qtext, qcaption, style);
    }
    int answer = IDOK;
    QMetaObject::invokeMethod(
        this, [&] { answer = showBox(parent, qtext, qcaption, style); },
        Qt::BlockingQueuedConnection);
    return answer;
}

void GuiUiServices::setWaitCursor(bool on) {
    auto apply = [this, on] {
        if (on == waiting_) {
            return;
        }
        waiting_ = on;
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    if (onGuiThread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
    }
}

}  // namespace cadhost::gui
