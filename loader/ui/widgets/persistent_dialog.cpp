#include "ui/widgets/persistent_dialog.h"

#include <qmenv/environment.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QScreen>
#include <cstdint>

namespace qm::ui {
namespace {

constexpr const char* kLeft = "WindowLeft";
constexpr const char* kTop = "WindowTop";
constexpr const char* kWidth = "WindowWidth";
constexpr const char* kHeight = "WindowHeight";
constexpr const char* kMaximized = "WindowMaximized";

}  // namespace

PersistentDialog::PersistentDialog(QWidget* parent) : QDialog(parent) {}

PersistentDialog::~PersistentDialog() {
    while (waitDepth_ > 0) {
        endWaitCursor();
    }
}

std::string PersistentDialog::registryKey() const {
    return rootKey_ + "\\Dialogs\\" + dialogName_;
}

bool PersistentDialog::getDialogData(const std::string& name, int& value) const {
    if (!persistent_) {
        return false;
    }
    QmEnWinRegistry registry;
    std::int32_t stored = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey() + "\\Data", false) ||
        !registry.ReadLong(name, stored)) {
        return false;
    }
    value = stored;
    return true;
}

void PersistentDialog::setDialogData(const std::string& name, int value) {
    if (!persistent_) {
        return;
    }
    QmEnWinRegistry registry;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, registryKey() + "\\Data", true)) {
        registry.WriteLong(name, value);
    }
}

void PersistentDialog::storePlacement() {
    if (!persistent_) {
        return;
    }
    QmEnWinRegistry registry;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey(), true)) {
        return;
    }
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    registry.WriteLong(kLeft, normal.x());
    registry.WriteLong(kTop, normal.y());
    registry.WriteLong(kWidth, normal.width());
    registry.WriteLong(kHeight, normal.height());
    registry.WriteLong(kMaximized, isMaximized() ? 1 : 0);
}

bool PersistentDialog::restorePlacement() {
    placementApplied_ = true;
    if (!persistent_) {
        return false;
    }
    QmEnWinRegistry registry;
    std::int32_t left = 0, top = 0, width = 0, height = 0, maximized = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey(), false) ||
        !registry.ReadLong(kWidth, width) || !registry.ReadLong(kHeight, height)) {
        return false;
    }
    QSize size(width, height);
    if (layout() != nullptr) {
        size = size.expandedTo(layout()->minimumSize());
    }
    resize(size);
    if (registry.ReadLong(kLeft, left) && registry.ReadLong(kTop, top)) {
        // A position off every screen (a monitor since removed) is not restored.
        if (QGuiApplication::screenAt(QPoint(left, top)) != nullptr) {
            move(left, top);
        }
    }
    registry.ReadLong(kMaximized, maximized);
    if (maximized != 0) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    return true;
}

void PersistentDialog::beginWaitCursor() {
    if (waitDepth_++ == 0) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void PersistentDialog::endWaitCursor() {
    if (waitDepth_ > 0 && --waitDepth_ == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void PersistentDialog::showEvent(QShowEvent* event) {
    if (!placementApplied_) {
        restorePlacement();
    }
    QDialog::showEvent(event);
}

void PersistentDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && helpRequested()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace qm::ui
