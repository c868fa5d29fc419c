#pragma once
// Reading values out of a parsed module definition the way the definition format defines
// them: element text with white space normalised, attribute values, and integers.
#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::xml {

// The element's text: the text of all its descendants in document order, comments and
// processing instructions left out. Ordinary text is trimmed at both ends of the result and
// every inner run of white space (space, tab, line feed, carriage return) becomes one space;
// CDATA content is taken verbatim.
std::string ElementText(const xmlNode* element);

// The value of the attribute name in no namespace, or nullopt when the element has none. A
// present but empty attribute gives "".
std::optional<std::string> AttributeText(const xmlNode* element, const char* name);

// The first child element named name in no namespace, or null.
const xmlNode* FirstChildElement(const xmlNode* parent, const char* name);
// The next sibling element after element with the same name in no namespace, or null.
const xmlNode* NextSiblingElement(const xmlNode* element, const char* name);

// Converts text like the C library's wide-string-to-long conversion with base 10 and a
// 32-bit long: leading white space skipped, an optional sign, then decimal digits up to the
// first other character; no digits give 0; values beyond the 32-bit range clamp to its ends.
std::int32_t ParseLong(std::string_view text);

}  // namespace qm::xml
