#include "dispatch_stack.h"

#include "arx_application.h"

namespace cadhost {

DispatchStack::Scope::Scope(DispatchStack& stack, Frame frame) : stack_(stack) {
    stack_.frames_.push_back(std::move(frame));
}

DispatchStack::Scope::~Scope() {
    stack_.frames_.pop_back();
}

std::shared_ptr<ArxApplication> DispatchStack::currentApp() const {
    return frames_.empty() ? nullptr : frames_.back().app;
}

int DispatchStack::funCode() const {
    return frames_.empty() ? -1 : frames_.back().funCode;
}

LispValue* DispatchStack::result() const {
    return frames_.empty() ? nullptr : frames_.back().result;
}

}  // namespace cadhost
