// The document as libxml2 holds it: SVG names, attributes, references, and
// strings of the document turned into the module's 8-bit names.
#include "SvgXml.h"

namespace svgreader {

std::string Str(const xmlChar* s) { return s != nullptr ? reinterpret_cast<const char*>(s) : ""; }

std::string_view StrView(const xmlChar* s)
{
    return s != nullptr ? reinterpret_cast<const char*>(s) : std::string_view();
}

std::string LocalName(xmlNodePtr node)
{
    if (node == nullptr || node->type != XML_ELEMENT_NODE)
        return {};
    if (node->ns != nullptr && StrView(node->ns->href) != kSvgNs)
        return {};
    return Str(node->name);
}

std::string AttrValue(xmlAttrPtr a)
{
    // One text node, as nearly every value is: its text as it stands, which
    // is what joining the list gives.
    const xmlNode* text = a->children;
    if (text == nullptr)
        return {};
    if (text->next == nullptr && text->type == XML_TEXT_NODE)
        return Str(text->content);
    xmlChar* value = xmlNodeListGetString(a->doc, a->children, 1);
    std::string out = Str(value);
    xmlFree(value);
    return out;
}

std::optional<std::string> Attr(xmlNodePtr node, const char* name, const char* ns)
{
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        if (StrView(a->name) != name)
            continue;
        const bool inNs = a->ns != nullptr;
        if (ns == nullptr ? inNs : (!inNs || StrView(a->ns->href) != ns))
            continue;
        return AttrValue(a);
    }
    return std::nullopt;
}

std::optional<std::string> Href(xmlNodePtr node)
{
    auto h = Attr(node, "href", kXlinkNs);
    return h ? h : Attr(node, "href");
}

std::string FragmentOf(const std::string& href)
{
    return !href.empty() && href[0] == '#' ? href.substr(1) : std::string();
}

bool ToLatin1(std::string_view in, std::string& out)
{
    bool exact = true;
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        unsigned cp = c;
        std::size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < in.size())
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(in[i + 1]) & 0x3Fu), len = 2;
        else if (c >= 0xE0 && c < 0xF0 && i + 2 < in.size())
            cp = 0x10000, len = 3;
        else if (c >= 0xF0)
            cp = 0x10000, len = 4;
        else if (c >= 0x80)
            cp = 0x10000;
        i += len;
        if (cp > 0xFF) {
            out += '?';
            exact = false;
        } else {
            out += static_cast<char>(cp);
        }
    }
    return exact;
}

std::string SafeName(const std::string& utf8, std::size_t limit)
{
    std::string name;
    ToLatin1(utf8, name);
    int depth = 0;
    bool balanced = true;
    for (char c : name) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        balanced = balanced && depth >= 0;
    }
    balanced = balanced && depth == 0;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        else if (!balanced && c == '(')
            c = '[';
        else if (!balanced && c == ')')
            c = ']';
        else if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return name.substr(0, limit);
}

}  // namespace svgreader
