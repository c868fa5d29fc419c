#include <algorithm>
#include <utility>
#include <vector>

#include "qmenv/environment.h"

namespace {

// The active loaders of this thread, innermost last.
std::vector<std::pair<const QmEnResourceLoader*, std::string>>& activeLoaders() {
    thread_local std::vector<std::pair<const QmEnResourceLoader*, std::string>> stack;
    return stack;
}

}  // namespace

QmEnResourceLoader::QmEnResourceLoader(std::string_view moduleName) : module_(moduleName) {}

QmEnResourceLoader::~QmEnResourceLoader() {
    if (!active_)
        return;
    // Normally the innermost entry; an object that ends out of order removes only itself.
    auto& stack = activeLoaders();
    auto it = std::find_if(stack.rbegin(), stack.rend(),
                           [this](const auto& entry) { return entry.first == this; });
    if (it != stack.rend())
        stack.erase(std::next(it).base());
}

bool QmEnResourceLoader::Activate(void* /*reserved*/) {
    if (module_.empty())
        return false;
    if (active_)
        return true;
    previous_ = QmEnCurrentResourceModule();
    activeLoaders().emplace_back(this, module_);
    active_ = true;
    return true;
}

std::string QmEnCurrentResourceModule() {
    const auto& stack = activeLoaders();
    return stack.empty() ? std::string() : stack.back().second;
}
