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

enum class LoadFailure {
    None,
    Unreadable,     // missing, a folder, or a read error
    TooLarge,       // above kMaxXmlFileBytes
    NotWellFormed,  // includes empty files, bad encodings, NUL bytes, excessive nesting
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

// Reads path and parses it. Thread-safe: every call uses its own parser context.
LoadResult LoadXmlFile(const std::string& path);
// Parses data; url names the document in messages only.
LoadResult ParseXml(std::string_view data, const std::string& url);

}  // namespace qm::xml
