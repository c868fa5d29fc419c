#include "win32_front_end.h"

#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>

#include "main_window.h"
#include "ui_services.h"

namespace cadhost::win32 {
namespace {

// The host's output stream: every flushed piece goes to the main window, which shows it on
// its own thread. Pieces from different threads stay whole as long as each writer flushes its
// own (the host prints every message as one piece and flushes it).
class WindowOutput : public std::streambuf {
public:
    explicit WindowOutput(MainWindow& window) : window_(window) {}

private:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            std::lock_guard lock(mutex_);
            pending_ += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(mutex_);
        pending_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        std::string piece;
        {
            std::lock_guard lock(mutex_);
            piece.swap(pending_);
        }
        if (!piece.empty()) {
            window_.post(piece);
        }
        return 0;
    }

    MainWindow& window_;
    std::mutex mutex_;
    std::string pending_;
};

}  // namespace

bool runWindowSession(const std::function<void(Host&)>& bringUp, int& exitCode, std::string& why) {
    std::unique_ptr<MainWindow> window = MainWindow::create(why);
    if (window == nullptr) {
        return false;
    }
    WindowOutput buffer(*window);
    std::ostream output(&buffer);
    // Shown before the start-up, which may have messages for the user: they are owned by the
    // window the user sees.
    ::ShowWindow(window->handle(), SW_SHOWDEFAULT);
    ::UpdateWindow(window->handle());
    exitCode = 0;
    {
        Host host(HostOptions{&output, {}});
        host.setUiServices(std::make_shared<Win32UiServices>(*window));
        host.setFrame(reinterpret_cast<AcFrameWindow*>(window->handle()));
        window->attach(host);
        bringUp(host);
        window->refreshMenus();
        if (!host.quitRequested() && window->isOpen()) {
            MSG message{};
            BOOL got = 0;
            while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
            exitCode = got < 0 ? 1 : static_cast<int>(message.wParam);
        }
        host.quit();
        window->detach();
        host.setFrame(nullptr);
        host.setUiServices(nullptr);
    }
    return true;
}

}  // namespace cadhost::win32
