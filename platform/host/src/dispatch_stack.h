#pragma once
// Which application the host is calling into right now. The API functions that act on "the
// current application" (acedDefun, acedRegFunc, acedGetFunCode, acedRetInt, addCommand, ...)
// read the innermost frame. Frames nest when an application calls back into the host and the
// host calls an application again (acedArxLoad from a command, acedCommandS from a message).
#include <memory>
#include <vector>

#include "cadhost/host.h"

namespace cadhost {

struct ArxApplication;

class DispatchStack {
public:
    struct Frame {
        std::shared_ptr<ArxApplication> app;  // null while the host itself runs
        int funCode = -1;                     // the AutoLISP function being called, or -1
        LispValue* result = nullptr;          // where acedRet* store; null outside AutoLISP
    };

    // Pushes a frame for its lifetime.
    class Scope {
    public:
        Scope(DispatchStack& stack, Frame frame);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        DispatchStack& stack_;
    };

    std::shared_ptr<ArxApplication> currentApp() const;
    int funCode() const;
    LispValue* result() const;

private:
    std::vector<Frame> frames_;
};

}  // namespace cadhost
