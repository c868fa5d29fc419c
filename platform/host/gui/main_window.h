#pragma once
// The GUI host's main window. Its menu bar holds the host's own menu, then one menu for every
// pull-down section of every loaded menu group, in the order the groups were loaded; it follows
// the groups as they load and unload. Choosing an item runs its command line. The drawing area
// has one tab per open drawing; below it the output pane shows what the host prints and the
// command line takes commands as the console does.
#include <QMainWindow>
#include <QStringList>
#include <memory>

class QPlainTextEdit;
class QTabWidget;
class QTimer;

namespace cadhost {
class ConsoleSession;
class Host;
}  // namespace cadhost

namespace cadhost::gui {

class CommandLine;
class DrawingTabs;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Attaches the host; from then on the window shows its menus, drawings and output.
    void attach(Host& host);
    // Lets go of the host before it is destroyed.
    void detach();

    // Runs one command line as typed (echoed to the output first). False once the session
    // should end; the window then closes.
    bool execute(const QString& line);
    // Appends host output.
    void appendOutput(const QString& text);

    // Rebuilds the menu bar when the loaded menu groups changed since the last call.
    void refreshMenus();
    // The titles of the menu bar's menus, in order.
    QStringList menuTitles() const;

    CommandLine& commandLine() const { return *commandLine_; }
    QPlainTextEdit& output() const { return *output_; }
    DrawingTabs& drawings() const { return *drawings_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();

    Host* host_ = nullptr;
    std::unique_ptr<ConsoleSession> session_;
    DrawingTabs* drawings_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    CommandLine* commandLine_ = nullptr;
    QTimer* menuPoll_ = nullptr;
    QStringList groupSignature_;
    bool hostMenuBuilt_ = false;
};

}  // namespace cadhost::gui
