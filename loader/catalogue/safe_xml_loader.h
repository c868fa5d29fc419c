#pragma once
// Loads XML files from the installation without trusting them: no network, no document type
// declarations (so no entity expansion and no external entities), no files above a size
// limit, and no messages printed by the parser. The first problem found is reported with its
// line so that tools can show it.
#include <libxml/tree.h>

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

// Reads path and parses it. Only a regular file is read, and opening it never waits (a FIFO
// is refused). Thread-safe: every call uses its own parser context.
LoadResult LoadXmlFile(const std::string& path);
// Parses data; url names the document in messages only.
LoadResult ParseXml(std::string_view data, const std::string& url);

}  // namespace qm::xml
