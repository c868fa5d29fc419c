#include "qmsys/local_time.h"

namespace qmsys {

std::tm localTime(std::time_t t) {
    std::tm tm{};
    if (::localtime_s(&tm, &t) != 0) {
        return std::tm{};
    }
    return tm;
}

}  // namespace qmsys
