#pragma once
// A dialog's remembered placement and named integer items, kept in the registry the way the
// host's dialog base keeps them: under HKEY_CURRENT_USER, <root key>\Dialogs\<dialog name>,
// the placement as the DWORD values "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"
// and "WindowMaximized", the items as DWORD values of their own names in the subkey "Data".
// With persistency off nothing is read or written. Pixels are the view's screen pixels.
#include <optional>
#include <string>
#include <string_view>

namespace qm::ui {

struct DialogPlacement {
    // The normal (not maximised) frame rectangle.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    // False when the stored placement has a size but no position.
    bool hasPosition = true;

    bool operator==(const DialogPlacement&) const = default;
};

class DialogPersistence {
public:
    DialogPersistence() = default;
    DialogPersistence(std::string rootKey, std::string_view dialogName, bool persistent)
        : rootKey_(std::move(rootKey)), dialogName_(dialogName), persistent_(persistent) {}

    void setRootKey(std::string key) { rootKey_ = std::move(key); }
    void setDialogName(std::string_view name) { dialogName_ = name; }
    void setPersistency(bool on) { persistent_ = on; }
    bool persistent() const { return persistent_; }
    // <root key>\Dialogs\<dialog name>
    std::string registryKey() const;

    // A stored item; nullopt when there is none (or persistency is off).
    std::optional<int> dialogData(const std::string& name) const;
    void setDialogData(const std::string& name, int value);

    // The stored placement: nullopt without a stored width and height.
    std::optional<DialogPlacement> placement() const;
    void storePlacement(const DialogPlacement& placement);

private:
    std::string rootKey_;
    std::string dialogName_;
    bool persistent_ = false;
};

// The name of the item that keeps the width of grid column `column` ("Size of column 3").
std::string ColumnWidthItemName(int column);

}  // namespace qm::ui
