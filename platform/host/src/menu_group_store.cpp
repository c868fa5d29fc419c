#include "menu_group_store.h"

#include <qmsys/files.h>
#include <qmsys/user_folders.h>

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

// The file's lock (see qmsys::LockedFile), or none with error set. Appending creates the
// file's folder when it is missing.
qmsys::LockedFile lockFile(const std::string& file, qmsys::LockedFile::Access access,
                           qmsys::WinError& error) {
    qmsys::LockedFile locked = qmsys::LockedFile::lock(file, access, error);
    if (!locked.isLocked() && error == qmsys::kErrorPathNotFound &&
        access == qmsys::LockedFile::Access::Append) {
        const std::size_t slash = file.find_last_of('/');
        if (slash != std::string::npos && slash > 0) {
            qmsys::createDirectories(file.substr(0, slash));
            locked = qmsys::LockedFile::lock(file, access, error);
        }
    }
    return locked;
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
    qmsys::WinError error = qmsys::kErrorSuccess;
    qmsys::LockedFile file = lockFile(file_, qmsys::LockedFile::Access::Append, error);
    if (!file.isLocked()) {
        return false;
    }
    // No fsync: the append reaches the file before the host goes on, which is what a crash of
    // the host needs; losing the newest change to a power failure only forgets one menu.
    const bool written = file.append(line);
    const bool closed = file.unlock();
    appended_ += written ? 1 : 0;
    return written && closed;
}

bool MenuGroupStore::compact(const std::vector<std::string>& drop) {
    if (file_.empty()) {
        return false;
    }
    qmsys::WinError error = qmsys::kErrorSuccess;
    qmsys::LockedFile file = lockFile(file_, qmsys::LockedFile::Access::Read, error);
    if (!file.isLocked()) {
        return error == qmsys::kErrorFileNotFound || error == qmsys::kErrorPathNotFound;
    }
    std::string text;
    bool ok = file.readAll(text);
    if (ok) {
        const std::string content =
            listText(replay(text), std::unordered_set<std::string>(drop.begin(), drop.end()));
        if (content == text) {
            // compact already: nothing to replace
            appended_ = 0;
            return true;
        }
        ok = file.replace(content, 0644) == qmsys::kErrorSuccess;
    }
    file.unlock();  // waiting appenders find the new file under the name
    if (ok) {
        appended_ = 0;
    }
    return ok;
}

}  // namespace cadhost
