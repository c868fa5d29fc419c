#pragma once
// The host's own commands, which come before those of applications:
//   ARX                 file names of the loaded applications, one a line, in load order
//   ARXLOAD PATH        loads an application
//   ARXUNLOAD NAME      unloads an application (by file name or path)
//   MENUGROUPS          "NAME<TAB>MENU FILE" per loaded menu group, in collection order
//   MENULOAD PATH       loads a menu file as a partial menu group
//   MENUUNLOAD GROUP    unloads a menu group
//   NEW / CLOSE         opens a new drawing / closes the current one
//   QUIT                ends the session
// Failures print one line; successes are silent apart from what a command lists.
#include <string>
#include <vector>

namespace cadhost {

class Host;

// Runs words[0] (any letter case) with words[1] as its argument. False when the host has no
// command of that name.
bool runBuiltinCommand(Host& host, const std::vector<std::string>& words);

}  // namespace cadhost
