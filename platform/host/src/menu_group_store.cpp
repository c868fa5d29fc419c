#include "menu_group_store.h"

#include <qmsys/user_folders.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace cadhost {

namespace {
bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
}  // namespace

std::string MenuGroupStore::defaultFile() {
    return qmsys::xdgFolder(qmsys::XdgFolder::State) + "/cadhost/menugroups.list";
}

std::vector<std::string> MenuGroupStore::read() const {
    std::vector<std::string> paths;
    if (file_.empty()) {
        return paths;
    }
    std::ifstream in(file_);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            paths.push_back(line);
        }
    }
    return paths;
}

bool MenuGroupStore::write(const std::vector<std::string>& paths) const {
    if (file_.empty()) {
        return false;
    }
    std::string content;
    for (const std::string& path : paths) {
        if (path.find_first_of("\r\n") == std::string::npos) {
            content += path + "\n";
        }
    }
    const std::filesystem::path target(file_);
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);

    static std::atomic<unsigned> counter{0};
    const std::string temp =
        file_ + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // No fsync: the rename already keeps other processes from seeing half a list, and losing
    // the newest list to a power failure only forgets which menus to restore.
    const bool written = writeAll(fd, content);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), file_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace cadhost
