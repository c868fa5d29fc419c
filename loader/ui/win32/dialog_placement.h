#pragma once
// The loader dialog's placement and its data values (the column widths) in the user's
// registry, under the same key and names as the Qt view keeps them: <root>\Dialogs\<name>
// with WindowLeft, WindowTop, WindowWidth, WindowHeight, WindowMaximized, and its Data subkey.
#include "ui/win32/win32.h"

#include <string>

namespace qm::ui::win32 {

class DialogPlacement {
public:
    DialogPlacement(std::string rootKey, std::string dialogName);

    // Moves and sizes dialog as stored (not below its template's size, not off every
    // monitor); false when nothing is stored.
    bool restore(HWND dialog, SIZE minimum) const;
    void store(HWND dialog) const;
    bool getData(const std::string& name, int& value) const;
    void setData(const std::string& name, int value) const;

private:
    std::string key() const;
    std::string rootKey_;
    std::string dialogName_;
};

}  // namespace qm::ui::win32
