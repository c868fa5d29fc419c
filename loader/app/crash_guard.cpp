#include "app/crash_guard.h"

#include <qmsys/files.h>

#include <algorithm>
#include <charconv>
#include <string_view>

#include "environment/path_util.h"

namespace qm {

namespace {

// The most of a record that is read; also the most this guard writes, which holds any record
// but one with a name of thousands of characters (cut, see record()).
constexpr std::size_t kRecordBytes = 4096;

// "key NUL display name NUL [ordinal]", the name cut to fit the marker; empty when not even
// the key fits (the module then goes unguarded).
std::string record(const CrashGuard::Module& module) {
    const std::string ordinal = module.ordinal == 0 ? "" : std::to_string(module.ordinal);
    const std::size_t kFixed = 2 + ordinal.size();  // the two NULs and the ordinal
    if (module.key.empty() || module.key.size() + kFixed > kRecordBytes) {
        return {};
    }
    const std::size_t room = kRecordBytes - kFixed - module.key.size();
    // The name ends at its first NUL, if any, and at the room left.
    const std::string_view name = std::string_view(module.displayName)
                                      .substr(0, std::min(module.displayName.find('\0'), room));
    std::string text;
    text.reserve(module.key.size() + name.size() + kFixed);
    text.append(module.key).push_back('\0');
    text.append(name).push_back('\0');
    text.append(ordinal);
    return text;
}

}  // namespace

CrashGuard::CrashGuard(std::string folder)
    : folder_(std::move(folder)), file_(folder_ + "/bringing-up") {}

std::string CrashGuard::defaultFolder() {
    return path::userStateFolder();
}

CrashGuard::~CrashGuard() {
    // A host that ends normally leaves no evidence behind.
    if (record_.valid()) {
        record_.reset();
        qmsys::deleteFile(file_);
    }
}

bool CrashGuard::own() {
    if (!tried_) {
        tried_ = true;
        qmsys::createDirectories(folder_);
        // Below a file size limit that holds the largest record, a write would end the host.
        if (qmsys::fileSizeAllowed(kRecordBytes)) {
            lock_ = qmsys::lockFile(file_ + ".lock");
        }
    }
    return lock_.valid();
}

std::optional<CrashGuard::Module> CrashGuard::takeInterrupted() {
    if (!own()) {
        return std::nullopt;
    }
    std::string text;
    const qmsys::WinError read = qmsys::readOwnFile(file_, kRecordBytes, text);
    // Answered once, and out of the way of this start's records: whatever stands under the
    // name goes (a link itself, not what it names). A record that cannot go (read-only, or in
    // a folder that has become read-only) would be found again by every later start, and its
    // module skipped at each: it is no evidence at all.
    if (read != qmsys::kErrorFileNotFound && qmsys::deleteFile(file_) != qmsys::kErrorSuccess) {
        return std::nullopt;
    }
    // The key up to its NUL, whole (line breaks included), and the name up to the next. No
    // NUL after the key: a record cut short, naming nobody.
    const std::size_t keyEnd = text.find('\0');
    if (read != qmsys::kErrorSuccess || keyEnd == 0 || keyEnd == std::string::npos) {
        return std::nullopt;
    }
    Module module;
    module.key = text.substr(0, keyEnd);
    const std::size_t nameEnd = text.find('\0', keyEnd + 1);
    module.displayName = text.substr(
        keyEnd + 1, nameEnd == std::string::npos ? std::string::npos : nameEnd - keyEnd - 1);
    // The ordinal: digits only, up to the NULs that lie over a longer record's bytes, else the
    // first definition of the key.
    if (nameEnd != std::string::npos) {
        std::string_view digits = std::string_view(text).substr(nameEnd + 1);
        digits = digits.substr(0, digits.find('\0'));
        unsigned ordinal = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), ordinal);
        if (error == std::errc() && end == digits.data() + digits.size()) {
            module.ordinal = ordinal;
        }
    }
    return module;
}

void CrashGuard::begin(const Module& module) {
    const std::string text = record(module);
    if (text.empty() || !own()) {
        return;
    }
    // Created afresh for this start (whatever stood under the name is gone, see
    // takeInterrupted), so nothing else is written through; then written in place, which
    // costs no more than the write.
    if (!record_.valid()) {
        record_ = qmsys::createNewFile(file_, 0600);
    }
    // The record lies over the bytes of any longer one before it, so NULs cover the rest of
    // them: the file keeps its size and its block, and a module costs two small writes in
    // place rather than a write that allocates and a cut that frees (docs/PERFORMANCE.md: the
    // crash guard writes in place).
    std::string padded = text;
    if (padded.size() < written_) {
        padded.resize(written_, '\0');
    }
    // A write cut short (a full disk) must not leave half a record: the file is emptied, which
    // needs no free space.
    if (record_.valid() && !qmsys::writeAt(record_, 0, padded)) {
        qmsys::resizeFile(record_, 0);
        written_ = 0;
        return;
    }
    written_ = padded.size();
}

void CrashGuard::end() {
    // A record that begins with its NUL names nobody. Written over a byte the record's own
    // write has placed, so it needs no free space either; should it fail all the same, the
    // file is emptied.
    if (record_.valid() && written_ > 0 && !qmsys::writeAt(record_, 0, std::string_view("\0", 1))) {
        qmsys::resizeFile(record_, 0);
        written_ = 0;
    }
}

}  // namespace qm
