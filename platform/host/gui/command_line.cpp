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
            history_.enter(line.toStdString());
            clear();
            emit entered(line);
            return;
        }
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const std::optional<std::string> shown = event->key() == Qt::Key_Up
                                                         ? history_.older(text().toStdString())
                                                         : history_.newer();
            if (shown) {
                setText(QString::fromStdString(*shown));
            }
            return;
        }
        default:
            QLineEdit::keyPressEvent(event);
    }
}

}  // namespace cadhost::gui
