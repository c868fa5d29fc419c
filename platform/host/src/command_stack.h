#pragma once
// The host's command stack. Commands are found by global or local name without regard to
// case; when two groups define the same name, the command added last wins. Each command
// remembers the application that was being dispatched when it was added, so that the host can
// run it in that application's context and drop it when the application goes away.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadhost/arx.h"

namespace cadhost {

class DispatchStack;
struct ArxApplication;

class CommandStack final : public AcEdCommandStack {
public:
    struct Command {
        std::string group;
        std::string globalName;
        std::string localName;
        std::int32_t flags = 0;
        AcRxFunctionPtr handler = nullptr;
        std::shared_ptr<ArxApplication> owner;  // null for commands added outside any app
    };

    explicit CommandStack(const DispatchStack& dispatch) : dispatch_(dispatch) {}

    // eInvalidInput for a missing group, name or handler; eDuplicateKey when the group
    // already has a command of that global name.
    Acad::ErrorStatus addCommand(const char* groupName, const char* globalName,
                                 const char* localName, std::int32_t flags, AcRxFunctionPtr handler,
                                 void* uiContext, int fcode, void* resourceHandle) override;
    // eKeyNotFound when the group has no such command.
    Acad::ErrorStatus removeCmd(const char* groupName, const char* globalName) override;
    Acad::ErrorStatus removeGroup(const char* groupName) override;

    // A copy, so that the caller may run it even if it removes itself while running.
    std::optional<Command> find(std::string_view name) const;
    void removeOwnedBy(const ArxApplication& app);

private:
    const DispatchStack& dispatch_;
    std::vector<Command> commands_;  // in the order added
};

}  // namespace cadhost
