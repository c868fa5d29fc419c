#pragma once
// Path helpers with the module loader's rules. Paths use '/'; the first two characters of a
// path are never changed by tidying, so a leading pair of separators survives.
#include <string>
#include <string_view>

namespace qm::path {

// Keeps the first two characters; in the rest replaces every pair of consecutive separators
// by one, pairs taken left to right without overlap ("a///b" keeps two of its three).
std::string tidy(std::string_view path);

// Text after the last separator, cut before its last dot; a name with neither is its own
// title.
std::string fileTitle(std::string_view path);
// The same, as a view into path.
std::string_view fileTitleView(std::string_view path);

// PathAppend: joins with one separator; an absolute second part (leading '/') replaces the
// first. Relative names read from definition files may use '\', which becomes '/'.
std::string append(std::string_view base, std::string_view more);

// Turns every '\' into '/'.
std::string normalizeSeparators(std::string_view path);

// base with the product's folders below it, "<base>/Brenvik/Quillmont/<version>": the one
// spelling of the product folder, in the user's application data as in the state folder.
std::string productFolder(std::string_view base);

// The folder of the loader's per-user state (the catalogue's snapshots, the crash guard's
// record): the user's state folder with the product's folders below it, versioned as the
// user's application data is, so that two installed versions never read each other's state.
std::string userStateFolder();

}  // namespace qm::path
