#include "catalogue/definition_schema.h"

#include <libxml/xmlschemas.h>

#include <cstring>

namespace qm {

namespace {

constexpr const char* kXsdNamespace = "http://www.w3.org/2001/XMLSchema";

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

}  // namespace

void DefinitionSchema::collect(void* data, xmlErrorPtr error) {
    auto* collector = static_cast<Collector*>(data);
    if (collector->have || error == nullptr || error->level == XML_ERR_WARNING) {
        return;
    }
    collector->have = true;
    collector->first.line = error->line;
    collector->first.message = xml::OneLineMessage(error->message);
}

// Compiled once per reader, not per definition (docs/PERFORMANCE.md: the schema compiled once).
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
    valid_.reset();  // before the schema it validates with
    if (schema_) {
        xmlSchemaFree(schema_);
    }
}

bool DefinitionSchema::validate(xmlDoc* doc, xml::Problem& problem) const {
    // One validation context for every document: making one per document also made its
    // name dictionary and schema parser context each time (docs/PERFORMANCE.md: the schema
    // compiled once).
    if (!valid_) {
        valid_.reset(xmlSchemaNewValidCtxt(schema_));
        if (!valid_) {
            problem = xml::Problem{0, "out of memory"};
            return false;
        }
        xmlSchemaSetValidStructuredErrors(valid_.get(), collect, &collector_);
        // Attributes the schema gives a default or fixed value are put into the document, so
        // that a definition leaving them out reads as if it carried them.
        xmlSchemaSetValidOptions(valid_.get(), XML_SCHEMA_VAL_VC_I_CREATE);
    }
    collector_ = Collector{};
    const int rc = xmlSchemaValidateDoc(valid_.get(), doc);
    if (rc == 0) {
        return true;
    }
    problem = collector_.have ? collector_.first
                              : xml::Problem{0, "the document is not valid against the schema"};
    return false;
}

}  // namespace qm
