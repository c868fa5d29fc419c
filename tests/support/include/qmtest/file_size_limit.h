#pragma once
// A full disk, for root too: limits the size files of this process may grow to, and makes a
// write past it fail (EFBIG) rather than end the process. The shared-memory index SQLite keeps
// beside a store grows to 32 KB at once, so a smaller limit makes opening a store fail; a
// larger one lets a store open and fails the first write that reaches past it. Restores the
// previous limit and SIGXFSZ handling on destruction.
#include <sys/resource.h>

namespace qmtest {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace qmtest
