// The user's locale decides, as it does for a sorted list box.
#include <climits>

#include "text_order_p.h"
#include "win32_p.h"

namespace qmsys {

int collate(std::string_view a, std::string_view b) {
    const std::wstring x = wide(a);
    const std::wstring y = wide(b);
    if (x.size() <= INT_MAX && y.size() <= INT_MAX) {
        const int result = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, x.c_str(),
                                             static_cast<int>(x.size()), y.c_str(),
                                             static_cast<int>(y.size()), nullptr, nullptr, 0);
        if (result != 0) {
            return result - CSTR_EQUAL;
        }
    }
    // The locale cannot compare (no such locale, texts too long): the fixed rule.
    return collateFixed(a, b);
}

}  // namespace qmsys
