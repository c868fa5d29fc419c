#include "catalogue/com_error.h"

#include <cstdio>

namespace qm {

ComError::ComError(std::uint32_t code, const std::string& what, int line)
    : std::runtime_error(what), code_(code), line_(line) {}

std::string ComErrorText(std::uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(code));
    return std::string("Error parsing XML file.") + "\nIs the MSXML reader installed?" +
           "\n\nCOM Error" + "\nCode = " + hex;
}

}  // namespace qm
