#include "list_command.h"

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_snapshot.h"
#include "catalogue/startup_pass.h"
#include "environment/names.h"
#include "environment/switches.h"
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
                << "  arguments=" << JsonWriter::escape(app.GetArguments())
                << " type=" << JsonWriter::escape(app.GetType())
                << " command=" << JsonWriter::escape(app.GetCommand())
                << " modal=" << word(app.GetModal()) << "\n";
        }
    }
}

void writeJson(const qm::ModuleList& list, std::ostream& out) {
    JsonWriter json(out);
    json.beginArray();
    for (const qm::ModuleRecord& r : list) {
        json.beginObject();
        json.key("key");
        json.string(r.GetKey());
        json.key("version_major");
        json.number(r.GetVersionMajor());
        json.key("version_minor");
        json.number(r.GetVersionMinor());
        json.key("name");
        json.string(r.GetDisplayName());
        json.key("menus");
        json.beginArray();
        for (const qm::MenuEntry& menu : r.GetMenus()) {
            json.beginObject();
            json.key("name");
            json.string(menu.name);
            json.key("folder");
            json.string(menu.folder);
            json.endObject();
        }
        json.endArray();
        json.key("applications");
        json.beginArray();
        for (const qm::QmApplication& app : r.GetApplications()) {
            json.beginObject();
            json.key("path");
            json.string(app.GetPath());
            json.key("arguments");
            json.string(app.GetArguments());
            json.key("type");
            json.string(app.GetType());
            json.key("command");
            json.string(app.GetCommand());
            json.key("modal");
            json.boolean(app.GetModal());
            json.endObject();
        }
        json.endArray();
        json.key("activated");
        json.boolean(r.GetActivated());
        json.key("autostart");
        json.boolean(r.GetAutoStart());
        json.key("demandload");
        json.boolean(r.GetDemandLoad());
        json.endObject();
    }
    json.endArray();
}

}  // namespace

bool LoadModules(const ListOptions& options, qm::ModuleList& list, std::ostream& err) {
    std::string errorText;
    qm::CatalogueContext context =
        qm::MakeCatalogueContext(options.config, options.language, options.log);
    context.useSnapshot = options.snapshot && !qm::switches::noSnapshot();
    context.readSettings = true;
    qm::StartupPass pass(options.log, nullptr);
    const bool found = qm::LoadCatalogue(pass, context, options.definitionsFolder,
                                         qm::names::kDefinitionExtension, list, errorText);
    pass.endReads();
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
