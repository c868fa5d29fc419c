#pragma once
// MyCheckListBox: the Options dialog's check list. Items are sorted by their text without
// regard to case, carry a
// module key as their data (owned by the item) and a two-state check box; a disabled item
// shows its check but cannot be toggled. Selection and check changes stay inside the list:
// the dialog reads the checks when it needs them.
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
    // A disabled item keeps its check and cannot be toggled.
    void enableItem(int index, bool enabled);
    bool isItemEnabled(int index) const;
    int count() const { return QListWidget::count(); }
    QString itemText(int index) const;
    // Removes every item together with its key.
    void resetContent();
};

}  // namespace qm::ui
