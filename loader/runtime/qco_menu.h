#pragma once
// The extra menu (group KRQM_QCO) that other programs of the product family switch on and off
// through the loader's exports. Loading keeps a private copy of the installed menu in the
// user's menus folder, replaces it when the installed file has changed, and loads the copy as
// a partial menu group.
//
// The file steps (compare, delete, copy) are not guarded by the menu lock; the group
// operations are. Runs on the calling program's thread.
#include <string>

namespace qm {

class DiagnosticLog;
class MenuGroupAutomation;

class QcoMenu {
public:
    // Both outlive this object.
    QcoMenu(MenuGroupAutomation& automation, DiagnosticLog& log)
        : automation_(automation), log_(log) {}

    // True when the menu is (or already was) loaded from the user's copy, and also when only
    // the final load failed. False when the installed menu is missing, an out-of-date copy or
    // one of its compiled files cannot be deleted, or the copy fails; only the last shows a
    // message box ("Create QCO files").
    bool loadQcoMenu();
    // Unloads the group; true whatever the host reports.
    bool unloadQcoMenu();

private:
    // Deletes an out-of-date copy with its compiled files, then copies the installed menu.
    bool replaceCopy(const std::string& source, const std::string& copy);

    MenuGroupAutomation& automation_;
    DiagnosticLog& log_;
};

}  // namespace qm
