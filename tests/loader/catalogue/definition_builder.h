#pragma once
// Builds module definition documents for tests, with every attribute optional so that each
// omission can be exercised.
#include <optional>
#include <string>
#include <vector>

namespace qmtest {

struct MenuElement {
    std::string name;
    std::optional<std::string> path = "Menus";
};

struct ApplicationElement {
    std::optional<std::string> path;
    std::optional<std::string> arguments = "";
    std::optional<std::string> type = "exe";
    std::optional<std::string> command = "";
    std::optional<std::string> modal = "False";
};

// Element contents are inserted as raw XML, so tests can put CDATA, comments or entity
// references into them; attribute values are escaped.
struct DefinitionDoc {
    std::optional<std::string> keyname = "QM_TEST";
    std::optional<std::string> major = "1";
    std::optional<std::string> minor = "0";
    std::optional<std::string> moduleName = "Test module";
    std::vector<MenuElement> menus;
    std::optional<std::vector<ApplicationElement>> applications;
};

std::string DefinitionXml(const DefinitionDoc& doc);

// The installation's schema from the sample installation in the source tree.
std::string SampleSchemaPath();

}  // namespace qmtest
