#include "file_stamps.h"

#include <qmsys/files.h>

#include <qmtest/files.h>

namespace qmtest {

void shiftMtime(const std::string& path, std::chrono::seconds delta) {
    setLastWriteNs(path, lastWriteNs(path) + std::chrono::nanoseconds(delta).count());
}

std::int64_t mtimeNs(const std::string& path) {
    return lastWriteNs(path);
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
