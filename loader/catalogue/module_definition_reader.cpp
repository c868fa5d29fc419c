#include "catalogue/module_definition_reader.h"

#include <libxml/tree.h>
#include <qmenv/environment.h>

#include <cstdio>
#include <new>

#include "catalogue/com_error.h"
#include "catalogue/xml_text.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

constexpr std::string_view kLogCategory = "catalogue";

const xmlNode* requireChild(const xmlNode* parent, const char* name, const char* xpath,
                            DefinitionDiagnostic& diagnostic) {
    const xmlNode* child = xml::FirstChildElement(parent, name);
    if (child == nullptr) {
        diagnostic = {DefinitionFault::MissingElement, static_cast<int>(xmlGetLineNo(parent)),
                      std::string("missing element ") + xpath};
    }
    return child;
}

// The first element named name below any child element named parentName of root, in document
// order, as the path root/parentName/name selects it: a looser schema may repeat parentName,
// and a later one may hold what the first lacks.
const xmlNode* firstGrandchild(const xmlNode* root, const char* parentName, const char* name,
                               const char* xpath, DefinitionDiagnostic& diagnostic) {
    for (const xmlNode* parent = xml::FirstChildElement(root, parentName); parent;
         parent = xml::NextSiblingElement(parent, parentName)) {
        if (const xmlNode* child = xml::FirstChildElement(parent, name)) {
            return child;
        }
    }
    diagnostic = {DefinitionFault::MissingElement, static_cast<int>(xmlGetLineNo(root)),
                  std::string("missing element ") + xpath};
    return nullptr;
}

// An attribute the definition must carry. Its absence ends the reading with a COM error, the
// way converting a missing attribute value to text fails.
std::string requireAttribute(const xmlNode* element, const char* name) {
    std::optional<std::string> value = xml::AttributeText(element, name);
    if (!value) {
        throw ComError(kComErrorTypeMismatch,
                       std::string(reinterpret_cast<const char*>(element->name)) +
                           " element lacks attribute \"" + name + "\"",
                       static_cast<int>(xmlGetLineNo(element)));
    }
    return *value;
}

std::string flattened(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    std::string out;
    for (char c : text) {
        if (c == ' ' && !out.empty() && out.back() == ' ') {
            continue;
        }
        out += c;
    }
    return out;
}

// The document's declared encoding when it is not UTF-8; "" otherwise.
std::string_view otherEncoding(const xmlDoc* doc) {
    const xmlChar* encoding = doc->encoding;
    if (encoding == nullptr || xmlStrEqual(encoding, reinterpret_cast<const xmlChar*>("UTF-8"))) {
        return {};
    }
    return reinterpret_cast<const char*>(encoding);
}

DefinitionFault faultOf(xml::LoadFailure failure) {
    switch (failure) {
        case xml::LoadFailure::None:
            return DefinitionFault::None;
        case xml::LoadFailure::Unreadable:
            return DefinitionFault::Unreadable;
        case xml::LoadFailure::TooLarge:
            return DefinitionFault::TooLarge;
        case xml::LoadFailure::NotWellFormed:
            return DefinitionFault::NotWellFormed;
        case xml::LoadFailure::HasDoctype:
            return DefinitionFault::Doctype;
        case xml::LoadFailure::OutOfMemory:
            return DefinitionFault::ComError;
    }
    return DefinitionFault::NotWellFormed;
}

}  // namespace

const char* DefinitionFaultName(DefinitionFault fault) {
    switch (fault) {
        case DefinitionFault::None:
            return "accepted";
        case DefinitionFault::SchemaUnloadable:
            return "schema not loadable";
        case DefinitionFault::Unreadable:
            return "unreadable";
        case DefinitionFault::TooLarge:
            return "too large";
        case DefinitionFault::NotWellFormed:
            return "not well-formed";
        case DefinitionFault::Doctype:
            return "document type declaration";
        case DefinitionFault::Invalid:
            return "invalid against the schema";
        case DefinitionFault::MissingElement:
            return "missing element";
        case DefinitionFault::ComError:
            return "COM error";
    }
    return "rejected";
}

ModuleDefinitionReader::ModuleDefinitionReader(const std::string& schemaPath, Options options)
    : schema_(schemaPath), options_(options) {}

ModuleDefinitionReader::Prepared ModuleDefinitionReader::prepare(const std::string& definitionPath,
                                                                 const qmsys::FolderHandle* folder,
                                                                 const std::string* name) const {
    Prepared prepared;
    DefinitionDiagnostic& d = prepared.diagnostic;
    switch (schema_.state()) {
        case DefinitionSchema::State::Unloadable:
            d = {DefinitionFault::SchemaUnloadable, 0,
                 "schema " + schema_.path() + " cannot be loaded: " + schema_.problem().message};
            return prepared;
        case DefinitionSchema::State::NotASchema:
            prepared.comError = kComErrorFail;
            d = {DefinitionFault::ComError, 0,
                 "schema " + schema_.path() + ":" + std::to_string(schema_.problem().line) +
                     " is not a usable schema: " + schema_.problem().message};
            return prepared;
        case DefinitionSchema::State::Ready:
            break;
    }
    try {
        xml::LoadResult loaded = xml::LoadXmlFile(definitionPath, &parser_, folder, name);
        if (loaded.failure == xml::LoadFailure::OutOfMemory) {
            prepared.comError = kComErrorPointer;
            d = {DefinitionFault::ComError, 0, "the XML parser could not be created"};
            return prepared;
        }
        if (loaded.failure != xml::LoadFailure::None) {
            d = {faultOf(loaded.failure), loaded.problem.line, loaded.problem.message};
            return prepared;
        }
        xml::Problem invalid;
        if (!schema_.validate(loaded.doc.get(), invalid)) {
            d = {DefinitionFault::Invalid, invalid.line, invalid.message};
            return prepared;
        }
        prepared.doc = std::move(loaded.doc);
    } catch (const std::bad_alloc&) {
        prepared.doc.reset();
        prepared.comError = kComErrorPointer;
        d = {DefinitionFault::ComError, 0, "out of memory"};
    }
    return prepared;
}

bool ModuleDefinitionReader::complete(const std::string& definitionPath, Prepared& prepared,
                                      ModuleRecord& record, std::string& errorText,
                                      DefinitionDiagnostic& d, bool override,
                                      DiagnosticLog* log) const {
    d = prepared.diagnostic;

    auto reject = [&]() {
        if (log) {
            log->write(kLogCategory, rejectionLine(definitionPath, d));
        }
        return false;
    };
    auto comError = [&](std::uint32_t code, int line, const std::string& what) {
        errorText = ComErrorText(code);
        d.fault = DefinitionFault::ComError;
        d.line = line;
        d.reason = what + " (" + flattened(errorText) + ")";
        return reject();
    };

    if (prepared.comError != 0) {
        return comError(prepared.comError, d.line, d.reason);
    }
    if (!prepared.doc) {
        return reject();
    }
    try {
        ModuleRecord candidate;
        if (!readValidated(prepared.doc.get(), candidate, d, override)) {
            return reject();
        }
        record = std::move(candidate);
    } catch (const ComError& e) {
        return comError(e.code(), e.line(), e.what());
    } catch (const std::bad_alloc&) {
        return comError(kComErrorPointer, 0, "out of memory");
    }
    const std::string_view encoding = otherEncoding(prepared.doc.get());
    if (log && !encoding.empty()) {
        log->write(kLogCategory, encodingLine(definitionPath, encoding));
    }
    return true;
}

bool ModuleDefinitionReader::read(const std::string& definitionPath, ModuleRecord& record,
                                  std::string& errorText, DefinitionDiagnostic* diagnostic) const {
    return readAt(nullptr, definitionPath, definitionPath, record, errorText, diagnostic);
}

bool ModuleDefinitionReader::readAt(const qmsys::FolderHandle* folder, const std::string& name,
                                    const std::string& definitionPath, ModuleRecord& record,
                                    std::string& errorText,
                                    DefinitionDiagnostic* diagnostic) const {
    DefinitionDiagnostic local;
    Prepared prepared = prepare(definitionPath, folder, &name);
    return complete(definitionPath, prepared, record, errorText, diagnostic ? *diagnostic : local,
                    options_.applyVersionOverride, options_.log);
}

DefinitionOutcome ModuleDefinitionReader::readOutcome(const qmsys::FolderHandle* folder,
                                                      const std::string& name,
                                                      const std::string& definitionPath) const {
    DefinitionOutcome out;
    Prepared prepared = prepare(definitionPath, folder, &name);
    out.accepted = complete(definitionPath, prepared, out.record, out.errorText, out.diagnostic,
                            false, nullptr);
    if (out.accepted) {
        out.encoding = otherEncoding(prepared.doc.get());
    }
    return out;
}

bool ModuleDefinitionReader::readValidated(xmlDoc* doc, ModuleRecord& record,
                                           DefinitionDiagnostic& d, bool override) const {
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (root == nullptr || root->ns != nullptr ||
        !xmlStrEqual(root->name, reinterpret_cast<const xmlChar*>("QM_Module"))) {
        d = {DefinitionFault::MissingElement, root ? static_cast<int>(xmlGetLineNo(root)) : 0,
             "missing element /QM_Module/Keyname (the root element is not QM_Module)"};
        return false;
    }
    const xmlNode* keyname = requireChild(root, "Keyname", "/QM_Module/Keyname", d);
    if (!keyname) {
        return false;
    }
    const xmlNode* major =
        firstGrandchild(root, "Version", "VersionMajor", "/QM_Module/Version/VersionMajor", d);
    const xmlNode* minor = major ? firstGrandchild(root, "Version", "VersionMinor",
                                                   "/QM_Module/Version/VersionMinor", d)
                                 : nullptr;
    if (!major || !minor) {
        return false;
    }
    std::int32_t versionMajor = xml::ParseLong(xml::ElementText(major));
    std::int32_t versionMinor = xml::ParseLong(xml::ElementText(minor));

    const xmlNode* name = requireChild(root, "Name", "/QM_Module/Name", d);
    if (!name) {
        return false;
    }
    const xmlNode* moduleName = requireChild(name, "ModuleName", "/QM_Module/Name/ModuleName", d);
    if (!moduleName) {
        return false;
    }
    for (const xmlNode* menu = xml::FirstChildElement(name, "MenuName"); menu;
         menu = xml::NextSiblingElement(menu, "MenuName")) {
        const std::string menuName = xml::ElementText(menu);
        const std::string folder = requireAttribute(menu, "path");
        record.AddMenu(menuName, folder);  // a repeated name (any case) keeps the first
    }
    const std::string key = xml::ElementText(keyname);
    record.SetKey(key);
    record.SetDisplayName(xml::ElementText(moduleName));

    d.keyReached = key;
    if (override) {
        applyVersionOverride(key, versionMajor, versionMinor);
    }
    record.SetVersion(versionMajor, versionMinor);

    if (const xmlNode* applications = xml::FirstChildElement(root, "Applications")) {
        for (const xmlNode* app = xml::FirstChildElement(applications, "Application"); app;
             app = xml::NextSiblingElement(app, "Application")) {
            const std::string path = requireAttribute(app, "path");
            const std::string arguments = requireAttribute(app, "arguments");
            const std::string type = requireAttribute(app, "type");
            const std::string command = requireAttribute(app, "command");
            const bool modal = requireAttribute(app, "modal") == names::kTrue;
            record.AddApplication(QmApplication(path, arguments, type, command, modal));
        }
    }
    return true;
}

void ModuleDefinitionReader::applyVersionOverride(const std::string& key, std::int32_t& major,
                                                  std::int32_t& minor) {
    // Built at any length: only the settings store works in a bounded buffer.
    QmEnWinRegistry registry;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::moduleKey(key), true)) {
        registry.ReadLong(names::kValueOverrideMajor, major);
        registry.ReadLong(names::kValueOverrideMinor, minor);
    }
}

std::string ModuleDefinitionReader::rejectionLine(const std::string& definitionPath,
                                                  const DefinitionDiagnostic& d) {
    return definitionPath + ":" + std::to_string(d.line) + ": rejected (" +
           DefinitionFaultName(d.fault) + "): " + d.reason;
}

std::string ModuleDefinitionReader::encodingLine(const std::string& definitionPath,
                                                 std::string_view encoding) {
    return strCat({definitionPath, ": accepted, encoded as ", encoding});
}

bool ReadModuleDefinition(const std::string& definitionPath, const std::string& schemaPath,
                          ModuleRecord& record, std::string& errorText) {
    return ModuleDefinitionReader(schemaPath).read(definitionPath, record, errorText);
}

}  // namespace qm
