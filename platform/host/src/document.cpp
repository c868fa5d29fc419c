#include "document.h"

#include "text_util.h"

namespace cadhost {

void Document::define(const std::string& name, LispFunction function) {
    functions_[asciiUpper(name)] = std::move(function);
}

bool Document::undefine(const std::string& name, const ArxApplication& app, int code) {
    const auto it = functions_.find(asciiUpper(name));
    if (it == functions_.end() || it->second.app.get() != &app || it->second.code != code) {
        return false;
    }
    functions_.erase(it);
    return true;
}

std::optional<Document::LispFunction> Document::find(const std::string& name) const {
    const auto it = functions_.find(asciiUpper(name));
    if (it == functions_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void Document::removeOwnedBy(const ArxApplication& app) {
    std::erase_if(functions_, [&](const auto& entry) { return entry.second.app.get() == &app; });
}

}  // namespace cadhost
