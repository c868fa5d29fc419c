#include "menu_group_store.h"

#include <qmsys/files.h>
#include <qmsys/user_folders.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
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

// The file opened with flags and locked exclusively, or -1. A compaction may rename a new file
// over the one just opened; the lock is then on a file nobody reads any more, so the open is
// repeated until the locked file is the one under the name.
int openLocked(const std::string& file, int flags) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(file.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0 && errno == ENOENT && (flags & O_CREAT)) {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
            fd = ::open(file.c_str(), flags | O_CLOEXEC, 0644);
        }
        if (fd < 0) {
            return -1;
        }
        struct stat opened {};
        struct stat named {};
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return -1;
            }
        }
        if (::fstat(fd, &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            return fd;
        }
        ::close(fd);
    }
    return -1;
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
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    const bool ok = qmsys::readAll(fd, text);
    ::close(fd);
    if (!ok) {
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
    const int fd = openLocked(file_, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0) {
        return false;
    }
    // No fsync: the append reaches the file before the host goes on, which is what a crash of
    // the host needs; losing the newest change to a power failure only forgets one menu.
    const bool written = qmsys::writeAll(fd, line);
    const bool closed = ::close(fd) == 0;
    appended_ += written ? 1 : 0;
    return written && closed;
}

bool MenuGroupStore::compact(const std::vector<std::string>& drop) {
    if (file_.empty()) {
        return false;
    }
    const int fd = openLocked(file_, O_RDONLY);
    if (fd < 0) {
        return errno == ENOENT;
    }
    std::string text;
    bool ok = qmsys::readAll(fd, text);
    if (ok) {
        const std::string content =
            listText(replay(text), std::unordered_set<std::string>(drop.begin(), drop.end()));
        if (content == text) {
            ::close(fd);  // compact already: nothing to replace
            appended_ = 0;
            return true;
        }
        static std::atomic<unsigned> counter{0};
        const std::string temp = file_ + ".tmp." + std::to_string(::getpid()) + "." +
                                 std::to_string(counter.fetch_add(1));
        const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ok = out >= 0;
        if (ok) {
            const bool written = qmsys::writeAll(out, content);
            const bool closed = ::close(out) == 0;
            ok = written && closed && std::rename(temp.c_str(), file_.c_str()) == 0;
            if (!ok) {
                std::remove(temp.c_str());
            }
        }
    }
    ::close(fd);  // releases the lock: waiting appenders find the new file under the name
    if (ok) {
        appended_ = 0;
    }
    return ok;
}

}  // namespace cadhost
