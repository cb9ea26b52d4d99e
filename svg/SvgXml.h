// The document as libxml2 holds it: SVG names, attributes, references, and
// strings of the document turned into the module's 8-bit names.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace svgreader {

constexpr const char* kSvgNs = "http://www.w3.org/2000/svg";
constexpr const char* kXlinkNs = "http://www.w3.org/1999/xlink";
constexpr const char* kInkscapeNs = "http://www.inkscape.org/namespaces/inkscape";
constexpr const char* kXmlNs = "http://www.w3.org/XML/1998/namespace";

std::string Str(const xmlChar* s);
// The same without a copy; empty for null.
std::string_view StrView(const xmlChar* s);
// The element's name when it is SVG (namespace SVG or none), else empty.
std::string LocalName(xmlNodePtr node);
std::optional<std::string> Attr(xmlNodePtr node, const char* name, const char* ns = nullptr);
// An attribute's value, entities and all.
std::string AttrValue(xmlAttrPtr attribute);
// xlink:href, else href.
std::optional<std::string> Href(xmlNodePtr node);
// "#id" to "id"; anything else to "".
std::string FragmentOf(const std::string& href);

// UTF-8 to the module's 8-bit text (Latin-1); false when a character had to
// be replaced.
bool ToLatin1(std::string_view in, std::string& out);
// Names the module writes bare inside parentheses: only balanced ones are
// safe, and a line break would end the comment lines that carry some of them.
std::string SafeName(const std::string& utf8, std::size_t limit);

}  // namespace svgreader
