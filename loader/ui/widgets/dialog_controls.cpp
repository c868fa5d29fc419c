#include "ui/widgets/dialog_controls.h"

#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <algorithm>

#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"
#include "ui/widgets/anchor_layout.h"
#include "ui/widgets/button_st.h"
#include "ui/widgets/dialog_units.h"
#include "ui/widgets/my_check_list_box.h"

namespace qm::ui {

void OverrideWaitCursor::set(bool on) {
    if (on == on_) {
        return;
    }
    on_ = on;
    if (on) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}
namespace {

QString textOf(const ControlTemplate& c) {
    return c.text ? QString::fromStdString(ResourceString(*c.text)) : QString();
}

QWidget* createControl(const ControlTemplate& c, QDialog& dialog,
                       const DialogControls::CustomFactory& custom) {
    switch (c.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
        case ControlKind::ImageButton: {
            // As the dialog manager does: Enter presses the push button that has the focus
            // (it is the default while focused), otherwise the default button.
            auto* button = new CButtonST(&dialog);
            button->setText(textOf(c));
            button->setAutoDefault(true);
            button->setDefault(c.kind == ControlKind::DefaultPushButton);
            return button;
        }
        case ControlKind::StaticText: {
            auto* label = new QLabel(textOf(c), &dialog);
            label->setAlignment(Qt::AlignLeft |
                                ((c.flags & kCentreVertically) ? Qt::AlignVCenter : Qt::AlignTop));
            return label;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(textOf(c), &dialog);
        case ControlKind::CheckListBox:
            return new MyCheckListBox(&dialog);
        case ControlKind::CustomControl: {
            QWidget* widget = custom ? custom(c) : nullptr;
            if (widget == nullptr) {
                widget = new QWidget(&dialog);
            }
            widget->setParent(&dialog);
            return widget;
        }
    }
    return new QWidget(&dialog);
}

}  // namespace

DialogControls::DialogControls(const DialogTemplate& t, QDialog& dialog,
                               const CustomFactory& custom)
    : template_(t) {
    QFont font(QString::fromUtf8(t.fontFace.data(), static_cast<int>(t.fontFace.size())));
    font.setPointSize(t.fontPoints);
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromStdString(ResourceString(t.caption)));
    const DialogUnits units(dialog.font());
    layout_ = new AnchorLayout(units.size(t.cx, t.cy), &dialog);
    // Group boxes first, so that the controls inside them stay above them.
    for (bool groups : {true, false}) {
        for (const ControlTemplate& c : t.controls) {
            if ((c.kind == ControlKind::GroupBox) != groups) {
                continue;
            }
            QWidget* widget = createControl(c, dialog, custom);
            widget->setObjectName(QStringLiteral("control%1").arg(c.id));
            widget->setEnabled((c.flags & kDisabled) == 0);
            // The template's rectangle is the widget's own: neither its size hint (a captioned
            // button's is lower than an image button's) nor the style's layout rectangle
            // changes it.
            widget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
            widget->setAttribute(Qt::WA_LayoutUsesWidgetRect);
            layout_->addWidget(widget, units.rect(c.x, c.y, c.cx, c.cy));
            if (c.id >= 0) {
                controls_.insert(c.id, widget);
            }
        }
    }
    // Without a default push button in the template, OK (id 1) is the dialog's default.
    const bool namesDefault = std::any_of(
        t.controls.begin(), t.controls.end(),
        [](const ControlTemplate& c) { return c.kind == ControlKind::DefaultPushButton; });
    if (CButtonST* ok = button(kIdOk); ok != nullptr && !namesDefault) {
        ok->setDefault(true);
    }
    // Tab order follows the template's order.
    QWidget* previous = nullptr;
    for (const ControlTemplate& c : t.controls) {
        QWidget* widget = control(c.id);
        if (widget == nullptr || widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

CButtonST* DialogControls::button(int id) const {
    return qobject_cast<CButtonST*>(control(id));
}

QLabel* DialogControls::label(int id) const {
    return qobject_cast<QLabel*>(control(id));
}

}  // namespace qm::ui
