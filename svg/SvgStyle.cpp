// Lengths, style properties and their cascade: attributes, style sheets, style attributes.
#include "SvgStyle.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace svgreader {

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// strtod wants a terminated string and honours the locale; the tool never
// changes the "C" locale, and the copy bounds the scan.
bool ParseNumberPrefix(std::string_view text, double& value, std::size_t& used)
{
    std::string copy(text.substr(0, std::min<std::size_t>(text.size(), 64)));
    const char* begin = copy.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    used = static_cast<std::size_t>(end - begin);
    // strtod also reads "inf", "nan" and hexadecimal, which SVG does not have.
    if (used == 0 || !std::isfinite(value))
        return false;
    for (std::size_t i = 0; i < used; ++i)
        if (copy[i] == 'x' || copy[i] == 'X' || copy[i] == 'n' || copy[i] == 'N' ||
            copy[i] == 'i' || copy[i] == 'I')
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool ParseLength(std::string_view text, double percentOf, double fontSize, double& out)
{
    text = Trim(text);
    double v = 0;
    std::size_t used = 0;
    if (!ParseNumberPrefix(text, v, used))
        return false;
    const std::string unit = Lower(Trim(text.substr(used)));
    double factor = 0;
    if (unit.empty() || unit == "px")
        factor = 1;
    else if (unit == "in")
        factor = 96;
    else if (unit == "cm")
        factor = 96 / 2.54;
    else if (unit == "mm")
        factor = 96 / 25.4;
    else if (unit == "pt")
        factor = 96.0 / 72;
    else if (unit == "pc")
        factor = 16;
    else if (unit == "em")
        factor = fontSize;
    else if (unit == "ex")
        factor = fontSize / 2;
    else if (unit == "%")
        factor = percentOf / 100;
    else
        return false;
    out = v * factor;
    return std::isfinite(out);
}

std::vector<double> ParseNumberList(std::string_view text)
{
    std::vector<double> out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i]) || text[i] == ',') {
            ++i;
            continue;
        }
        double v = 0;
        std::size_t used = 0;
        if (!ParseNumberPrefix(text.substr(i), v, used))
            break;
        out.push_back(v);
        i += used;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> out;
    while (!text.empty()) {
        const std::size_t semi = text.find(';');
        std::string_view item = text.substr(0, semi);
        text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view value = Trim(item.substr(colon + 1));
        const std::size_t bang = value.find("!important");
        if (bang != std::string_view::npos)
            value = Trim(value.substr(0, bang));
        const std::string name = Lower(Trim(item.substr(0, colon)));
        if (!name.empty())
            out.emplace_back(name, std::string(value));
    }
    return out;
}

int StyleSheet::Add(std::string_view css)
{
    // Comments out first; at-rules (@media, @font-face) are skipped whole.
    std::string text;
    for (std::size_t i = 0; i < css.size();) {
        if (css.compare(i, 2, "/*") == 0) {
            const std::size_t end = css.find("*/", i + 2);
            i = end == std::string_view::npos ? css.size() : end + 2;
        } else {
            text += css[i++];
        }
    }
    int skipped = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('{', i);
        if (open == std::string::npos)
            break;
        std::size_t close = text.find('}', open);
        if (close == std::string::npos)
            close = text.size();
        const std::string_view selectors = Trim(std::string_view(text).substr(i, open - i));
        const std::string_view body = std::string_view(text).substr(open + 1, close - open - 1);
        i = close + 1;
        if (!selectors.empty() && selectors[0] == '@') {
            // A block at-rule holds nested blocks: skip to its matching brace.
            if (body.find('{') != std::string_view::npos) {
                int depth = 1;
                std::size_t j = open + 1;
                for (; j < text.size() && depth > 0; ++j)
                    depth += text[j] == '{' ? 1 : text[j] == '}' ? -1 : 0;
                i = j;
            }
            ++skipped;
            continue;
        }
        const auto declarations = ParseDeclarations(body);
        std::string_view list = selectors;
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string_view one = Trim(list.substr(0, comma));
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            Rule rule;
            bool ok = !one.empty();
            std::size_t k = 0;
            auto word = [&](std::string& into) {
                const std::size_t start = k;
                while (k < one.size() &&
                       (std::isalnum(static_cast<unsigned char>(one[k])) || one[k] == '-' ||
                        one[k] == '_' || static_cast<unsigned char>(one[k]) >= 0x80))
                    ++k;
                into.assign(one.substr(start, k - start));
                return k > start;
            };
            if (k < one.size() && one[k] == '*')
                ++k;
            else if (k < one.size() && one[k] != '.' && one[k] != '#')
                ok = word(rule.element) && ok;
            while (ok && k < one.size()) {
                const char kind = one[k++];
                if (kind == '.' && rule.className.empty())
                    ok = word(rule.className);
                else if (kind == '#' && rule.id.empty())
                    ok = word(rule.id);
                else
                    ok = false;  // descendants, attributes, pseudo-classes
            }
            if (!ok) {
                ++skipped;
                continue;
            }
            rule.specificity = (rule.id.empty() ? 0 : 100) + (rule.className.empty() ? 0 : 10) +
                               (rule.element.empty() ? 0 : 1);
            rule.order = rules.size();
            rule.declarations = declarations;
            rules.push_back(std::move(rule));
        }
    }
    return skipped;
}

std::vector<std::pair<std::string, std::string>>
StyleSheet::Matching(std::string_view element, std::string_view id, std::string_view classes) const
{
    std::vector<const Rule*> hits;
    for (const Rule& rule : rules) {
        if (!rule.element.empty() && rule.element != element)
            continue;
        if (!rule.id.empty() && rule.id != id)
            continue;
        if (!rule.className.empty()) {
            bool found = false;
            std::string_view list = classes;
            while (!list.empty() && !found) {
                std::size_t k = 0;
                while (k < list.size() && !IsSpace(list[k]))
                    ++k;
                found = list.substr(0, k) == rule.className;
                list = Trim(list.substr(k));
            }
            if (!found)
                continue;
        }
        hits.push_back(&rule);
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Rule* x, const Rule* y) {
        return x->specificity != y->specificity ? x->specificity < y->specificity
                                                : x->order < y->order;
    });
    std::vector<std::pair<std::string, std::string>> out;
    for (const Rule* rule : hits)
        out.insert(out.end(), rule->declarations.begin(), rule->declarations.end());
    return out;
}

Style Style::Inherited() const
{
    Style child = *this;
    child.opacity = 1;
    child.displayNone = false;
    child.overflowVisible = false;
    child.clipPath.clear();
    child.filter.clear();
    child.mask.clear();
    child.stopColor = Style().stopColor;
    child.stopOpacity = 1;
    child.unsupported.clear();
    child.blendMode.clear();
    return child;
}

}  // namespace svgreader
