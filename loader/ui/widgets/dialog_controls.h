#pragma once
// The controls of a dialog built from a dialog template: each control created at its template
// rectangle in an AnchorLayout set on the dialog, found again by its id. Caption and font come
// from the template; texts from the current resources.
#include <QHash>
#include <functional>

#include "ui/logic/dialog_template.h"

class QDialog;
class QLabel;
class QWidget;

namespace qm::ui {

class AnchorLayout;
class CButtonST;

// The application's wait cursor, set or restored once per change, so that the override stack
// stays balanced however often a presenter repeats a state.
class OverrideWaitCursor {
public:
    void set(bool on);
    bool on() const { return on_; }

private:
    bool on_ = false;
};

class DialogControls {
public:
    // Makes the control of a CustomControl entry; may return null for a plain placeholder.
    using CustomFactory = std::function<QWidget*(const ControlTemplate&)>;

    // Creates every control of t as a child of dialog. The dialog gets t's caption and font
    // and an AnchorLayout of t's size.
    DialogControls(const DialogTemplate& t, QDialog& dialog, const CustomFactory& custom = {});

    QWidget* control(int id) const { return controls_.value(id, nullptr); }
    CButtonST* button(int id) const;
    QLabel* label(int id) const;
    AnchorLayout& layout() const { return *layout_; }
    const DialogTemplate& dialogTemplate() const { return template_; }

private:
    const DialogTemplate& template_;
    AnchorLayout* layout_;  // owned by the dialog
    QHash<int, QWidget*> controls_;
};

}  // namespace qm::ui
