#pragma once
// Registry key and value names compare as Windows compares them: each UTF-16 code unit is
// upper-cased with the simple Unicode mapping ("ä" and "Ä", "ω" and "Ω" are one name; "ß" and
// "SS" are two). Names are stored as UTF-8, so folding works on UTF-8: each character of the
// Basic Multilingual Plane is upper-cased, characters outside it (two code units in UTF-16,
// neither of which has an upper case) and bytes that are not UTF-8 stay as they are.
//
// Two names are the same name exactly when their folded forms are byte-for-byte equal. A
// folded name never holds a lower-case ASCII letter; the store relies on that to keep names
// that no lookup can produce.
#include <string>
#include <string_view>

namespace qmreg::detail {

std::string foldName(std::string_view utf8);
// The same into out, reusing its room; utf8 must not lie inside out.
void foldNameInto(std::string_view utf8, std::string& out);

}  // namespace qmreg::detail
