#include "ui/widgets/my_check_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

#include "ui/logic/options_dialog_presenter.h"

namespace qm::ui {
namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
// A locked item (a module in use): its check cannot change and it takes no click, but the
// keys move the caret and the selection onto it as onto any other item.
constexpr int kLockedRole = Qt::UserRole + 2;

bool isLocked(const QListWidgetItem& item) {
    return item.data(kLockedRole).toBool();
}

// Draws a locked item as a disabled one (grey text, grey check box).
class LockedItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(kLockedRole).toBool()) {
            option->state &= ~QStyle::State_Enabled;
        }
    }
};

// A sorted list box orders its items as the Options list's rule says.
class SortedItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return CompareOptionNames(text().toStdString(), other.text().toStdString()) < 0;
    }
};
}  // namespace

MyCheckListBox::MyCheckListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setSortingEnabled(true);
    // The scroll bar appears only when the items do not fit.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new LockedItemDelegate(this));
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
        entry->setData(kLockedRole, !enabled);
        entry->setFlags(entry->flags().setFlag(Qt::ItemIsUserCheckable, enabled));
    }
}

bool MyCheckListBox::isItemEnabled(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr && !isLocked(*entry);
}

QString MyCheckListBox::itemText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr ? entry->text() : QString();
}

void MyCheckListBox::resetContent() {
    clear();
}

QListWidgetItem* MyCheckListBox::checkBoxAt(const QPoint& point) const {
    QListWidgetItem* entry = itemAt(point);
    if (entry == nullptr) {
        return nullptr;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualItemRect(entry);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = entry->text();
    option.checkState = entry->checkState();
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    return box.contains(point) ? entry : nullptr;
}

void MyCheckListBox::toggle(QListWidgetItem* item, bool wholeSelection) {
    const Qt::CheckState state = item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    item->setCheckState(state);
    if (!wholeSelection && !item->isSelected()) {
        return;
    }
    for (QListWidgetItem* selected : selectedItems()) {
        if (selected->flags().testFlag(Qt::ItemIsUserCheckable)) {
            selected->setCheckState(state);
        }
    }
}

void MyCheckListBox::keyPressEvent(QKeyEvent* event) {
    QListWidgetItem* current = currentItem();
    if (event->key() != Qt::Key_Space || current == nullptr) {
        QListWidget::keyPressEvent(event);
        return;
    }
    // Space toggles the focused item and gives its new state to the whole selection.
    if (current->flags().testFlag(Qt::ItemIsUserCheckable)) {
        toggle(current, true);
    }
    event->accept();
}

void MyCheckListBox::mousePressEvent(QMouseEvent* event) {
    pressHandled_ = false;
    const QPoint at = event->position().toPoint();
    QListWidgetItem* entry = event->button() == Qt::LeftButton ? itemAt(at) : nullptr;
    if (entry != nullptr && isLocked(*entry)) {
        // A disabled item takes no click at all: no toggle, no selection change.
        pressHandled_ = true;
        event->accept();
        return;
    }
    if (entry == nullptr || checkBoxAt(at) != entry) {
        QListWidget::mousePressEvent(event);
        return;
    }
    if (entry->isSelected()) {
        // The check box of a selected item: the selection stays as it is and takes the new
        // state.
        setFocus(Qt::MouseFocusReason);
        toggle(entry, false);
        pressHandled_ = true;
        event->accept();
        return;
    }
    // Any other check box: that item alone toggles, and the click selects it as usual.
    toggle(entry, false);
    QListWidget::mousePressEvent(event);
}

void MyCheckListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (pressHandled_) {
        pressHandled_ = false;
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void MyCheckListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // On a check box the second click of a double click counts as a click of its own.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && checkBoxAt(at) != nullptr) {
        mousePressEvent(event);
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

bool MyCheckListBox::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (event != nullptr) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
                return false;
            default:
                break;
        }
    }
    return QListWidget::edit(index, trigger, event);
}

}  // namespace qm::ui
