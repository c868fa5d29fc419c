// qmreg's .reg reader on untrusted bytes: either the changes it describes or RegFileError,
// nothing else escapes.
#include <cstdint>
#include <string_view>

#include "tool/reg_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto sections =
            qmreg::tool::parseRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
        (void)sections;
    } catch (const qmreg::tool::RegFileError&) {
    }
    return 0;
}
