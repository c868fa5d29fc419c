#include "qmtest/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#if defined(_WIN32)
#include "qmtest/win32.h"

#include <atomic>
#endif

#include "qmtest/files.h"

namespace qmtest {

#if defined(_WIN32)
TempDir::TempDir() {
    // The user's temporary folder (private to the prefix under Wine), written with '/' as the
    // rest of the product writes paths.
    wchar_t base[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) {
        throw std::runtime_error("GetTempPathW failed");
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = std::wstring(base) + L"qmtest-" +
                                       std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(++counter);
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            const std::u8string name = std::filesystem::path(candidate).generic_u8string();
            path_.assign(name.begin(), name.end());
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be created");
}
#else
TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qmtest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        throw std::runtime_error("mkdtemp failed for " + tmpl);
    }
    path_ = buf.data();
}
#endif

TempDir::~TempDir() {
    std::error_code ec;
    const std::filesystem::path root = fsPath(path_);
    // Read-only files and folders made by tests must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(root, ec);
}

}  // namespace qmtest
