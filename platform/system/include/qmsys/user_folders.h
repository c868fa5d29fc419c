#pragma once
// The current user's base folders, relocatable through the environment: the one place that
// knows the XDG rules, so that the registry, the environment library and the host agree.
#include <string>

namespace qmsys {

// $HOME, else the account's home folder, else "/".
std::string homeFolder();

// The folder for temporary files, without a trailing separator: $TMPDIR, else "/tmp" on POSIX;
// GetTempPathW's (TMP, TEMP, the profile's) on Windows, written with '/'.
std::string temporaryFolder();

enum class XdgFolder { Config, Data, State };

// $XDG_CONFIG_HOME / $XDG_DATA_HOME / $XDG_STATE_HOME when set to an absolute path (the XDG
// rules ignore relative ones), else homeFolder() + "/.config", "/.local/share" or
// "/.local/state".
std::string xdgFolder(XdgFolder which);

}  // namespace qmsys
