#include "cadhost/host.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <iostream>
#include <stdexcept>

#include "arx_application.h"
#include "builtin_commands.h"
#include "console_ui.h"
#include "host_p.h"
#include "text_util.h"

namespace cadhost {

namespace {
std::atomic<Host*> currentHost{nullptr};

std::string storeFile(const HostOptions& options) {
    return options.menuListFile.empty() ? MenuGroupStore::defaultFile() : options.menuListFile;
}
}  // namespace

Host::Impl::Impl(const HostOptions& options)
    : output(options.output != nullptr ? options.output : &std::cout),
      menuGroups(std::make_shared<MenuGroupCollection>(MenuGroupStore(storeFile(options)),
                                                       options.menuGroupChangeCount)) {}

std::shared_ptr<UiServices> Host::Impl::uiServices() {
    std::lock_guard lock(uiMutex);
    return ui;
}

Host::Host(HostOptions options) {
    Host* expected = nullptr;
    if (!currentHost.compare_exchange_strong(expected, this)) {
        throw std::logic_error("a host already runs in this process");
    }
    impl_ = std::make_unique<Impl>(options);
    impl_->ui = std::make_shared<ConsoleUi>(*this);
}

Host::~Host() {
    quit();
    currentHost = nullptr;
}

Host* Host::current() {
    return currentHost;
}

void Host::print(const std::string& text) {
    std::lock_guard lock(impl_->outputMutex);
    *impl_->output << text << std::flush;
}

void Host::setUiServices(std::shared_ptr<UiServices> services) {
    std::lock_guard lock(impl_->uiMutex);
    impl_->ui = services ? std::move(services) : std::make_shared<ConsoleUi>(*this);
}

UiServices& Host::uiServices() {
    return *impl_->uiServices();
}

void Host::setFrame(AcFrameWindow* frame) {
    impl_->frame = frame;
}

AcFrameWindow* Host::frame() const {
    return impl_->frame;
}

void Host::restoreMenuGroups() {
    impl_->menuGroups->restore();
}

std::vector<MenuGroupInfo> Host::menuGroups() const {
    return impl_->menuGroups->groups();
}

IAcadApplication& Host::automation() {
    return impl_->automation;
}

ArxLoadResult Host::loadApplication(const std::string& path) {
    return impl_->apps.load(path);
}

int Host::unloadApplication(const std::string& nameOrPath) {
    return impl_->apps.unload(nameOrPath);
}

std::vector<ArxAppInfo> Host::applications() const {
    std::vector<ArxAppInfo> out;
    for (const auto& app : impl_->apps.applications()) {
        out.push_back(ArxAppInfo{app->fileName, app->path, app->locked, app->mdiAware});
    }
    return out;
}

std::string Host::newDrawing() {
    const std::string name = impl_->documents.open().name();
    impl_->apps.broadcast(AcRx::kLoadDwgMsg);
    return name;
}

bool Host::closeDrawing() {
    Document* closing = impl_->documents.current();
    if (closing == nullptr) {
        return false;
    }
    impl_->apps.broadcast(AcRx::kUnloadDwgMsg);
    // Does nothing when an application closed the drawing itself while handling the message.
    impl_->documents.close(closing);
    return true;
}

std::string Host::currentDrawing() const {
    const Document* document = impl_->documents.current();
    return document != nullptr ? document->name() : std::string();
}

bool Host::runCommand(const std::vector<std::string>& words) {
    if (words.empty()) {
        return false;
    }
    std::vector<std::string> command = words;
    command[0].erase(0, command[0].find_first_not_of("_."));
    if (command[0].empty()) {
        return false;
    }
    // A built-in command that meets something it cannot handle fails alone; the session goes
    // on. (Calls into applications are guarded where the host makes them.)
    try {
        if (runBuiltinCommand(*this, command)) {
            return true;
        }
    } catch (const std::exception& e) {
        print("Command " + asciiUpper(command[0]) + " failed: " + e.what() + "\n");
        return true;
    }
    if (const auto registered = impl_->commands.find(command[0])) {
        impl_->apps.run(*registered);
        return true;
    }
    print("Unknown command \"" + asciiUpper(command[0]) + "\".  Press F1 for help.\n");
    return false;
}

LispCallResult Host::callLisp(const std::string& name) {
    const Document* document = impl_->documents.current();
    if (document == nullptr) {
        return LispCallResult{};
    }
    const auto function = document->find(name);
    if (!function) {
        return LispCallResult{};
    }
    return impl_->apps.invoke(*function);
}

void Host::requestQuit() {
    impl_->quitRequested = true;
}

bool Host::quitRequested() const {
    return impl_->quitRequested;
}

void Host::quit() {
    if (impl_->quitDone) {
        return;
    }
    impl_->quitDone = true;
    impl_->quitRequested = true;
    // The process is ending and everything is about to be freed: small blocks are merged with
    // their neighbours as they are freed, while their memory is at hand, instead of piling up
    // in the allocator's fast bins for one long merge at the first large block freed at exit.
    // (glibc's allocator; others have no fast bins to turn off.)
#if defined(__GLIBC__)
    ::mallopt(M_MXFAST, 0);
#endif
    impl_->apps.broadcast(AcRx::kQuitMsg, /*reverseOrder=*/true);
    while (closeDrawing()) {
    }
    impl_->apps.unloadAll();
}

}  // namespace cadhost
