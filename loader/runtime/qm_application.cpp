#include "runtime/qm_application.h"

#include <cadhost/arx.h>
#include <qmenv/environment.h>
#include <qmsys/process.h>
#include <qmsys/text.h>

// The module model is shared with tools that read definitions without a host (qmloader), so
// this library does not link the host library. The two host functions an ARX application
// needs are weak references: inside a host (the module loader, which links the host library,
// and the host's own process) they resolve to the host; in a program without a host they stay
// null, and an ARX application cannot be loaded there.
[[gnu::weak]] int acedArxLoad(const char* path);
[[gnu::weak]] int acedCommandS(int rtype, ...);

namespace qm {

QmApplication::QmApplication(const std::string& path, const std::string& arguments,
                             const std::string& type, const std::string& command, bool modal)
    : path_(QmEnBuildFilename(path, kQmEnBaseAppPath, 0)),
      arguments_(arguments),
      type_(type),
      command_(command),
      modal_(modal) {}

QmApplication QmApplication::Restored(std::string expandedPath, std::string arguments,
                                      std::string type, std::string command, bool modal) {
    return QmApplication(AsRead{}, std::move(expandedPath), std::move(arguments), std::move(type),
                         std::move(command), modal);
}

std::string QmApplication::CommandLine() const {
    std::string line = path_;
    if (!arguments_.empty()) {
        line += ' ';
        line += arguments_;
    }
    return line;
}

bool QmApplication::Load() const {
    if (type_.empty() || type_ == "exe") {
        if (path_.empty()) {
            return false;
        }
        return qmsys::startProcess(CommandLine()) == qmsys::kErrorSuccess;
    }
    if (type_ == "arx") {
        if (path_.empty() || acedArxLoad == nullptr) {
            return false;
        }
        if (acedArxLoad(path_.c_str()) == RTERROR) {
            return false;
        }
        if (!command_.empty()) {
            acedCommandS(RTSTR, command_.c_str(), RTNONE);
        }
        return true;
    }
    return false;
}

bool ApplicationPathLess::operator()(const QmApplication& a, const QmApplication& b) const {
    return qmsys::compareUtf16(a.GetPath(), b.GetPath()) < 0;
}

bool LoadApplications(const ApplicationSet& applications) {
    for (const QmApplication& application : applications) {
        if (!application.Load()) {
            return false;
        }
    }
    return true;
}

}  // namespace qm
