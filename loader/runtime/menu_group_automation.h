#pragma once
// The only way the module loader changes the host's menu groups: through the host's
// automation interface, each operation holding the session-wide lock "MenuLoaderProtector"
// for its whole duration, so that no two of these operations overlap in any thread or process
// of the user's session.
//
// Every failure (lock not taken in time, no host, an automation call that fails) is reported
// as a false result and written to the diagnostic log; nothing is shown.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <cadhost/automation.h>
#include <qmsys/named_mutex.h>

namespace qm {

class DiagnosticLog;

class MenuGroupAutomation {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    // log outlives this object. timeout bounds every wait for the lock.
    explicit MenuGroupAutomation(DiagnosticLog& log,
                                 std::chrono::milliseconds timeout = kDefaultTimeout);
    ~MenuGroupAutomation();
    MenuGroupAutomation(const MenuGroupAutomation&) = delete;
    MenuGroupAutomation& operator=(const MenuGroupAutomation&) = delete;

    enum class FindMode {
        ByName = 0,         // group name equals the given name (ASCII case ignored); first wins
        ByFile = 1,         // file titles of menu file and given name equal; first wins
        ProductGroups = 2,  // name begins with "KRQM" or "QCO" (case-sensitive); last wins
    };
    struct FoundGroup {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        std::string name;  // filled for ByName and ByFile only
    };

    // The shared lookup. Unguarded: callers hold the lock, or accept that the collection may
    // change under them. An empty name finds nothing, in every mode.
    std::optional<FoundGroup> FindMenuGroup(std::string_view name, FindMode mode);

    // True when a loaded group's menu file has the file title of pathOrName; writes its name.
    bool FindMenuGroupByFile(const std::string& pathOrName, std::string& groupName);
    // FindMenuGroupByFile for many names in one hold of the protector (one wait when another
    // holds it, instead of one per name): found holds, in the order of pathsOrNames, each
    // position i whose file title a loaded group has, with that group's name; nearly all are
    // found in none at a start-up (docs/PERFORMANCE.md: stale menus looked up together). False,
    // and found empty, when the protector was not taken in time.
    bool FindMenuGroupsByFile(const std::vector<std::string_view>& pathsOrNames,
                              std::vector<std::pair<std::size_t, std::string>>& found);
    // Loads menuFile as a partial menu group; writes the new group's name on success.
    bool LoadMenuGroupFile(const std::string& menuFile, std::string& groupName);
    // True only when a group of that name was found and the host unloaded it.
    bool UnloadMenuGroupByName(const std::string& groupName);
    // Unloads every product group, one per pass, last in the collection first. Stops at the
    // first group the host refuses to unload, so a group that cannot be unloaded never makes
    // the sweep spin.
    void UnloadProductMenuGroups();

private:
    // The protector, held by one operation for its whole duration and by nothing else: no
    // caller holds it across operations, and no operation calls another, so another process
    // may act between any two of them and one wait covers one operation.
    class Hold {
    public:
        // operation names the holder in the diagnostic log when the wait times out.
        Hold(MenuGroupAutomation& owner, const char* operation);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        explicit operator bool() const { return held_; }

    private:
        MenuGroupAutomation& owner_;
        bool held_;
    };

    struct Index;
    // The index of the host's current groups: rebuilt by one walk when the collection's change
    // count has moved since it was built, else reused. Callers hold the protector.
    Index* CurrentIndex(cadhost::IAcadMenuGroups& groups);
    // After this object's own load or unload: keeps the index when the count moved by exactly
    // that one change, else drops it.
    void NoteOwnChange(cadhost::IAcadMenuGroups& groups, std::uint64_t before,
                       const std::function<void(Index&)>& update);
    std::shared_ptr<cadhost::IAcadMenuGroups> Collection(const char* operation);
    void Log(const std::string& text);

    DiagnosticLog& log_;
    std::chrono::milliseconds timeout_;
    qmsys::NamedMutex protector_;
    // Lookups by name and by file answer from this index of the loaded groups in O(1), so a
    // start-up with thousands of menus stays linear; the host's change count tells when it no
    // longer describes the collection (an application may load or unload groups at any time).
    std::unique_ptr<Index> index_;
};

}  // namespace qm
