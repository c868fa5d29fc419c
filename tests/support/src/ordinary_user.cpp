#include "qmtest/ordinary_user.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace qmtest {

namespace {

// The supplementary groups root had, given back afterwards.
std::vector<gid_t>& savedGroups() {
    static std::vector<gid_t> groups;
    return groups;
}

}  // namespace

AsOrdinaryUser::AsOrdinaryUser() : wasRoot_(::geteuid() == 0) {
    if (!wasRoot_) {
        ordinary_ = true;
        return;
    }
    std::vector<gid_t>& groups = savedGroups();
    groups.resize(static_cast<std::size_t>(::getgroups(0, nullptr)));
    groups.resize(static_cast<std::size_t>(
        std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data()))));
    // Root stays the saved user and group, so that the change can be undone.
    ordinary_ = ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, 0) == 0 &&
                ::setresuid(kNobody, kNobody, 0) == 0;
}

AsOrdinaryUser::~AsOrdinaryUser() {
    if (wasRoot_) {
        const std::vector<gid_t>& groups = savedGroups();
        // The user first: only root may change the groups back.
        [[maybe_unused]] const int user = ::setresuid(0, 0, 0);
        [[maybe_unused]] const int group = ::setresgid(0, 0, 0);
        [[maybe_unused]] const int supplementary = ::setgroups(groups.size(), groups.data());
    }
}

std::string closedToOrdinaryUser(const std::string& path) {
    if (::geteuid() != 0) {
        return "";
    }
    for (std::string folder = path; !folder.empty() && folder != "/";) {
        folder = folder.substr(0, folder.find_last_of('/'));
        struct stat st {};
        const std::string checked = folder.empty() ? "/" : folder;
        if (::stat(checked.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0 &&
            st.st_uid != kNobody) {
            return checked;
        }
    }
    return "";
}

}  // namespace qmtest
