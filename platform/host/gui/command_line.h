#pragma once
// The host's command line: one line of input with a history that Up and Down walk through.
// Return hands the line over (entered) and clears the field; blank lines are not kept.
#include <QLineEdit>
#include <QStringList>

namespace cadhost::gui {

class CommandLine : public QLineEdit {
    Q_OBJECT

public:
    explicit CommandLine(QWidget* parent = nullptr);
    const QStringList& history() const { return history_; }

signals:
    void entered(const QString& line);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QStringList history_;
    int position_ = 0;  // history_.size() while editing a new line
    QString draft_;
};

}  // namespace cadhost::gui
