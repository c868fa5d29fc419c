#pragma once
// A throw-away installation and the current user's kernel-services values, as the checker
// expects to find them. Menus are written below <root>/<module>/Menus.
#include <string>

#include <qmtest/relocated_user.h>

namespace qmtest {

class CheckerInstallation {
public:
    CheckerInstallation();

    const std::string& root() const { return root_; }
    // <APPDATA>/Brenvik/Quillmont/<version>/<config>/Menus
    std::string userMenus() const;

    void writeKernelServices(const std::string& language, const std::string& config);
    void removeKernelValue(const std::string& name);
    void removeKernelKey();

    // Writes <root>/<module>/Menus/<file> and returns its path.
    std::string writeMenu(const std::string& module, const std::string& file,
                          const std::string& content);

    static constexpr const char* kConfig = "Default";

private:
    TempDir dir_;
    std::string root_;
};

}  // namespace qmtest
