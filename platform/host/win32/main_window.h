#pragma once
// The host's main window on Windows (see win32_front_end.h): a top-level window with a menu bar,
// a tab control for the drawings, a read-only output pane and a one-line command line whose
// Return runs the line and whose Up and Down walk the history.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win32_api.h"

namespace cadhost {
class ConsoleSession;
class Host;
}  // namespace cadhost

namespace cadhost::win32 {

class MainWindow : private AcApDocManagerReactor {
public:
    // Null, with why, when the window cannot be created.
    static std::unique_ptr<MainWindow> create(std::string& why);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return window_; }
    bool isOpen() const { return window_ != nullptr; }

    void attach(Host& host);
    void detach();

    // Runs one command line as typed (echoed first). False once the session should end; the
    // window then closes.
    bool execute(const std::string& line);
    // Host output from any thread: shown on the window's thread.
    void post(const std::string& text);
    // Rebuilds the menu bar when the loaded menu groups changed since the last call.
    void refreshMenus();
    // The wait cursor over the window, from any thread.
    void setWaiting(bool on);

    // The main window class's procedure.
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);

private:
    MainWindow() = default;
    static LRESULT CALLBACK commandLineProc(HWND edit, UINT message, WPARAM w, LPARAM l,
                                            UINT_PTR id, DWORD_PTR self);
    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);
    bool commandLineKey(UINT message, WPARAM w);
    void createControls();
    void layout();
    void applyFonts();
    void buildMenus();
    void showPendingOutput();
    void append(const std::wstring& text);

    void documentCreated(AcApDocument* document) override;
    void documentToBeDestroyed(AcApDocument* document) override;
    void documentBecameCurrent(AcApDocument* document) override;
    int tabOf(AcApDocument* document) const;

    HWND window_ = nullptr;
    HWND tabs_ = nullptr;
    HWND output_ = nullptr;
    HWND commandLine_ = nullptr;
    HFONT uiFont_ = nullptr;
    HFONT textFont_ = nullptr;
    Host* host_ = nullptr;
    AcApDocManager* documents_ = nullptr;
    std::unique_ptr<ConsoleSession> session_;
    CommandHistory history_;
    std::vector<AcApDocument*> tabDocuments_;
    std::vector<std::string> menuCommands_;  // the command of menu id kFirstMenuId + index
    std::vector<std::string> groupSignature_;
    bool menusBuilt_ = false;
    std::mutex pendingMutex_;
    std::string pending_;  // output not shown yet
    std::atomic<bool> waiting_{false};
};

}  // namespace cadhost::win32
