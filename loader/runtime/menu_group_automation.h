#pragma once
// The only way the module loader changes the host's menu groups: through the host's
// automation interface, each operation holding the session-wide lock "MenuLoaderProtector"
// for its whole duration, so that no two of these operations overlap in any thread or process
// of the user's session.
//
// Every failure (lock not taken in time, no host, an automation call that fails) is reported
// as a false result and written to the diagnostic log; nothing is shown.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

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
    std::optional<FoundGroup> FindMenuGroup(const std::string& name, FindMode mode);

    // True when a loaded group's menu file has the file title of pathOrName; writes its name.
    bool FindMenuGroupByFile(const std::string& pathOrName, std::string& groupName);
    // Loads menuFile as a partial menu group; writes the new group's name on success.
    bool LoadMenuGroupFile(const std::string& menuFile, std::string& groupName);
    // True only when a group of that name was found and the host unloaded it.
    bool UnloadMenuGroupByName(const std::string& groupName);
    // Unloads every product group, one per pass, last in the collection first. Stops at the
    // first group the host refuses to unload, so a group that cannot be unloaded never makes
    // the sweep spin.
    void UnloadProductMenuGroups();

    // While a Batch is open, lookups by name and by file are answered from an index of the
    // collection, built by one walk when the batch opens and kept current by this object's
    // own loads and unloads. It turns the per-menu walks over every loaded group into hash
    // lookups, so a start-up with thousands of modules stays linear. Groups that others load
    // or unload meanwhile (an application the start-up runs) change the host's count of
    // groups, which every indexed lookup compares, and the index is then built anew; a load
    // and an unload by others that leave the count as it was go unnoticed. Batches do not
    // nest.
    class Batch {
    public:
        explicit Batch(MenuGroupAutomation& owner);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        MenuGroupAutomation& owner_;
    };

private:
    class Hold;
    struct Index;
    std::optional<FoundGroup> FindIndexed(const std::string& name, FindMode mode);
    std::shared_ptr<cadhost::IAcadMenuGroups> Collection(const char* operation);
    void Log(const std::string& text);

    DiagnosticLog& log_;
    std::chrono::milliseconds timeout_;
    qmsys::NamedMutex protector_;
    std::unique_ptr<Index> index_;  // set while a Batch is open
};

}  // namespace qm
