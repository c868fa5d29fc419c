// Path tidying, file titles, joining, and QmEnBuildFilename's macro expansion and joining, each
// against the rule it promises. The first input byte picks the base folder of
// QmEnBuildFilename; the rest is the path.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <qmenv/environment.h>

#include "environment/path_util.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// The tidying rule written out: after the first two characters, each "//" becomes "/", pairs
// taken from the left without overlap.
std::string tidyReference(std::string_view path) {
    if (path.size() <= 2) {
        return std::string(path);
    }
    std::string out(path.substr(0, 2));
    for (std::size_t i = 2; i < path.size();) {
        if (path.substr(i, 2) == "//") {
            out += '/';
            i += 2;
        } else {
            out += path[i++];
        }
    }
    return out;
}

// A private, empty user and installation, so that the environment library reads nothing of
// the real user's.
void relocate() {
    static const bool done = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/qm-fuzz-XXXXXX";
        if (!::mkdtemp(folder.data())) {
            std::abort();
        }
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                                 "APPDATA", "QM_REGISTRY_DIR"}) {
            ::setenv(name, folder.c_str(), 1);
        }
        ::setenv("QM_APP_PATH", "/opt/quillmont/", 1);
        return true;
    }();
    (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    relocate();
    const int base = data[0] % 3;  // none, installation, user data
    const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);

    check(qm::path::tidy(path) == tidyReference(path));
    const std::string title = qm::path::fileTitle(path);
    check(title.find('/') == std::string::npos);
    check(path.find(title) != std::string::npos);
    const std::string normalized = qm::path::normalizeSeparators(path);
    check(normalized.find('\\') == std::string::npos && normalized.size() == path.size());
    const std::string joined = qm::path::append("/base", path);
    check(!normalized.empty() && normalized[0] == '/' ? joined == normalized
                                                      : joined.ends_with(normalized));

    const std::string built = QmEnBuildFilename(path, base, 0);
    if (path.find('<') == std::string::npos) {
        // Without macros: separators turned, then joined to the base with one separator.
        if (!normalized.empty() && normalized[0] == '/') {
            check(built == normalized);
        } else if (base == kQmEnBaseAppPath) {
            check(built ==
                  (normalized.empty() ? "/opt/quillmont" : "/opt/quillmont/" + normalized));
        } else if (base == 0) {
            check(built == normalized);
        }
    }
    check(built.find('\\') == std::string::npos);
    return 0;
}
