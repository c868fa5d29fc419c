#include "file_stamps.h"

#include <sys/stat.h>

#include <filesystem>

namespace qmtest {

void shiftMtime(const std::string& path, std::chrono::seconds delta) {
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + delta);
}

std::int64_t mtimeNs(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return -1;
    }
    return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

bool isWritable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
}

void makeReadOnly(const std::string& path) {
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
}

}  // namespace qmtest
