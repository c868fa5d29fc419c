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
// The text after the last separator: '/', and on Windows '\\' as well.
std::string fileNameOf(std::string_view path);
// The file name without its last extension.
std::string fileTitleOf(std::string_view path);
// The last extension without its dot; empty when there is none.
std::string extensionOf(std::string_view path);
// Whether path names a file by its folder, rather than by its name alone: it holds a separator.
bool hasFolder(std::string_view path);
// path made absolute against the working directory and with "." and ".." resolved
// lexically (links are not followed). On Windows, with a drive (its letter upper-case) or a
// share, and '/' as the one separator ("c:\Menus\a.mnu" gives "C:/Menus/a.mnu"), as the
// rest of the product writes paths, so that one file has one spelling whichever separator its
// user wrote.
std::string absolutePath(const std::string& path);

}  // namespace cadhost
