#pragma once
// The checker API object the module loader uses: it ignores every notification, so the
// checker stays silent and its outcome is read from results and the report only.
#include "checker/launchrig_api.h"

namespace qm {

class MyLaunchrigApi : public LaunchrigApi {
public:
    MyLaunchrigApi() = default;
    ~MyLaunchrigApi() override = default;

    void NotifyMessage(const std::string&, int) override {}
    void NotifyProgress(const std::string&, int) override {}
    void NotifyFinished(bool) override {}
};

}  // namespace qm
