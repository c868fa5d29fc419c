#include "command_line.h"

#include <QKeyEvent>

namespace cadhost::gui {

CommandLine::CommandLine(QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(tr("Type a command"));
}

void CommandLine::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const QString line = text();
            if (!line.trimmed().isEmpty() && (history_.isEmpty() || history_.last() != line)) {
                history_.append(line);
            }
            position_ = static_cast<int>(history_.size());
            draft_.clear();
            clear();
            emit entered(line);
            return;
        }
        case Qt::Key_Up:
            if (position_ > 0) {
                if (position_ == history_.size()) {
                    draft_ = text();
                }
                setText(history_[--position_]);
            }
            return;
        case Qt::Key_Down:
            if (position_ < history_.size()) {
                ++position_;
                setText(position_ == history_.size() ? draft_ : history_[position_]);
            }
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

}  // namespace cadhost::gui
