#include "catalogue/safe_xml_loader.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

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

struct CtxtFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

LoadResult failure(LoadFailure kind, int line, std::string message) {
    LoadResult result;
    result.failure = kind;
    result.problem.line = line;
    result.problem.message = std::move(message);
    return result;
}

}  // namespace

LoadResult ParseXml(std::string_view data, const std::string& url) {
    if (data.size() > kMaxXmlFileBytes) {
        return failure(LoadFailure::TooLarge, 0, "file larger than the limit of 16 MiB");
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax) {
        return failure(LoadFailure::OutOfMemory, 0, "out of memory");
    }
    ParseState state;
    ctxt->_private = &state;
    ctxt->sax->serror = onError;
    ctxt->sax->internalSubset = onDoctype;

    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), data.data(), static_cast<int>(data.size()),
                                 url.c_str(), nullptr, kParseOptions));
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

LoadResult LoadXmlFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return failure(LoadFailure::Unreadable, 0, std::strerror(errno));
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return failure(LoadFailure::Unreadable, 0, std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return failure(LoadFailure::Unreadable, 0, "not a regular file");
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxXmlFileBytes) {
        return failure(LoadFailure::TooLarge, 0, "file larger than the limit of 16 MiB");
    }
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failure(LoadFailure::Unreadable, 0, std::strerror(errno));
        }
        if (n == 0) {
            break;  // the file shrank while being read
        }
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return ParseXml(data, path);
}

}  // namespace qm::xml
