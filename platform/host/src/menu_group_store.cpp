#include "menu_group_store.h"

#include <qmsys/files.h>
#include <qmsys/user_folders.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <list>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace cadhost {

namespace {

// The line that remembers path; empty for a path that cannot be remembered.
std::string rememberLine(const std::string& path) {
    if (path.empty() || path.front() == '-' || path.find_first_of("\r\n") != std::string::npos) {
        return {};
    }
    return path + "\n";
}

// The list the journal's complete lines replay to; O(lines).
std::vector<std::string> replay(std::string_view text) {
    std::list<std::string> order;
    std::unordered_map<std::string_view, std::list<std::string>::iterator> where;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;
         text.remove_prefix(end + 1)) {
        std::string_view line = text.substr(0, end);
        const bool add = line.empty() || line.front() != '-';
        if (!add) {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            continue;
        }
        const auto it = where.find(line);
        if (add && it == where.end()) {
            order.emplace_back(line);
            where.emplace(order.back(), std::prev(order.end()));
        } else if (!add && it != where.end()) {
            const auto node = it->second;
            where.erase(it);
            order.erase(node);
        }
    }
    return {std::make_move_iterator(order.begin()), std::make_move_iterator(order.end())};
}

// The most of a journal that is read: far more than any user's menus (a line per change, and
// the file is compacted now and then), and a bound on what a damaged file costs.
constexpr std::size_t kMaxJournalBytes = 64 << 20;

// The file opened with flags and locked exclusively, or none (errno set). A compaction may rename a
// new file over the one just opened; the lock is then on a file nobody reads any more, so the open
// is repeated until the locked file is the one under the name. Only a regular file is used: the
// open never waits (a FIFO in the file's place), and nothing is read from or written to a
// device.
qmsys::FileHandle openLocked(const std::string& file, int flags) {
    flags |= O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(file.c_str(), flags, 0644);
        if (fd < 0 && errno == ENOENT && (flags & O_CREAT)) {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
            fd = ::open(file.c_str(), flags, 0644);
        }
        if (fd < 0) {
            return qmsys::FileHandle();
        }
        qmsys::FileHandle handle(fd);
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            errno = EACCES;
            return qmsys::FileHandle();
        }
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                return qmsys::FileHandle();
            }
        }
        if (::fstat(fd, &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            return handle;
        }
    }
    return qmsys::FileHandle();
}

// The file text of a compacted list: each path that can be remembered, one a line.
std::string listText(const std::vector<std::string>& paths,
                     const std::unordered_set<std::string>& dropped = {}) {
    std::string text;
    for (const std::string& path : paths) {
        if (!dropped.contains(path)) {
            text += rememberLine(path);
        }
    }
    return text;
}

}  // namespace

std::string MenuGroupStore::defaultFile() {
    return qmsys::xdgFolder(qmsys::XdgFolder::State) + "/cadhost/menugroups.list";
}

std::vector<std::string> MenuGroupStore::read(bool* compact) const {
    if (compact) {
        *compact = false;
    }
    if (file_.empty()) {
        return {};
    }
    std::string text;
    if (qmsys::readRegularFile(file_, kMaxJournalBytes, text) != qmsys::kErrorSuccess) {
        return {};
    }
    std::vector<std::string> paths = replay(text);
    if (compact) {
        *compact = listText(paths) == text;
    }
    return paths;
}

bool MenuGroupStore::remember(const std::string& path) {
    const std::string line = rememberLine(path);
    return line.empty() || append(line);
}

bool MenuGroupStore::forget(const std::string& path) {
    const std::string line = rememberLine(path);
    return line.empty() || append("-" + line);
}

bool MenuGroupStore::append(const std::string& line) {
    if (file_.empty()) {
        return false;
    }
    qmsys::FileHandle file = openLocked(file_, O_WRONLY | O_APPEND | O_CREAT);
    if (!file) {
        return false;
    }
    // No fsync: the append reaches the file before the host goes on, which is what a crash of
    // the host needs; losing the newest change to a power failure only forgets one menu.
    const bool written = qmsys::writeAll(file, line);
    const bool closed = file.close();
    appended_ += written ? 1 : 0;
    return written && closed;
}

bool MenuGroupStore::compact(const std::vector<std::string>& drop) {
    if (file_.empty()) {
        return false;
    }
    qmsys::FileHandle file = openLocked(file_, O_RDONLY);
    if (!file) {
        return errno == ENOENT;
    }
    std::string text;
    bool ok = qmsys::readAll(file, text);
    if (ok) {
        const std::string content =
            listText(replay(text), std::unordered_set<std::string>(drop.begin(), drop.end()));
        if (content == text) {
            // compact already: nothing to replace
            appended_ = 0;
            return true;
        }
        ok = qmsys::replaceFileContents(file_, content, 0644) == qmsys::kErrorSuccess;
    }
    file.reset();  // releases the lock: waiting appenders find the new file under the name
    if (ok) {
        appended_ = 0;
    }
    return ok;
}

}  // namespace cadhost
