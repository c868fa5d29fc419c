#include "app/loader_context.h"

#include <qmsys/named_mutex.h>

namespace qm {

LoaderContext::LoaderContext() : LoaderContext(DiagnosticLog::fromEnvironment()) {}

LoaderContext::LoaderContext(std::unique_ptr<DiagnosticLog> log) : log_(std::move(log)) {}

LoaderContext::~LoaderContext() = default;

void LoaderContext::clearModules() {}

void LoaderContext::holdInstanceMarker(std::unique_ptr<qmsys::ExistenceMarker> marker) {
    marker_ = std::move(marker);
}

}  // namespace qm
