#include "gui_ui_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

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

// A box never outgrows the work area of its screen: the text keeps as many of its first lines as
// fit, then "...", so that the buttons stay on the screen (a Windows message box clips its
// text at the work area). Room is left for the window's frame, which the box's own size
// leaves out.
void fitTextToScreen(QMessageBox& box, const QString& text) {
    const QScreen* screen = box.screen();
    if (screen == nullptr) {
        return;
    }
    const int room = screen->availableGeometry().height() - 3 * box.fontMetrics().height();
    if (box.sizeHint().height() <= room) {
        return;
    }
    const QStringList lines = text.split(QLatin1Char('\n'));
    // The most lines that fit, found by halving: each try lays the box out once.
    qsizetype fits = 0;
    qsizetype tooMany = lines.size();
    while (tooMany - fits > 1) {
        const qsizetype middle = (fits + tooMany) / 2;
        box.setText(lines.first(middle).join(QLatin1Char('\n')) + QStringLiteral("\n..."));
        (box.sizeHint().height() <= room ? fits : tooMany) = middle;
    }
    box.setText(lines.first(fits).join(QLatin1Char('\n')) + QStringLiteral("\n..."));
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
    fitTextToScreen(box, text);
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
    // The box runs on the GUI thread; this thread waits for the answer. The hand-over uses
    // standard primitives so that every tool that checks threads can see it.
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<int> code;
    };
    auto answer = std::make_shared<Answer>();
    QPointer<QWidget> ownerWidget(parent);
    QMetaObject::invokeMethod(
        this,
        [answer, ownerWidget, qtext, qcaption, style] {
            const int code = showBox(ownerWidget.data(), qtext, qcaption, style);
            std::lock_guard lock(answer->mutex);
            answer->code = code;
            answer->ready.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(answer->mutex);
    answer->ready.wait(lock, [&] { return answer->code.has_value(); });
    return *answer->code;
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
