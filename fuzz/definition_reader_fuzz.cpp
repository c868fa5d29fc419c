// Module definitions from untrusted bytes: parsed safely, validated with the sample schema
// and read. Any outcome is fine except a crash, a leak, undefined behaviour, or an accepted
// record without a key source (the reader must never accept what it did not read).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/module_definition_reader.h"

namespace {

const std::string& scratchFile() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qm-fuzz-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::abort();
        }
        ::close(fd);
        return pattern;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The version override would reach the user's registry; the reading itself does not.
    static const qm::ModuleDefinitionReader reader(QM_FUZZ_SCHEMA, {false, nullptr});
    if (reader.schema().state() != qm::DefinitionSchema::State::Ready) {
        std::abort();
    }
    std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
    if (!f) {
        std::abort();
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    qm::ModuleRecord record;
    record.SetKey("untouched");
    std::string errorText;
    qm::DefinitionDiagnostic diagnostic;
    const bool accepted = reader.read(scratchFile(), record, errorText, &diagnostic);
    if (accepted != (diagnostic.fault == qm::DefinitionFault::None) ||
        (!accepted && record.GetKey() != "untouched") ||
        (diagnostic.fault == qm::DefinitionFault::ComError) == errorText.empty()) {
        std::abort();
    }
    return 0;
}
