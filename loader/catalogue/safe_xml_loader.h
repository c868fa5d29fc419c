#pragma once
// Loads XML files from the installation without trusting them: no network, no document type
// declarations (so no entity expansion and no external entities), no files above a size
// limit, and no messages printed by the parser. The first problem found is reported with its
// line so that tools can show it.
#include <libxml/tree.h>
#include <qmsys/handle.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qm::xml {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// Definition files are a few kilobytes; anything this large is not a definition and is
// refused before the parser sees it.
inline constexpr std::size_t kMaxXmlFileBytes = 16u * 1024u * 1024u;

// No definition has more than a handful of attributes on an element; a document with more than
// this many on one element is refused before it is parsed.
inline constexpr int kMaxAttributesPerElement = 256;

enum class LoadFailure {
    None,
    Unreadable,     // missing, a folder, or a read error
    TooLarge,       // above kMaxXmlFileBytes
    NotWellFormed,  // includes empty files, bad encodings, NUL bytes, excessive nesting, more
                    // than kMaxAttributesPerElement attributes on one element
    HasDoctype,     // a document type declaration; parsing stops where it begins
    OutOfMemory,    // the parser could not be created
};

struct Problem {
    int line = 0;  // 0 when the problem concerns the file as a whole
    std::string message;
};

struct LoadResult {
    DocPtr doc;  // set exactly when failure is None
    LoadFailure failure = LoadFailure::None;
    Problem problem;
};

// libxml2's message text on one line: the final line break dropped, inner ones made spaces.
std::string OneLineMessage(const char* message);

// The line of the first start tag with more than maxAttributes attributes, or 0. Linear in
// the size of data; it reads markup only as far as needed to count attributes, and leaves
// every other judgement to the parser.
int FirstCrowdedElementLine(std::string_view data, int maxAttributes);

struct ParserFree {
    void operator()(xmlParserCtxt* parser) const;
};
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserFree>;

// A parser context for many parses on one thread, such as every definition of one scan: the
// parser is set up once and element and attribute names are interned once for all documents,
// instead of once per document. Null when out of memory.
ParserPtr NewParser();

// Reads path and parses it. Only a regular file is read, and opening it never waits (a FIFO
// is refused). parser: one from NewParser, used by one thread at a time, or null for a context
// of this call's own (thread-safe). The result is the same either way: a reused context starts
// each document afresh, with the same limits, and is replaced once its names grow large.
// With an open folder, the file opened is nameInFolder inside it, which saves looking up the
// folder's path again for each of its files; path still names it in messages.
LoadResult LoadXmlFile(const std::string& path, ParserPtr* parser = nullptr,
                       const qmsys::FolderHandle* folder = nullptr,
                       const std::string* nameInFolder = nullptr);
// Parses data; url names the document in messages only. parser as for LoadXmlFile.
LoadResult ParseXml(std::string_view data, const std::string& url, ParserPtr* parser = nullptr);

}  // namespace qm::xml
