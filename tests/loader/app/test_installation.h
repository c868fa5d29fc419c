#pragma once
// Builds a small installation in a folder for start-up tests: the schema, the checker's
// configuration file, the loader's base menu and any number of modules, each with one .mnu
// menu whose group name is derived from the module key.
#include <string>
#include <vector>

namespace qmtest {

struct TestModule {
    std::string key;                 // "QM_ROADS"
    std::string name;                // display name
    std::string group;               // menu group the module's menu forms; "" for none
    std::vector<std::string> apps;   // raw <Application .../> elements
    std::string config = "default";  // file is <key>.<config>.xml
    bool brokenMenu = false;         // the menu file has no group line: the host rejects it
};

class TestInstallation {
public:
    explicit TestInstallation(std::string root);
    const std::string& root() const { return root_; }
    void addModule(const TestModule& module);
    // Menu file name of a module's menu ("<group>_enu").
    static std::string menuName(const TestModule& module);

private:
    std::string root_;
};

}  // namespace qmtest
