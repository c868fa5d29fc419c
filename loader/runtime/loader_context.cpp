#include "runtime/loader_context.h"

#include <qmenv/environment.h>
#include <qmsys/named_mutex.h>

#include <cassert>

namespace qm {
namespace {

// The menu objects keep a reference to the log from their construction on.
std::unique_ptr<DiagnosticLog> present(std::unique_ptr<DiagnosticLog> log) {
    assert(log && "a context needs a log (a default-constructed one writes nothing)");
    return log;
}

}  // namespace

LoaderContext::LoaderContext() : LoaderContext(DiagnosticLog::fromEnvironment()) {}

LoaderContext::LoaderContext(std::unique_ptr<DiagnosticLog> log,
                             std::chrono::milliseconds protectorWait)
    : log_(present(std::move(log))),
      menuGroups_(*log_, protectorWait),
      menus_(menuGroups_, *log_),
      qco_(menuGroups_, *log_) {
    // Inside the host the environment library's store problems belong in the log, never on
    // the host's standard error.
    QmEnSetReportSink(
        [log = log_.get()](const std::string& message) { log->write("registry", message); });
}

LoaderContext::~LoaderContext() {
    QmEnSetReportSink({});
}

void LoaderContext::holdInstanceMarker(std::unique_ptr<qmsys::ExistenceMarker> marker) {
    marker_ = std::move(marker);
}

}  // namespace qm
