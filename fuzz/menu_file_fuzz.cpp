// The host's menu parser on untrusted text, under both the .mnu and the compiled rule. A
// parsed menu always has a group name; under the compiled rule any text yields one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <cadhost/menu_file.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto plain = cadhost::parseMenuText(text, false, "TITLE");
    const auto compiled = cadhost::parseMenuText(text, true, "TITLE");
    if ((plain && plain->groupName.empty()) || !compiled || compiled->groupName.empty()) {
        std::abort();
    }
    // A group line makes both rules agree.
    if (plain && (compiled->groupName != plain->groupName ||
                  compiled->popMenus.size() != plain->popMenus.size())) {
        std::abort();
    }
    return 0;
}
