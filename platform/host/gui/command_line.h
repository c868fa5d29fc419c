#pragma once
// The host's command line: one line of input with a history that Up and Down walk through.
// Return hands the line over (entered) and clears the field; blank lines are not kept.
#include <QLineEdit>

#include "cadhost/front_end_rules.h"

namespace cadhost::gui {

class CommandLine : public QLineEdit {
    Q_OBJECT

public:
    explicit CommandLine(QWidget* parent = nullptr);

signals:
    void entered(const QString& line);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CommandHistory history_;
};

}  // namespace cadhost::gui
