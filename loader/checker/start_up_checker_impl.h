#pragma once
// The checker's implementation object: the shared state of StartUpCheckerLib plus the link to
// the API object that owns it, to which every notification is forwarded unchanged.
#include "checker/start_up_checker_lib.h"

namespace qm {

class LaunchrigApi;

class StartUpCheckerImpl final : public StartUpCheckerLib {
public:
    // owner outlives this object (it owns it).
    explicit StartUpCheckerImpl(LaunchrigApi& owner) : owner_(owner) {}
    StartUpCheckerImpl(const StartUpCheckerImpl&) = delete;
    StartUpCheckerImpl& operator=(const StartUpCheckerImpl&) = delete;

    void NotifyMessage(const std::string& text, int number) override;
    void NotifyProgress(const std::string& text, int number) override;
    void NotifyFinished(bool flag) override;

private:
    LaunchrigApi& owner_;
};

}  // namespace qm
