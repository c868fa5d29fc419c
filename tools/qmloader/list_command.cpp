#include "list_command.h"

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_snapshot.h"
#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "json_writer.h"

namespace qmloader {

namespace {

const char* word(bool on) {
    return on ? "True" : "False";
}

void writeText(const qm::ModuleList& list, std::ostream& out) {
    for (const qm::ModuleRecord& r : list) {
        out << r.GetKey() << "  " << r.GetVersionMajor() << "." << r.GetVersionMinor() << "  "
            << r.GetDisplayName() << "\n";
        out << "  settings: activated=" << word(r.GetActivated())
            << " autostart=" << word(r.GetAutoStart()) << " demandload=" << word(r.GetDemandLoad())
            << "\n";
        for (const qm::MenuEntry& menu : r.GetMenus()) {
            out << "  menu: " << menu.name << "  folder=" << menu.folder << "\n";
        }
        for (const qm::QmApplication& app : r.GetApplications()) {
            out << "  application: " << app.GetPath()
                << "  arguments=" << JsonWriter::Escape(app.GetArguments())
                << " type=" << JsonWriter::Escape(app.GetType())
                << " command=" << JsonWriter::Escape(app.GetCommand())
                << " modal=" << word(app.GetModal()) << "\n";
        }
    }
}

void writeJson(const qm::ModuleList& list, std::ostream& out) {
    JsonWriter json(out);
    json.BeginArray();
    for (const qm::ModuleRecord& r : list) {
        json.BeginObject();
        json.Key("key");
        json.String(r.GetKey());
        json.Key("version_major");
        json.Number(r.GetVersionMajor());
        json.Key("version_minor");
        json.Number(r.GetVersionMinor());
        json.Key("name");
        json.String(r.GetDisplayName());
        json.Key("menus");
        json.BeginArray();
        for (const qm::MenuEntry& menu : r.GetMenus()) {
            json.BeginObject();
            json.Key("name");
            json.String(menu.name);
            json.Key("folder");
            json.String(menu.folder);
            json.EndObject();
        }
        json.EndArray();
        json.Key("applications");
        json.BeginArray();
        for (const qm::QmApplication& app : r.GetApplications()) {
            json.BeginObject();
            json.Key("path");
            json.String(app.GetPath());
            json.Key("arguments");
            json.String(app.GetArguments());
            json.Key("type");
            json.String(app.GetType());
            json.Key("command");
            json.String(app.GetCommand());
            json.Key("modal");
            json.Bool(app.GetModal());
            json.EndObject();
        }
        json.EndArray();
        json.Key("activated");
        json.Bool(r.GetActivated());
        json.Key("autostart");
        json.Bool(r.GetAutoStart());
        json.Key("demandload");
        json.Bool(r.GetDemandLoad());
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

bool LoadModules(const ListOptions& options, qm::ModuleList& list, std::ostream& err) {
    std::string errorText;
    qm::CatalogueContext context =
        qm::MakeCatalogueContext(options.config, options.language, options.log);
    context.useSnapshot = options.snapshot && !qm::CatalogueSnapshot::disabledByEnvironment();
    const bool found =
        qm::LoadCatalogue(context, options.definitionsFolder,
                          std::string(qm::names::kDefinitionExtension), list, errorText);
    qm::ReadModuleSettings(list, options.log);
    if (!errorText.empty()) {
        err << errorText << "\n";
    }
    return found;
}

int RunList(const ListOptions& options, std::ostream& out, std::ostream& err) {
    qm::ModuleList list;
    const bool found = LoadModules(options, list, err);
    if (options.json) {
        writeJson(list, out);
    } else {
        writeText(list, out);
    }
    if (!found) {
        err << "qmloader: no module definition could be read from " << options.definitionsFolder
            << "\n";
    }
    return found ? 0 : 1;
}

}  // namespace qmloader
