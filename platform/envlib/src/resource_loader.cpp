#include <algorithm>
#include <utility>
#include <vector>

#include "qmenv/environment.h"

namespace {

using LoaderStack = std::vector<std::pair<const QmEnResourceLoader*, std::string>>;

// The active loaders of this thread, innermost last; null while none is active. A plain
// pointer, so that no destructor runs at the thread's end: the mingw-w64 run-time runs a
// DLL's thread_local destructors after the thread's storage may already be gone (a thread
// that had only looked at an empty stack crashed on its way out, under Wine). The stack is
// made by the first Activate and deleted when its last loader ends.
thread_local LoaderStack* activeLoaders = nullptr;

}  // namespace

QmEnResourceLoader::QmEnResourceLoader(std::string_view moduleName) : module_(moduleName) {}

QmEnResourceLoader::~QmEnResourceLoader() {
    if (!active_)
        return;
    LoaderStack* stack = activeLoaders;
    if (!stack)
        return;
    // Normally the innermost entry; an object that ends out of order removes only itself.
    auto it = std::find_if(stack->rbegin(), stack->rend(),
                           [this](const auto& entry) { return entry.first == this; });
    if (it != stack->rend())
        stack->erase(std::next(it).base());
    if (stack->empty()) {
        delete stack;
        activeLoaders = nullptr;
    }
}

bool QmEnResourceLoader::Activate(void* /*reserved*/) {
    if (module_.empty())
        return false;
    if (active_)
        return true;
    previous_ = QmEnCurrentResourceModule();
    if (!activeLoaders)
        activeLoaders = new LoaderStack;
    activeLoaders->emplace_back(this, module_);
    active_ = true;
    return true;
}

std::string QmEnCurrentResourceModule() {
    const LoaderStack* stack = activeLoaders;
    return stack && !stack->empty() ? stack->back().second : std::string();
}
