#pragma once
// Registry key and value names compare as Windows compares them, through the same upper-case
// table as file names (qmsys::upcaseName): "ä" and "Ä", "ω" and "Ω" are one name; "ß" and "SS"
// are two. Two names are the same name exactly when their folded forms are byte-for-byte
// equal. Folded names are stored, so the folding must not change under existing stores. A
// folded name never holds a lower-case ASCII letter; the store relies on that to keep names
// that no lookup can produce.
#include <string>
#include <string_view>

#include <qmsys/text.h>

namespace qmreg::detail {

inline std::string foldName(std::string_view utf8) {
    return qmsys::upcaseName(utf8);
}
// The same into out, reusing its room; utf8 must not lie inside out.
inline void foldNameInto(std::string_view utf8, std::string& out) {
    qmsys::upcaseNameInto(utf8, out);
}

}  // namespace qmreg::detail
