#include "checker/start_up_checker_impl.h"

#include "checker/launchrig_api.h"

namespace qm {

void StartUpCheckerImpl::NotifyMessage(const std::string& text, int number) {
    owner_.NotifyMessage(text, number);
}

void StartUpCheckerImpl::NotifyProgress(const std::string& text, int number) {
    owner_.NotifyProgress(text, number);
}

void StartUpCheckerImpl::NotifyFinished(bool flag) {
    owner_.NotifyFinished(flag);
}

}  // namespace qm
