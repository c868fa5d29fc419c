#include "document_manager.h"

#include <algorithm>

#include "dispatch_stack.h"

namespace cadhost {

void DocumentManager::addReactor(AcApDocManagerReactor* reactor) {
    if (reactor == nullptr) {
        return;
    }
    const bool known = std::any_of(reactors_.begin(), reactors_.end(),
                                   [&](const Reactor& r) { return r.reactor == reactor; });
    if (!known) {
        reactors_.push_back(Reactor{reactor, dispatch_.currentApp().get()});
    }
}

void DocumentManager::removeReactor(AcApDocManagerReactor* reactor) {
    std::erase_if(reactors_, [&](const Reactor& r) { return r.reactor == reactor; });
}

std::vector<Document*> DocumentManager::documents() const {
    std::vector<Document*> out;
    for (const auto& document : documents_) {
        out.push_back(document.get());
    }
    return out;
}

template <typename Notify>
void DocumentManager::notify(Notify notifyOne) {
    const std::vector<Reactor> snapshot = reactors_;
    for (const Reactor& entry : snapshot) {
        const bool stillRegistered =
            std::any_of(reactors_.begin(), reactors_.end(),
                        [&](const Reactor& r) { return r.reactor == entry.reactor; });
        if (stillRegistered) {
            notifyOne(*entry.reactor);
        }
    }
}

Document& DocumentManager::open() {
    documents_.push_back(
        std::make_unique<Document>("Drawing" + std::to_string(nextNumber_++) + ".dwg"));
    Document* document = documents_.back().get();
    current_ = document;
    notify([&](AcApDocManagerReactor& r) { r.documentCreated(document); });
    notify([&](AcApDocManagerReactor& r) { r.documentBecameCurrent(document); });
    return *document;
}

bool DocumentManager::isOpen(const Document* document) const {
    return std::any_of(documents_.begin(), documents_.end(),
                       [&](const auto& d) { return d.get() == document; });
}

std::unique_ptr<Document> DocumentManager::close(Document* closing) {
    if (!isOpen(closing)) {
        return nullptr;
    }
    notify([&](AcApDocManagerReactor& r) { r.documentToBeDestroyed(closing); });
    const auto it = std::find_if(documents_.begin(), documents_.end(),
                                 [&](const auto& d) { return d.get() == closing; });
    if (it == documents_.end()) {
        return nullptr;  // a reactor closed it meanwhile
    }
    std::unique_ptr<Document> closed = std::move(*it);
    const auto index = static_cast<std::size_t>(it - documents_.begin());
    documents_.erase(it);
    if (current_ != closing) {
        return closed;
    }
    current_ = documents_.empty() ? nullptr : documents_[index > 0 ? index - 1 : 0].get();
    if (Document* next = current_) {
        notify([&](AcApDocManagerReactor& r) { r.documentBecameCurrent(next); });
    }
    return closed;
}

DocumentManager::TemporaryCurrent::TemporaryCurrent(DocumentManager& manager, Document* document)
    : manager_(manager), previous_(manager.current_) {
    manager_.current_ = document;
}

DocumentManager::TemporaryCurrent::~TemporaryCurrent() {
    // The previous drawing may have been closed by the application meanwhile.
    manager_.current_ = manager_.isOpen(previous_)    ? previous_
                        : manager_.documents_.empty() ? nullptr
                                                      : manager_.documents_.back().get();
}

void DocumentManager::removeOwnedBy(const ArxApplication& app) {
    for (const auto& document : documents_) {
        document->removeOwnedBy(app);
    }
    std::erase_if(reactors_, [&](const Reactor& r) { return r.owner == &app; });
}

}  // namespace cadhost
