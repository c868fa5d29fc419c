#include "runtime/qm_application.h"

#include <cadhost/arx.h>
#include <qmenv/environment.h>
#include <qmsys/process.h>
#include <qmsys/text.h>

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

bool QmApplication::Load(const ArxLoader& arx) const {
    if (type_.empty() || type_ == "exe") {
        if (path_.empty()) {
            return false;
        }
        return qmsys::startProcess(CommandLine()) == qmsys::kErrorSuccess;
    }
    if (type_ == "arx") {
        if (path_.empty() || arx.arxLoad == nullptr) {
            return false;
        }
        if (arx.arxLoad(path_.c_str()) == RTERROR) {
            return false;
        }
        if (!command_.empty() && arx.runCommand != nullptr) {
            arx.runCommand(command_.c_str());
        }
        return true;
    }
    return false;
}

bool ApplicationPathLess::operator()(const QmApplication& a, const QmApplication& b) const {
    return qmsys::compareUtf16(a.GetPath(), b.GetPath()) < 0;
}

bool LoadApplications(const ApplicationSet& applications, const ArxLoader& arx) {
    for (const QmApplication& application : applications) {
        if (!application.Load(arx)) {
            return false;
        }
    }
    return true;
}

}  // namespace qm
