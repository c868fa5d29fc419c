#pragma once
// Menu files the host loads as menu groups.
//
// A ".mnu" file is line-oriented text:
//   ***MENUGROUP=NAME      the group's name (surrounding white space removed, case kept);
//                          a .mnu without it cannot be loaded
//   ***NOUNLOAD            the group refuses to be unloaded (Unload gives E_ACCESSDENIED);
//                          lets tests and demos provoke the unload failure path
//   ***POP<n>              starts a pull-down menu; an optional "**ALIAS" line may follow
//   [Label]COMMAND         a menu item; an optional tag before "[" is ignored. The first item
//                          of a pull-down menu is its title. Leading "^C" pairs are cancel
//                          prefixes and are stripped from the command.
//   [--]                   a separator
//   // text                a comment
// Any other "***" section ends the current pull-down menu; lines in it are ignored.
//
// A ".cui" or ".cuix" file is treated as a compiled menu: when it holds a ***MENUGROUP= line it
// is read as above; otherwise its group name is its file title (the file name without its
// extension), so any readable file of that kind loads. Extensions compare without regard to
// case.
#include <qmsys/handle.h>
#include <qmsys/letter_case.h>

#include <optional>
#include <string>
#include <vector>

namespace cadhost {

struct MenuItem {
    std::string label;    // empty for a separator
    std::string command;  // command line to run; empty for a separator or a label-only item
    bool separator = false;
};

struct PopMenu {
    std::string alias;  // the "**ALIAS" name; empty when absent
    std::string title;  // from the first item line
    std::vector<MenuItem> items;
};

struct MenuDefinition {
    std::string groupName;
    bool refusesUnload = false;
    std::vector<PopMenu> popMenus;
};

// Parses menu text. compiled selects the .cui/.cuix rule, under which fileTitle names the
// group when the text has no group line. nullopt when no group name results.
std::optional<MenuDefinition> parseMenuText(const std::string& text, bool compiled,
                                            const std::string& fileTitle);

// Reads and parses a menu file, choosing the rule by its extension. As on Windows, a path
// written in another letter case than the file finds the file (qmsys/letter_case.h; only a path
// missing as written pays for it). nullopt when the file cannot be read or names no group.
std::optional<MenuDefinition> readMenuFile(const std::string& path);
// The same for a file of folder (when open), path naming it as a whole: only the name after
// path's last '/' is looked up in the folder. For readers of many menus of one folder, who
// keep names (may be null) for the pass, so that a folder is listed once for all the names
// written in another letter case than their files.
std::optional<MenuDefinition> readMenuFile(const std::string& path,
                                           const qmsys::FolderHandle* folder,
                                           qmsys::LetterCaseIndex* names = nullptr);

}  // namespace cadhost
