#pragma once
// Text helpers of the host. Names (commands, AutoLISP functions, menu groups, applications)
// compare the way the host has always compared them: ASCII letters folded, nothing else;
// that folding is the support layer's.
#include <qmsys/text.h>

#include <string>
#include <string_view>

namespace cadhost {

using qmsys::asciiUpper;
using qmsys::iequals;
// Removes white space (space, tab, CR, LF, FF, VT) at both ends.
std::string trim(std::string_view text);
// The same, as a view into text.
std::string_view trimView(std::string_view text);
// The text after the last '/'.
std::string fileNameOf(std::string_view path);
// The file name without its last extension.
std::string fileTitleOf(std::string_view path);
// The last extension without its dot; empty when there is none.
std::string extensionOf(std::string_view path);
// path made absolute against the working directory and with "." and ".." resolved
// lexically (links are not followed).
std::string absolutePath(const std::string& path);

}  // namespace cadhost
