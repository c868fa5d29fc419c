#include "command_stack.h"

#include <algorithm>

#include "dispatch_stack.h"
#include "text_util.h"

namespace cadhost {

namespace {
bool present(const char* s) {
    return s != nullptr && *s != '\0';
}
}  // namespace

Acad::ErrorStatus CommandStack::addCommand(const char* groupName, const char* globalName,
                                           const char* localName, std::int32_t flags,
                                           AcRxFunctionPtr handler, void* /*uiContext*/,
                                           int /*fcode*/, void* /*resourceHandle*/) {
    if (!present(groupName) || !present(globalName) || handler == nullptr) {
        return Acad::eInvalidInput;
    }
    const bool duplicate = std::any_of(commands_.begin(), commands_.end(), [&](const Command& c) {
        return iequals(c.group, groupName) && iequals(c.globalName, globalName);
    });
    if (duplicate) {
        return Acad::eDuplicateKey;
    }
    commands_.push_back(Command{groupName, globalName, present(localName) ? localName : globalName,
                                flags, handler, dispatch_.currentApp()});
    return Acad::eOk;
}

Acad::ErrorStatus CommandStack::removeCmd(const char* groupName, const char* globalName) {
    if (!present(groupName) || !present(globalName)) {
        return Acad::eInvalidInput;
    }
    const auto removed = std::erase_if(commands_, [&](const Command& c) {
        return iequals(c.group, groupName) && iequals(c.globalName, globalName);
    });
    return removed > 0 ? Acad::eOk : Acad::eKeyNotFound;
}

Acad::ErrorStatus CommandStack::removeGroup(const char* groupName) {
    if (!present(groupName)) {
        return Acad::eInvalidInput;
    }
    const auto removed =
        std::erase_if(commands_, [&](const Command& c) { return iequals(c.group, groupName); });
    return removed > 0 ? Acad::eOk : Acad::eKeyNotFound;
}

std::optional<CommandStack::Command> CommandStack::find(std::string_view name) const {
    const auto it = std::find_if(commands_.rbegin(), commands_.rend(), [&](const Command& c) {
        return iequals(c.globalName, name) || iequals(c.localName, name);
    });
    if (it == commands_.rend()) {
        return std::nullopt;
    }
    return *it;
}

void CommandStack::removeOwnedBy(const ArxApplication& app) {
    std::erase_if(commands_, [&](const Command& c) { return c.owner.get() == &app; });
}

}  // namespace cadhost
