#include "app/loader_context.h"

#include <qmsys/named_mutex.h>

namespace qm {

LoaderContext::LoaderContext() : LoaderContext(DiagnosticLog::fromEnvironment()) {}

LoaderContext::LoaderContext(std::unique_ptr<DiagnosticLog> log)
    : log_(std::move(log)),
      menuGroups_(*log_),
      menus_(menuGroups_, *log_),
      qco_(menuGroups_, *log_) {}

LoaderContext::~LoaderContext() = default;

void LoaderContext::holdInstanceMarker(std::unique_ptr<qmsys::ExistenceMarker> marker) {
    marker_ = std::move(marker);
}

}  // namespace qm
