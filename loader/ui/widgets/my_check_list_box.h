#pragma once
// MyCheckListBox: the Options dialog's check list. Items are sorted by the Options list's rule
// (CompareOptionNames), carry a module key as their data (owned by the item) and a two-state check
// box; a disabled item (a module in use) shows its check greyed and cannot be toggled, and
// clicks on it do nothing, but the keys move the caret and the selection onto it as onto any
// other item. Several items may be
// selected; Space, or a click on the check box of a selected item, gives every selected item
// the new state of the one toggled. Selection and check changes stay inside the list: the
// dialog reads the checks when it needs them.
#include <QListWidget>
#include <string>

namespace qm::ui {

class MyCheckListBox : public QListWidget {
    Q_OBJECT

public:
    explicit MyCheckListBox(QWidget* parent = nullptr);

    // Inserts an item in sorted position; returns its index.
    int addString(const QString& text);
    void setItemKey(int index, const std::string& key);
    // The key of the item; "" for an item without one.
    std::string itemKey(int index) const;
    void setCheck(int index, bool checked);
    bool check(int index) const;
    // A disabled item keeps its check and cannot be toggled (see above).
    void enableItem(int index, bool enabled);
    bool isItemEnabled(int index) const;
    int count() const { return QListWidget::count(); }
    QString itemText(int index) const;
    // Removes every item together with its key.
    void resetContent();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The list toggles checks itself (above); the item delegate never does.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    // The item whose check box is at point (viewport coordinates); null elsewhere.
    QListWidgetItem* checkBoxAt(const QPoint& point) const;
    // Toggles item and gives its new state to every other selected item that is enabled
    // (when the item itself is selected, or always with wholeSelection).
    void toggle(QListWidgetItem* item, bool wholeSelection);
    // A mouse press on a check box, done; its release must not act again.
    bool pressHandled_ = false;
};

}  // namespace qm::ui
