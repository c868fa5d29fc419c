#pragma once
// The schema that module definitions are validated against, loaded and compiled once per
// scan on the calling thread; validating afterwards is read-only on the compiled schema and
// uses one validation context for all documents, so a schema serves one thread at a time
// (as the reader that owns it does).
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <memory>
#include <string>

#include "catalogue/safe_xml_loader.h"

namespace qm {

class DefinitionSchema {
public:
    enum class State {
        Unloadable,  // missing, unreadable, not well-formed XML: definitions fail without text
        NotASchema,  // well-formed XML that does not compile as a schema (or refers to other
                     // schema documents, which are never fetched): definitions get a COM error
        Ready,
    };

    explicit DefinitionSchema(const std::string& path);
    ~DefinitionSchema();
    DefinitionSchema(const DefinitionSchema&) = delete;
    DefinitionSchema& operator=(const DefinitionSchema&) = delete;

    State state() const { return state_; }
    const std::string& path() const { return path_; }
    // Why the schema is not Ready (first problem, with its line in the schema file).
    const xml::Problem& problem() const { return problem_; }

    // Validates doc; precondition: state() == Ready. True when valid; otherwise problem
    // receives the first validation error. Attributes that the schema gives a default or
    // fixed value and that doc leaves out are added to doc.
    bool validate(xmlDoc* doc, xml::Problem& problem) const;

private:
    // The first error of the compilation or validation under way.
    struct Collector {
        xml::Problem first;
        bool have = false;
    };
    static void collect(void* data, xmlErrorPtr error);
    struct ValidCtxtFree {
        void operator()(xmlSchemaValidCtxt* p) const { xmlSchemaFreeValidCtxt(p); }
    };

    std::string path_;
    State state_ = State::Unloadable;
    xml::Problem problem_;
    xml::DocPtr doc_;  // the compiled schema keeps pointers into its document
    xmlSchema* schema_ = nullptr;
    // Made by the first validate(); its errors go to collector_.
    mutable std::unique_ptr<xmlSchemaValidCtxt, ValidCtxtFree> valid_;
    mutable Collector collector_;
};

}  // namespace qm
