#include "file_stamps.h"

#include <qmsys/files.h>

#include <filesystem>

namespace qmtest {

void shiftMtime(const std::string& path, std::chrono::seconds delta) {
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + delta);
}

std::int64_t mtimeNs(const std::string& path) {
    qmsys::FileAttributes attributes;
    if (qmsys::getFileAttributes(path, attributes) != qmsys::kErrorSuccess) {
        return -1;
    }
    return attributes.lastWriteNs;
}

bool isWritable(const std::string& path) {
    qmsys::FileAttributes attributes;
    return qmsys::getFileAttributes(path, attributes) == qmsys::kErrorSuccess &&
           !attributes.readOnly;
}

void makeReadOnly(const std::string& path) {
    qmsys::setReadOnly(path, true);
}

}  // namespace qmtest
