#include "main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "cadhost/console_session.h"
#include "cadhost/host.h"
#include "command_line.h"
#include "drawing_tabs.h"

namespace cadhost::gui {
namespace {

// The host's own menu: its built-in commands.
struct HostItem {
    const char* label;
    const char* command;  // null: separator
};
constexpr HostItem kHostMenu[] = {
    {"&New drawing", "NEW"},  {"&Close drawing", "CLOSE"},    {nullptr, nullptr},
    {"&Applications", "ARX"}, {"&Menu groups", "MENUGROUPS"}, {nullptr, nullptr},
    {"&Quit", "QUIT"},
};

constexpr int kMenuPollMs = 300;

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(tr("CAD host"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* split = new QSplitter(Qt::Vertical, central);
    drawings_ = new DrawingTabs(split);
    output_ = new QPlainTextEdit(split);
    output_->setReadOnly(true);
    output_->setMaximumBlockCount(5000);
    output_->setFont(QFont(QStringLiteral("Monospace"), 9));
    split->addWidget(drawings_);
    split->addWidget(output_);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setSizes({540, 140});
    layout->addWidget(split);

    commandLine_ = new CommandLine(central);
    commandLine_->setFont(output_->font());
    layout->addWidget(commandLine_);
    setCentralWidget(central);
    resize(1000, 700);

    connect(commandLine_, &CommandLine::entered, this, &MainWindow::execute);
    menuPoll_ = new QTimer(this);
    menuPoll_->setInterval(kMenuPollMs);
    connect(menuPoll_, &QTimer::timeout, this, &MainWindow::refreshMenus);
}

MainWindow::~MainWindow() = default;

void MainWindow::attach(Host& host) {
    host_ = &host;
    session_ = std::make_unique<ConsoleSession>(host);
    drawings_->follow(acDocManagerPtr());
    buildMenus();
    menuPoll_->start();
    commandLine_->setFocus();
}

void MainWindow::detach() {
    menuPoll_->stop();
    drawings_->follow(nullptr);
    session_.reset();
    host_ = nullptr;
}

void MainWindow::appendOutput(const QString& text) {
    QString piece = text;
    if (piece.endsWith(QLatin1Char('\n'))) {
        piece.chop(1);
    }
    output_->appendPlainText(piece);
}

bool MainWindow::execute(const QString& line) {
    if (session_ == nullptr) {
        return false;
    }
    appendOutput(QStringLiteral("Command: ") + line);
    const bool goOn = session_->execute(line.toStdString()) && !host_->quitRequested();
    refreshMenus();
    if (!goOn) {
        // Closing from inside a menu action or the command line's signal is deferred.
        QTimer::singleShot(0, this, &QWidget::close);
    }
    return goOn;
}

void MainWindow::refreshMenus() {
    if (host_ == nullptr) {
        return;
    }
    QStringList signature;
    for (const MenuGroupInfo& group : host_->menuGroups()) {
        signature << QString::fromStdString(group.name + "|" + group.menuFile);
    }
    if (signature != groupSignature_ || !hostMenuBuilt_) {
        buildMenus();
    }
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->clear();
    QMenu* hostMenu = bar->addMenu(tr("&Host"));
    for (const HostItem& item : kHostMenu) {
        if (item.command == nullptr) {
            hostMenu->addSeparator();
            continue;
        }
        const QString command = QString::fromLatin1(item.command);
        hostMenu->addAction(tr(item.label), this, [this, command] { execute(command); });
    }
    hostMenuBuilt_ = true;

    groupSignature_.clear();
    if (host_ == nullptr) {
        return;
    }
    for (const MenuGroupInfo& group : host_->menuGroups()) {
        groupSignature_ << QString::fromStdString(group.name + "|" + group.menuFile);
        for (const PopMenu& pop : group.definition.popMenus) {
            QString title = QString::fromStdString(pop.title);
            if (title.isEmpty()) {
                title = QString::fromStdString(pop.alias.empty() ? group.name : pop.alias);
            }
            QMenu* menu = bar->addMenu(title);
            menu->setObjectName(QString::fromStdString(group.name));
            for (const MenuItem& item : pop.items) {
                if (item.separator) {
                    menu->addSeparator();
                    continue;
                }
                QAction* action = menu->addAction(QString::fromStdString(item.label));
                const QString command = QString::fromStdString(item.command);
                if (command.isEmpty()) {
                    action->setEnabled(false);
                    continue;
                }
                connect(action, &QAction::triggered, this, [this, command] { execute(command); });
            }
        }
    }
}

QStringList MainWindow::menuTitles() const {
    QStringList titles;
    for (QAction* action : menuBar()->actions()) {
        if (action->menu() != nullptr) {
            titles << action->text();
        }
    }
    return titles;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    menuPoll_->stop();
    QMainWindow::closeEvent(event);
}

}  // namespace cadhost::gui
