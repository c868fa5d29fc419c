#include "catalogue/safe_xml_loader.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <qmsys/files.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qm::xml {

namespace {

// Safe options only: never NOENT, DTDLOAD, DTDATTR or HUGE. The parser's depth, name and
// text limits stay at their defaults.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;

struct ParseState {
    Problem first;
    bool haveProblem = false;
    bool doctype = false;
    int doctypeLine = 0;
};

// Reads the document as a sequence of code units of one width (1 for UTF-8 and other
// single-byte encodings, 2 for UTF-16 of either byte order) so that markup is found whatever
// the encoding; only ASCII markup characters matter here.
class UnitReader {
public:
    explicit UnitReader(std::string_view data) : data_(data) {
        const auto byte = [&](std::size_t i) {
            return i < data.size() ? static_cast<unsigned char>(data[i]) : 0x100u;
        };
        if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0)) {
            width_ = 2;
            low_ = 0;
        } else if ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<')) {
            width_ = 2;
            low_ = 1;
        }
    }
    std::size_t size() const { return data_.size() / width_; }
    // The unit at i as a character when it is ASCII, else 0x80 (never markup).
    unsigned at(std::size_t i) const {
        if (width_ == 1) {
            return static_cast<unsigned char>(data_[i]);
        }
        const auto lo = static_cast<unsigned char>(data_[i * 2 + low_]);
        const auto hi = static_cast<unsigned char>(data_[i * 2 + 1 - low_]);
        return hi == 0 && lo < 0x80 ? lo : 0x80;
    }
    // Index of the next '<' at or after i (size() when there is none), adding the line
    // breaks before it to line.
    std::size_t nextTag(std::size_t i, int& line) const {
        if (width_ == 1) {
            const void* found = std::memchr(data_.data() + i, '<', data_.size() - i);
            const std::size_t end =
                found ? static_cast<std::size_t>(static_cast<const char*>(found) - data_.data())
                      : data_.size();
            line += static_cast<int>(std::count(data_.begin() + static_cast<std::ptrdiff_t>(i),
                                                data_.begin() + static_cast<std::ptrdiff_t>(end),
                                                '\n'));
            return end;
        }
        for (; i < size() && at(i) != '<'; ++i) {
            line += at(i) == '\n' ? 1 : 0;
        }
        return i;
    }
    bool startsWith(std::size_t i, std::string_view text) const {
        if (i + text.size() > size()) {
            return false;
        }
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (at(i + k) != static_cast<unsigned char>(text[k])) {
                return false;
            }
        }
        return true;
    }
    // Index just past the next occurrence of text at or after i, or size().
    std::size_t skipPast(std::size_t i, std::string_view text) const {
        for (; i < size(); ++i) {
            if (startsWith(i, text)) {
                return i + text.size();
            }
        }
        return size();
    }

private:
    std::string_view data_;
    std::size_t width_ = 1;
    std::size_t low_ = 0;
};

}  // namespace

int FirstCrowdedElementLine(std::string_view data, int maxAttributes) {
    // Every attribute counted below is an '=' unit, and every '=' unit holds an '=' byte: a
    // document with no more '=' bytes than the limit (every definition) needs no closer look.
    if (std::count(data.begin(), data.end(), '=') <= maxAttributes) {
        return 0;
    }
    const UnitReader units(data);
    int line = 1;
    const std::size_t n = units.size();
    std::size_t i = 0;
    // One pass: text, comments, CDATA and processing instructions are skipped; in a start tag
    // every '=' outside a quoted value is one attribute.
    while ((i = units.nextTag(i, line)) < n) {
        std::size_t end = i + 1;
        if (units.startsWith(i, "<!--")) {
            end = units.skipPast(i + 4, "-->");
        } else if (units.startsWith(i, "<![CDATA[")) {
            end = units.skipPast(i + 9, "]]>");
        } else if (units.startsWith(i, "<?")) {
            end = units.skipPast(i + 2, "?>");
        } else if (units.startsWith(i, "<!")) {
            return 0;  // a DOCTYPE, which the parser refuses before it reads any attribute
        } else {
            int attributes = 0;
            unsigned quote = 0;
            const int tagLine = line;
            for (end = i + 1; end < n; ++end) {
                const unsigned t = units.at(end);
                if (quote != 0) {
                    quote = t == quote ? 0 : quote;
                } else if (t == '"' || t == '\'') {
                    quote = t;
                } else if (t == '=') {
                    if (++attributes > maxAttributes) {
                        return tagLine;
                    }
                } else if (t == '>') {
                    ++end;
                    break;
                }
            }
        }
        // Line breaks inside the construct still count.
        for (std::size_t k = i + 1; k < end && k < n; ++k) {
            if (units.at(k) == '\n') {
                ++line;
            }
        }
        i = end;
    }
    return 0;
}

std::string OneLineMessage(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

namespace {

void onError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (state == nullptr || state->haveProblem || error == nullptr ||
        error->level == XML_ERR_WARNING) {
        return;
    }
    state->haveProblem = true;
    state->first.line = error->line;
    state->first.message = OneLineMessage(error->message);
}

// Called as soon as the name and external identifier of a DOCTYPE are read, before its
// internal subset or any external subset is looked at.
void onDoctype(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    state->doctype = true;
    state->doctypeLine = xmlSAX2GetLineNumber(ctxt);
    xmlStopParser(ctxt);
}

// A reused context's interned names above this many bytes: the next document gets a fresh
// context, so that names kept from earlier documents stay small beside the limit each document
// has alone, and a hostile file cannot crowd out the ones after it.
constexpr std::size_t kMaxReusedNameBytes = 64u * 1024u;

LoadResult failure(LoadFailure kind, int line, std::string message) {
    LoadResult result;
    result.failure = kind;
    result.problem.line = line;
    result.problem.message = std::move(message);
    return result;
}

}  // namespace

void ParserFree::operator()(xmlParserCtxt* parser) const {
    xmlFreeParserCtxt(parser);
}

ParserPtr NewParser() {
    return ParserPtr(xmlNewParserCtxt());
}

LoadResult ParseXml(std::string_view data, const std::string& url, ParserPtr* parser) {
    if (data.size() > kMaxXmlFileBytes) {
        return failure(LoadFailure::TooLarge, 0, "file larger than the limit of 16 MiB");
    }
    // libxml2 checks each attribute of an element against all the others before anything
    // else sees them, which is quadratic in their number; such an element is refused first.
    if (const int line = FirstCrowdedElementLine(data, kMaxAttributesPerElement)) {
        return failure(
            LoadFailure::NotWellFormed, line,
            "more than " + std::to_string(kMaxAttributesPerElement) + " attributes on one element");
    }
    ParserPtr own;
    ParserPtr& ctxt = parser ? *parser : own;
    if (ctxt && ctxt->dict && xmlDictGetUsage(ctxt->dict) > kMaxReusedNameBytes) {
        ctxt.reset();
    }
    if (!ctxt) {
        ctxt = NewParser();
    }
    if (!ctxt || !ctxt->sax) {
        return failure(LoadFailure::OutOfMemory, 0, "out of memory");
    }
    // Each document may intern as many bytes of names as it could in a context of its own.
    if (ctxt->dict) {
        xmlDictSetLimit(ctxt->dict, XML_MAX_DICTIONARY_LIMIT + xmlDictGetUsage(ctxt->dict));
    }
    ParseState state;
    ctxt->_private = &state;
    ctxt->sax->serror = onError;
    ctxt->sax->internalSubset = onDoctype;

    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), data.data(), static_cast<int>(data.size()),
                                 url.c_str(), nullptr, kParseOptions));
    // The state ends with this call; a reused context must not point at it.
    ctxt->_private = nullptr;
    if (state.doctype) {
        return failure(LoadFailure::HasDoctype, state.doctypeLine,
                       "document type declarations are not allowed");
    }
    if (!doc || !ctxt->wellFormed || doc->children == nullptr) {
        if (!state.haveProblem) {
            state.first.message = "not a well-formed XML document";
        }
        return failure(LoadFailure::NotWellFormed, state.first.line, state.first.message);
    }
    LoadResult result;
    result.doc = std::move(doc);
    return result;
}

LoadResult LoadXmlFile(const std::string& path, ParserPtr* parser,
                       const qmsys::FolderHandle* folder, const std::string* nameInFolder) {
    // Opened without blocking and read only when it is a regular file: a FIFO or a device in
    // the installation must not hang the host's start.
    std::string data;
    const bool inFolder = qmsys::isOpen(folder) && nameInFolder;
    const qmsys::WinError error =
        inFolder ? qmsys::readRegularFile(*nameInFolder, kMaxXmlFileBytes, data, folder)
                 : qmsys::readRegularFile(path, kMaxXmlFileBytes, data);
    if (error == qmsys::kErrorFileTooLarge) {
        return failure(LoadFailure::TooLarge, 0, "file larger than the limit of 16 MiB");
    }
    if (error == qmsys::kErrorAccessDenied && qmsys::fileExists(path)) {
        return failure(LoadFailure::Unreadable, 0, "not a regular file");
    }
    if (error != qmsys::kErrorSuccess) {
        return failure(LoadFailure::Unreadable, 0,
                       "cannot be read (error " + std::to_string(error) + ")");
    }
    return ParseXml(data, path, parser);
}

}  // namespace qm::xml
