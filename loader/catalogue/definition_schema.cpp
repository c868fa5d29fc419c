#include "catalogue/definition_schema.h"

#include <libxml/xmlschemas.h>

#include <cstring>

namespace qm {

namespace {

constexpr const char* kXsdNamespace = "http://www.w3.org/2001/XMLSchema";

struct Collector {
    xml::Problem first;
    bool have = false;
};

void collect(void* data, xmlErrorPtr error) {
    auto* collector = static_cast<Collector*>(data);
    if (collector->have || error == nullptr || error->level == XML_ERR_WARNING) {
        return;
    }
    collector->have = true;
    collector->first.line = error->line;
    collector->first.message = xml::OneLineMessage(error->message);
}

// A schema element that would make the schema compiler load another document.
const xmlNode* findExternalReference(const xmlNode* node) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (child->ns && child->ns->href &&
            std::strcmp(reinterpret_cast<const char*>(child->ns->href), kXsdNamespace) == 0) {
            const char* name = reinterpret_cast<const char*>(child->name);
            if (std::strcmp(name, "include") == 0 || std::strcmp(name, "import") == 0 ||
                std::strcmp(name, "redefine") == 0 || std::strcmp(name, "override") == 0) {
                return child;
            }
        }
        if (const xmlNode* found = findExternalReference(child)) {
            return found;
        }
    }
    return nullptr;
}

struct ParserCtxtFree {
    void operator()(xmlSchemaParserCtxt* p) const { xmlSchemaFreeParserCtxt(p); }
};
struct ValidCtxtFree {
    void operator()(xmlSchemaValidCtxt* p) const { xmlSchemaFreeValidCtxt(p); }
};

}  // namespace

DefinitionSchema::DefinitionSchema(const std::string& path) : path_(path) {
    xmlInitParser();
    xml::LoadResult loaded = xml::LoadXmlFile(path);
    if (loaded.failure != xml::LoadFailure::None) {
        state_ = State::Unloadable;
        problem_ = loaded.problem;
        return;
    }
    state_ = State::NotASchema;
    doc_ = std::move(loaded.doc);
    if (const xmlNode* reference = findExternalReference(reinterpret_cast<xmlNode*>(doc_.get()))) {
        problem_.line = static_cast<int>(xmlGetLineNo(reference));
        problem_.message = "the schema refers to other schema documents, which are not loaded";
        return;
    }
    std::unique_ptr<xmlSchemaParserCtxt, ParserCtxtFree> parser(
        xmlSchemaNewDocParserCtxt(doc_.get()));
    if (!parser) {
        problem_.message = "out of memory";
        return;
    }
    Collector collector;
    xmlSchemaSetParserStructuredErrors(parser.get(), collect, &collector);
    schema_ = xmlSchemaParse(parser.get());
    if (schema_ == nullptr) {
        problem_ = collector.have ? collector.first : xml::Problem{0, "not a valid schema"};
        return;
    }
    state_ = State::Ready;
}

DefinitionSchema::~DefinitionSchema() {
    if (schema_) {
        xmlSchemaFree(schema_);
    }
}

bool DefinitionSchema::validate(xmlDoc* doc, xml::Problem& problem) const {
    std::unique_ptr<xmlSchemaValidCtxt, ValidCtxtFree> valid(xmlSchemaNewValidCtxt(schema_));
    if (!valid) {
        problem = xml::Problem{0, "out of memory"};
        return false;
    }
    Collector collector;
    xmlSchemaSetValidStructuredErrors(valid.get(), collect, &collector);
    // Attributes the schema gives a default or fixed value are put into the document, so that
    // a definition leaving them out reads as if it carried them.
    xmlSchemaSetValidOptions(valid.get(), XML_SCHEMA_VAL_VC_I_CREATE);
    const int rc = xmlSchemaValidateDoc(valid.get(), doc);
    if (rc == 0) {
        return true;
    }
    problem = collector.have ? collector.first
                             : xml::Problem{0, "the document is not valid against the schema"};
    return false;
}

}  // namespace qm
