#include "ui/widgets/my_check_list_box.h"

namespace qm::ui {
namespace {
constexpr int kKeyRole = Qt::UserRole + 1;

// A sorted list box orders its items alphabetically without regard to case ("survey" before
// "Terrain"); texts equal but for case keep a fixed order among themselves.
class SortedItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        const int order = text().compare(other.text(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : text() < other.text();
    }
};
}  // namespace

MyCheckListBox::MyCheckListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setSortingEnabled(true);
    // The scroll bar appears only when the items do not fit.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int MyCheckListBox::addString(const QString& text) {
    auto* entry = new SortedItem(text);
    entry->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
    addItem(entry);  // sorting places it
    return row(entry);
}

void MyCheckListBox::setItemKey(int index, const std::string& key) {
    if (QListWidgetItem* entry = item(index)) {
        entry->setData(kKeyRole, QString::fromStdString(key));
    }
}

std::string MyCheckListBox::itemKey(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr ? entry->data(kKeyRole).toString().toStdString() : std::string();
}

void MyCheckListBox::setCheck(int index, bool checked) {
    if (QListWidgetItem* entry = item(index)) {
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

bool MyCheckListBox::check(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr && entry->checkState() == Qt::Checked;
}

void MyCheckListBox::enableItem(int index, bool enabled) {
    if (QListWidgetItem* entry = item(index)) {
        Qt::ItemFlags flags = entry->flags();
        flags.setFlag(Qt::ItemIsEnabled, enabled);
        flags.setFlag(Qt::ItemIsUserCheckable, enabled);
        entry->setFlags(flags);
    }
}

bool MyCheckListBox::isItemEnabled(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr && entry->flags().testFlag(Qt::ItemIsEnabled);
}

QString MyCheckListBox::itemText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr ? entry->text() : QString();
}

void MyCheckListBox::resetContent() {
    clear();
}

}  // namespace qm::ui
