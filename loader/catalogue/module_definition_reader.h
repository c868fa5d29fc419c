#pragma once
// Reads one module definition file into a module record: validated against the schema, then
// key, version, display name, menus and applications, and the user's version override from
// the registry.
#include <qmsys/handle.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/definition_schema.h"
#include "runtime/module_record.h"

namespace qm {

class DiagnosticLog;

// Why a definition was not accepted.
enum class DefinitionFault {
    None,
    SchemaUnloadable,  // the schema could not be loaded; no error text
    Unreadable,        // missing or not a file; no error text
    TooLarge,          // above the size limit; no error text
    NotWellFormed,     // no error text
    Doctype,           // has a document type declaration; no error text
    Invalid,           // not valid against the schema; no error text
    MissingElement,    // a required element is missing; no error text
    ComError,          // error text set (an absent attribute, an unusable schema, no memory)
};

// What a rejection was about, for logs and tools. line is the definition file's line, 0 when
// the fault concerns the file as a whole.
struct DefinitionDiagnostic {
    DefinitionDiagnostic() = default;
    DefinitionDiagnostic(DefinitionFault f, int l, std::string r)
        : fault(f), line(l), reason(std::move(r)) {}

    DefinitionFault fault = DefinitionFault::None;
    int line = 0;
    std::string reason;
    // The module key once the reading got as far as the version override, which opens (and
    // creates) that key in the registry; empty when it ended before.
    std::string keyReached;
};

// A short English name of the fault ("not well-formed", ...).
const char* DefinitionFaultName(DefinitionFault fault);

// What reading one definition gave, before the user's version override and without any
// logging: what a scan applies to its list, and what the catalogue snapshot records.
struct DefinitionOutcome {
    bool accepted = false;
    // accepted: the record as read (key, name, menus, applications), with the file's own
    // version numbers.
    ModuleRecord record;
    // accepted: the document's encoding when it is not UTF-8, for the log; "" otherwise.
    std::string encoding;
    // rejected: the COM error text the read set ("" for none) and why.
    std::string errorText;
    DefinitionDiagnostic diagnostic;
};

// Each file is parsed and validated with contexts of its own; the compiled schema is shared
// and only read.
class ModuleDefinitionReader {
public:
    struct Options {
        // Apply the per-user version override, which opens (and thereby creates) the module's
        // registry key. Off for tools that only check files.
        bool applyVersionOverride = true;
        // Receives one line per rejected file and per notable acceptance; may be null.
        DiagnosticLog* log = nullptr;
    };

    // Loads and compiles the schema once for every read() of this reader.
    ModuleDefinitionReader(const std::string& schemaPath, Options options);
    explicit ModuleDefinitionReader(const std::string& schemaPath)
        : ModuleDefinitionReader(schemaPath, Options{}) {}

    // Reads definitionPath into record. True when accepted; on false record is unchanged. A
    // COM error overwrites errorText with its text; every other rejection leaves errorText
    // as it was. diagnostic, when given, receives the reason of a rejection.
    bool read(const std::string& definitionPath, ModuleRecord& record, std::string& errorText,
              DefinitionDiagnostic* diagnostic = nullptr) const;
    // The same for the file name inside folder (when open; else definitionPath is read), which
    // definitionPath names (in messages and the log): one path component to look up instead
    // of the whole path, for a scan of many files of one folder.
    bool readAt(const qmsys::FolderHandle* folder, const std::string& name,
                const std::string& definitionPath, ModuleRecord& record, std::string& errorText,
                DefinitionDiagnostic* diagnostic = nullptr) const;

    // The outcome of reading the file name inside folder (as readAt), without the version
    // override and without logging, whatever the options say.
    DefinitionOutcome readOutcome(const qmsys::FolderHandle* folder, const std::string& name,
                                  const std::string& definitionPath) const;

    const DefinitionSchema& schema() const { return schema_; }

    // The per-user version override of the module key: opens the module's registry key and
    // lets its override values replace major and minor. The key is created when missing
    // (Options); a scan inside a pass reads it with ReadModuleKey instead.
    static void applyVersionOverride(const std::string& key, std::int32_t& major,
                                     std::int32_t& minor);
    // The diagnostic log's line for a rejected definition.
    static std::string rejectionLine(const std::string& definitionPath,
                                     const DefinitionDiagnostic& diagnostic);
    // The diagnostic log's line for a definition accepted in an encoding other than UTF-8.
    static std::string encodingLine(const std::string& definitionPath, std::string_view encoding);

private:
    // A definition loaded and validated but not yet read, or why it was refused.
    struct Prepared {
        xml::DocPtr doc;             // set when the document loaded and is valid
        std::uint32_t comError = 0;  // not 0: reading ends with this COM error
        DefinitionDiagnostic diagnostic;
    };
    // The file and schema part of reading; needs neither the registry nor the environment.
    Prepared prepare(const std::string& definitionPath, const qmsys::FolderHandle* folder = nullptr,
                     const std::string* name = nullptr) const;
    // Reads the values, applies the version override when override, sets the error text and
    // logs to log (may be null).
    bool complete(const std::string& definitionPath, Prepared& prepared, ModuleRecord& record,
                  std::string& errorText, DefinitionDiagnostic& diagnostic, bool override,
                  DiagnosticLog* log) const;
    bool readValidated(xmlDoc* doc, ModuleRecord& record, DefinitionDiagnostic& diagnostic,
                       bool override) const;

    DefinitionSchema schema_;
    // One parser context for all reads of this reader (so a reader serves one thread at a
    // time); created by the first read.
    mutable xml::ParserPtr parser_;
    Options options_;
};

// One definition with its own schema load: the same results as a reader made for
// schemaPath reading definitionPath.
bool ReadModuleDefinition(const std::string& definitionPath, const std::string& schemaPath,
                          ModuleRecord& record, std::string& errorText);

}  // namespace qm
