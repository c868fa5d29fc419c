#include "definition_builder.h"

#include <qmtest/relocated_user.h>

namespace qmtest {

namespace {

std::string escapeAttribute(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void attribute(std::string& out, const char* name, const std::optional<std::string>& value) {
    if (value) {
        out += std::string(" ") + name + "=\"" + escapeAttribute(*value) + "\"";
    }
}

void element(std::string& out, const char* name, const std::optional<std::string>& raw) {
    if (raw) {
        out += std::string("<") + name + ">" + *raw + "</" + name + ">\n";
    }
}

}  // namespace

std::string DefinitionXml(const DefinitionDoc& doc) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QM_Module>\n";
    element(out, "Keyname", doc.keyname);
    out += "<Version>\n";
    element(out, "VersionMajor", doc.major);
    element(out, "VersionMinor", doc.minor);
    out += "</Version>\n<Name>\n";
    element(out, "ModuleName", doc.moduleName);
    for (const MenuElement& menu : doc.menus) {
        out += "<MenuName";
        attribute(out, "path", menu.path);
        out += ">" + menu.name + "</MenuName>\n";
    }
    out += "</Name>\n";
    if (doc.applications) {
        out += "<Applications>\n";
        for (const ApplicationElement& app : *doc.applications) {
            out += "<Application";
            attribute(out, "path", app.path);
            attribute(out, "arguments", app.arguments);
            attribute(out, "type", app.type);
            attribute(out, "command", app.command);
            attribute(out, "modal", app.modal);
            out += "/>\n";
        }
        out += "</Applications>\n";
    }
    out += "</QM_Module>\n";
    return out;
}

std::string SampleSchemaPath() {
    return sourceDir() + "/examples/sample/Zadod/Modules/QM_Module.xsd";
}

}  // namespace qmtest
