#include "catalogue/xml_text.h"

#include <cstring>
#include <limits>

namespace qm::xml {

namespace {

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool hasName(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Accumulates text segments: white space of ordinary text is held back until more text
// follows, so that runs collapse and both ends are trimmed.
class TextBuilder {
public:
    void addNormalised(const char* text) {
        for (const char* p = text; *p; ++p) {
            if (isXmlSpace(*p)) {
                pendingSpace_ = true;
            } else {
                flushSpace();
                out_ += *p;
            }
        }
    }
    void addVerbatim(const char* text) {
        flushSpace();
        out_ += text;
    }
    std::string take() { return std::move(out_); }

private:
    void flushSpace() {
        if (pendingSpace_ && !out_.empty()) {
            out_ += ' ';
        }
        pendingSpace_ = false;
    }
    std::string out_;
    bool pendingSpace_ = false;
};

void collect(const xmlNode* node, TextBuilder& builder) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        switch (child->type) {
            case XML_TEXT_NODE:
                if (child->content) {
                    builder.addNormalised(reinterpret_cast<const char*>(child->content));
                }
                break;
            case XML_CDATA_SECTION_NODE:
                if (child->content) {
                    builder.addVerbatim(reinterpret_cast<const char*>(child->content));
                }
                break;
            case XML_ELEMENT_NODE:
                collect(child, builder);
                break;
            default:
                break;
        }
    }
}

}  // namespace

std::string ElementText(const xmlNode* element) {
    TextBuilder builder;
    collect(element, builder);
    return builder.take();
}

std::optional<std::string> AttributeText(const xmlNode* element, const char* name) {
    const xmlAttr* attr = xmlHasNsProp(element, reinterpret_cast<const xmlChar*>(name), nullptr);
    if (attr == nullptr || attr->type != XML_ATTRIBUTE_NODE) {
        return std::nullopt;
    }
    xmlChar* value = xmlNodeListGetString(element->doc, attr->children, 1);
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

const xmlNode* FirstChildElement(const xmlNode* parent, const char* name) {
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (hasName(child, name)) {
            return child;
        }
    }
    return nullptr;
}

const xmlNode* NextSiblingElement(const xmlNode* element, const char* name) {
    for (const xmlNode* next = element->next; next; next = next->next) {
        if (hasName(next, name)) {
            return next;
        }
    }
    return nullptr;
}

std::int32_t ParseLong(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number, which reaches the minimum without overflow.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    bool clamped = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!clamped) {
            value = value * 10 - (text[i] - '0');
            if (value < kMin) {
                clamped = true;
            }
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(clamped ? kMin : value);
    }
    if (clamped || -value > kMax) {
        return static_cast<std::int32_t>(kMax);
    }
    return static_cast<std::int32_t>(-value);
}

}  // namespace qm::xml
