#pragma once
// The open drawings, which one is current, and the reactors that watch them. This class only
// keeps the books and notifies reactors; sending the drawing messages to applications is the
// host's part. Reactors added or removed while a notification runs take effect at once: a
// reactor removed during a notification is not called again.
#include <memory>
#include <vector>

#include "cadhost/arx.h"
#include "document.h"

namespace cadhost {

class DispatchStack;
struct ArxApplication;

class DocumentManager final : public AcApDocManager {
public:
    explicit DocumentManager(const DispatchStack& dispatch) : dispatch_(dispatch) {}

    AcApDocument* curDocument() const override { return current_; }
    int documentCount() const override { return static_cast<int>(documents_.size()); }
    void addReactor(AcApDocManagerReactor* reactor) override;
    void removeReactor(AcApDocManagerReactor* reactor) override;

    Document* current() const { return current_; }
    std::vector<Document*> documents() const;

    // Creates "Drawing<n>.dwg" (n counts up from 1 over the session), makes it current and
    // notifies documentCreated and documentBecameCurrent.
    Document& open();
    // Notifies documentToBeDestroyed, removes the drawing and, if it was current, makes the
    // one opened before it (or, if it was the first, the next one) current. The closed
    // drawing is handed back so that it outlives the notifications; null when it is not open.
    std::unique_ptr<Document> close(Document* closing);
    bool isOpen(const Document* document) const;

    // Makes a drawing current for its lifetime without telling reactors: the host uses it to
    // let a newly loaded application define its functions in every open drawing.
    class TemporaryCurrent {
    public:
        TemporaryCurrent(DocumentManager& manager, Document* document);
        ~TemporaryCurrent();
        TemporaryCurrent(const TemporaryCurrent&) = delete;
        TemporaryCurrent& operator=(const TemporaryCurrent&) = delete;

    private:
        DocumentManager& manager_;
        Document* previous_;
    };

    // Drops what an application left behind: its AutoLISP functions and its reactors.
    void removeOwnedBy(const ArxApplication& app);

private:
    struct Reactor {
        AcApDocManagerReactor* reactor;
        const ArxApplication* owner;  // identity only; null for reactors of no application
    };
    template <typename Notify>
    void notify(Notify notifyOne);

    const DispatchStack& dispatch_;
    std::vector<std::unique_ptr<Document>> documents_;  // in the order opened
    Document* current_ = nullptr;
    int nextNumber_ = 1;
    std::vector<Reactor> reactors_;
};

}  // namespace cadhost
