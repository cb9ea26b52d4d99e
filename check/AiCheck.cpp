// The check of an Illustrator file: read a line at a time, its comments for
// structure and resources, its tokens for brackets, numbers and paint.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Check.h"
#include "Findings.h"

namespace aicheck {

namespace {

// Longer lines are read in part: what a reader of the format could never
// hold in its line buffer is reported, not kept.
constexpr std::size_t kMaxLine = 1 << 20;
// Names and strings are kept to this length; longer ones are never names.
constexpr std::size_t kMaxKept = 256;
// Operands kept for the operator that follows: Lb, the longest, takes ten.
constexpr std::size_t kMaxOperands = 16;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Lines ended by LF, CR LF or CR alone (files of older Macintosh programs),
// read through a buffer of its own.
class LineReader {
public:
    explicit LineReader(std::FILE* file) : file(file) {}
    // False at the end of the file; `cut` when the line was longer than kMaxLine.
    bool Next(std::string& line, bool& cut)
    {
        line.clear();
        cut = false;
        bool any = false;
        for (;;) {
            if (at == end && !Fill())
                return any;
            any = true;
            const char* stop = at;
            while (stop < end && *stop != '\n' && *stop != '\r')
                ++stop;
            const std::size_t room = kMaxLine - std::min(kMaxLine, line.size());
            const std::size_t n = static_cast<std::size_t>(stop - at);
            line.append(at, std::min(n, room));
            cut = cut || n > room;
            at = stop;
            if (at == end)
                continue;
            const char ending = *at++;
            if (ending == '\r' && (at < end || Fill()) && *at == '\n')
                ++at;
            return true;
        }
    }
    bool Failed() const { return std::ferror(file) != 0; }

private:
    bool Fill()
    {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        at = buffer;
        end = buffer + got;
        return got > 0;
    }
    std::FILE* file;
    char buffer[1 << 16];
    const char* at = buffer;
    const char* end = buffer;
};

struct Operand {
    enum Kind { kNumber, kString, kName, kOther } kind = kOther;
    double value = 0;
    std::string text;  // of strings and names, at most kMaxKept
};

// An open bracket: what opened it and where.
struct Open {
    std::string what;
    long line = 0;
};

bool IsDelimiter(char c) { return std::strchr("()<>[]{}/%", c) != nullptr; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\0'; }

// PostScript's number syntax: integers, reals with an optional exponent, and
// radix numbers (base#digits).
bool IsPostScriptNumber(const std::string& t)
{
    std::size_t i = 0;
    const std::size_t hash = t.find('#');
    if (hash != std::string::npos) {
        if (hash == 0 || hash > 2 || hash + 1 == t.size())
            return false;
        for (std::size_t k = 0; k < hash; ++k)
            if (!std::isdigit(static_cast<unsigned char>(t[k])))
                return false;
        const int base = std::atoi(t.substr(0, hash).c_str());
        if (base < 2 || base > 36)
            return false;
        for (std::size_t k = hash + 1; k < t.size(); ++k) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[k])));
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : c >= 'a' && c <= 'z'                      ? c - 'a' + 10
                                                                          : 99;
            if (digit >= base)
                return false;
        }
        return true;
    }
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        std::size_t exponent = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            ++i, ++exponent;
        if (exponent == 0)
            return false;
    }
    return i == t.size();
}

// What a number-like token looks like: it starts as numbers do.
bool LooksNumeric(const std::string& t)
{
    std::size_t i = t[0] == '+' || t[0] == '-' ? 1 : 0;
    if (i < t.size() && t[i] == '.')
        ++i;
    return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
}

bool IsNotANumberWord(const std::string& t)
{
    const std::size_t first = t[0] == '-' || t[0] == '+' ? 1 : 0;
    if (t.size() > 9 || first >= t.size() || std::strchr("nNiI1", t[first]) == nullptr)
        return false;
    std::string lower;
    for (char c : t)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (!lower.empty() && (lower[0] == '-' || lower[0] == '+'))
        lower.erase(0, 1);
    return lower == "nan" || lower == "inf" || lower == "infinity" || lower == "1.#inf" ||
           lower == "1.#qnan" || lower == "nan(ind)";
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string Lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The words of a DSC comment's value, after "NAME:".
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (IsBlank(c)) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

class AiChecker {
public:
    AiChecker(const std::string& file, Profile profile, Findings& out)
        : file(file), rules(RulesOf(profile)), profile(profile), out(out)
    {
    }
    void Line(const std::string& line, bool cut);
    void Finish();

private:
    bool Within(const char* section) const;
    void Comment(const std::string& line);
    void ResourceComment(const std::string& key, const std::string& value);
    void CommentBracket(const std::string& line, const std::string& prefix, bool begin);
    void Tokens(const std::string& line, std::size_t from);
    void Token(const std::string& token);
    void Operator(const std::string& op);
    void OpenBracket(const std::string& what);
    void CloseBracket(const std::string& closing, const std::string& opening);
    void Paint(bool stroke, bool fill, bool open);
    void Drawn();
    void UseColor(const std::string& name, bool stroke, bool rgb);
    void Push(Operand operand);
    const Operand* FromTop(std::size_t k) const;

    std::string file;
    const Rules& rules;
    Profile profile;
    Findings& out;
    long line = 0;

    // Where the scanner is between lines.
    int stringDepth = 0;  // inside ( ): nesting of balanced parentheses
    std::string stringText;
    long stringLine = 0;
    bool stringEscape = false;
    bool inHex = false;
    int procDepth = 0;  // inside { }: nothing is executed yet
    long dataLine = 0;  // inside %%BeginData: skipped to its end
    std::string dataEnd;
    int documentDepth = 0;  // inside an embedded document or resource
    std::vector<Operand> operands;

    std::vector<Open> comments;   // %%BeginX / %AIn_BeginX
    std::vector<Open> operators;  // u, *u, q, Lb, To, Bd
    bool header = true;           // before %%EndComments
    bool sawCreator = false, sawBox = false, sawEndComments = false, sawTrailer = false,
         sawEof = false, sawIllustrator = false;
    long continuation = 0;  // what a %%+ line continues: 1 fonts, 2 resources
    std::set<std::string> fontsNamed, fontsSupplied, procsetsSupplied;
    std::map<std::string, long> procsetsNamed;
    std::map<std::string, long> fontsNamedAt;
    std::map<std::string, long> fontsUsed;

    // Paint state for the profiles.
    double strokeWidth = 1;
    std::string strokeName;  // the stroke's custom colour, if any
    std::string fillName;
    bool inText = false;
    std::string layerName;
    long layerLine = 0;
    bool layerDrawn = false;
    bool inLayer = false;
    bool sawCutContour = false;
    long artLayers = 0;
};

void AiChecker::Line(const std::string& text, bool cut)
{
    ++line;
    if (cut)
        out.Add(line, Severity::kError, "long-line",
                "a line longer than " + std::to_string(kMaxLine) +
                    " characters, which no reader holds: break it into lines");
    if (line == 1) {
        if (!StartsWith(text, "%!PS-Adobe"))
            out.Add(1, Severity::kError, "header",
                    "the file does not begin with %!PS-Adobe: readers take it for another format");
        return;
    }
    if (dataLine != 0) {
        if (StartsWith(text, dataEnd.c_str())) {
            dataLine = 0;
            CommentBracket(text, "%%", false);
        } else if (line == dataLine + 1 && text == "XI") {
            Operator("XI");  // the image operator opens the data it reads
        }
        return;
    }
    if (documentDepth > 0) {
        // An embedded file's own structure is its own: only its end counts.
        if (StartsWith(text, "%%BeginDocument"))
            ++documentDepth;
        else if (StartsWith(text, "%%EndDocument") && --documentDepth == 0)
            CommentBracket(text, "%%", false);
        return;
    }
    if (stringDepth == 0 && !inHex && !text.empty() && text[0] == '%') {
        Comment(text);
        return;
    }
    // A procedure set or font carried in the file defines; it draws nothing.
    if (Within("%%Resource") || Within("%%ProcSet") || Within("%%Font"))
        return;
    Tokens(text, 0);
}

bool AiChecker::Within(const char* section) const
{
    for (const Open& o : comments)
        if (o.what == section)
            return true;
    return false;
}

void AiChecker::Comment(const std::string& text)
{
    if (StartsWith(text, "%%+")) {
        const std::vector<std::string> words = Words(text.substr(3));
        if (continuation == 1)
            for (const std::string& w : words)
                fontsNamed.insert(w), fontsNamedAt.emplace(w, line);
        else if (continuation == 2)
            ResourceComment("%%DocumentNeededResources:", text.substr(3));
        return;
    }
    continuation = 0;
    if (StartsWith(text, "%AI") || StartsWith(text, "%%Creator: Adobe Illustrator"))
        sawIllustrator = true;
    if (StartsWith(text, "%%Creator"))
        sawCreator = true;
    else if (StartsWith(text, "%%BoundingBox:")) {
        sawBox = true;
        const std::vector<std::string> w = Words(text.substr(14));
        bool good = w.size() == 4 || (w.size() == 1 && w[0] == "(atend)");
        for (std::size_t i = 0; good && w.size() == 4 && i < 4; ++i)
            good = IsPostScriptNumber(w[i]) && w[i].find('#') == std::string::npos;
        if (good && w.size() == 4)
            good = std::strtod(w[0].c_str(), nullptr) <= std::strtod(w[2].c_str(), nullptr) &&
                   std::strtod(w[1].c_str(), nullptr) <= std::strtod(w[3].c_str(), nullptr);
        if (!good)
            out.Add(line, Severity::kError, "box",
                    "the %%BoundingBox is not four numbers left bottom right top: readers "
                    "place the art by it; write the art's box in points");
    } else if (StartsWith(text, "%%EndComments")) {
        sawEndComments = true;
        header = false;
    } else if (StartsWith(text, "%%Trailer")) {
        sawTrailer = true;
    } else if (StartsWith(text, "%%EOF")) {
        sawEof = true;
    } else if (StartsWith(text, "%%DocumentFonts:")) {
        continuation = 1;
        for (const std::string& w : Words(text.substr(16)))
            if (w != "(atend)")
                fontsNamed.insert(w), fontsNamedAt.emplace(w, line);
    } else if (StartsWith(text, "%%DocumentNeededResources:")) {
        continuation = 2;
        ResourceComment("%%DocumentNeededResources:", text.substr(26));
    } else if (StartsWith(text, "%%IncludeResource:")) {
        ResourceComment("%%IncludeResource:", text.substr(18));
    } else if (StartsWith(text, "%%IncludeFont:")) {
        for (const std::string& w : Words(text.substr(14)))
            fontsNamed.insert(w), fontsNamedAt.emplace(w, line);
    }

    // Custom colours the header names count as present: the cut line may be
    // in a colour the file defines and never paints with yet.
    if (StartsWith(text, "%%DocumentCustomColors:") || StartsWith(text, "%%CMYKCustomColor:") ||
        StartsWith(text, "%%RGBCustomColor:"))
        if (text.find("(" + std::string(kCutContourName) + ")") != std::string::npos)
            sawCutContour = true;

    for (const char* prefix : {"%%", "%AI3_", "%AI5_", "%AI6_", "%AI7_", "%AI8_"}) {
        const std::size_t n = std::strlen(prefix);
        if (text.compare(0, n, prefix) != 0)
            continue;
        if (text.compare(n, 5, "Begin") == 0)
            CommentBracket(text, prefix, true);
        else if (text.compare(n, 3, "End") == 0 && text.compare(n, 11, "EndComments") != 0)
            CommentBracket(text, prefix, false);
        break;
    }
}

void AiChecker::ResourceComment(const std::string& key, const std::string& value)
{
    const std::vector<std::string> w = Words(value);
    for (std::size_t i = 0; i + 1 < w.size(); ++i) {
        if (w[i] == "procset") {
            procsetsNamed.emplace(w[i + 1], line);
            if (w[i + 1].find("Illustrator") != std::string::npos)
                sawIllustrator = true;
        } else if (w[i] == "font") {
            fontsNamed.insert(w[i + 1]);
            fontsNamedAt.emplace(w[i + 1], line);
        }
    }
    (void)key;
}

// %%BeginX ... %%EndX and %AIn_BeginX ... %AIn_EndX, matched by X.
void AiChecker::CommentBracket(const std::string& text, const std::string& prefix, bool begin)
{
    const std::size_t from = prefix.size() + (begin ? 5 : 3);
    std::size_t end = from;
    while (end < text.size() && text[end] != ':' && !IsBlank(text[end]))
        ++end;
    std::string name = text.substr(from, end - from);
    while (!name.empty() && name.back() == '-')  // %AI5_End_NonPrinting--
        name.pop_back();
    if (name.empty())
        return;
    const std::string key = prefix + name;
    const std::string value = end < text.size() ? text.substr(end + 1) : std::string();
    if (begin) {
        comments.push_back({key, line});
        if (key == "%%Data" || key == "%%Binary") {
            dataLine = line;
            dataEnd = "%%End" + name;
        } else if (key == "%%Document")
            documentDepth = 1;
        if (key == "%%Resource" || key == "%%Font" || key == "%%ProcSet") {
            const std::vector<std::string> w = Words(value);
            const std::string kind = key == "%%Resource" && !w.empty() ? w[0]
                                     : key == "%%Font"                 ? "font"
                                                                       : "procset";
            const std::size_t at = key == "%%Resource" ? 1 : 0;
            if (w.size() > at)
                (kind == "font" ? fontsSupplied : procsetsSupplied).insert(w[at]);
        }
        if (key == "%AI5_Layer")
            inLayer = true;
        return;
    }
    if (key == "%AI5_Layer")
        inLayer = false;
    if (comments.empty() || comments.back().what != key) {
        std::string message = prefix + "End" + name + " closes nothing";
        if (!comments.empty()) {
            const Open& o = comments.back();
            message = prefix + "End" + name + " where " +
                      o.what.substr(0, o.what[1] == '%' ? 2 : 5) + "Begin" +
                      o.what.substr(o.what[1] == '%' ? 2 : 5) + " of line " +
                      std::to_string(o.line) + " is open";
        }
        out.Add(line, Severity::kError, "comment-bracket",
                message + ": readers lose the structure from here; close each section in the "
                          "order it was opened");
        // An end that matches an outer section closes what lies between.
        for (std::size_t k = comments.size(); k-- > 0;)
            if (comments[k].what == key) {
                comments.resize(k);
                break;
            }
        return;
    }
    comments.pop_back();
}

void AiChecker::Tokens(const std::string& text, std::size_t from)
{
    std::string token;
    for (std::size_t i = from; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\n';
        if (stringDepth > 0) {
            if (stringEscape) {
                stringEscape = false;
            } else if (c == '\\') {
                stringEscape = i < text.size();  // a backslash at the end joins the lines
                continue;
            } else if (c == '(') {
                ++stringDepth;
            } else if (c == ')' && --stringDepth == 0) {
                Operand s;
                s.kind = Operand::kString;
                s.text = stringText;
                Push(s);
                continue;
            }
            if (stringText.size() < kMaxKept && i < text.size())
                stringText.push_back(c);
            continue;
        }
        if (inHex) {
            if (c == '>') {
                inHex = false;
                Push(Operand{});
            }
            continue;
        }
        const bool ends = i == text.size() || IsBlank(c) || IsDelimiter(c);
        if (ends && !token.empty()) {
            Token(token);
            token.clear();
        }
        if (i == text.size())
            break;
        if (IsBlank(c))
            continue;
        switch (c) {
        case '%': return;  // a comment to the end of the line
        case '(':
            stringDepth = 1;
            stringText.clear();
            stringLine = line;
            continue;
        case '<':
            if (i + 1 < text.size() && text[i + 1] == '<')
                ++i;
            else
                inHex = true;
            continue;
        case '>':
            ++i;  // >>
            continue;
        case '{': ++procDepth; continue;
        case '}':
            if (procDepth > 0 && --procDepth == 0)
                Push(Operand{});
            continue;
        case '[':
        case ']':
            if (procDepth == 0)
                Push(Operand{});
            continue;
        case '/':
            token.push_back(c);
            if (i + 1 < text.size() && text[i + 1] == '/')
                token.push_back(text[++i]);
            continue;
        default: token.push_back(c);
        }
    }
}

void AiChecker::Token(const std::string& token)
{
    if (procDepth > 0)
        return;  // procedures run later, if ever: their words are not the drawing
    if (token[0] == '/') {
        Operand name;
        name.kind = Operand::kName;
        name.text = token.substr(0, kMaxKept);
        Push(name);
        return;
    }
    if (IsNotANumberWord(token)) {
        out.Add(line, Severity::kError, "number",
                "'" + token.substr(0, 40) +
                    "' where a number belongs: no reader reads it (the writer printed a value "
                    "that is not a number); write a finite number");
        Push(Operand{});
        return;
    }
    if (LooksNumeric(token)) {
        if (!IsPostScriptNumber(token)) {
            out.Add(line, Severity::kError, "number",
                    "malformed number '" + token.substr(0, 40) +
                        "': readers take it for an unknown operator; write it as digits with "
                        "one point");
            Push(Operand{});
            return;
        }
        Operand number;
        number.kind = Operand::kNumber;
        errno = 0;
        number.value =
            token.find('#') == std::string::npos ? std::strtod(token.c_str(), nullptr) : 0;
        if (!(std::fabs(number.value) <= FLT_MAX))
            out.Add(line, Severity::kError, "number",
                    "the number " + token.substr(0, 40) +
                        " is beyond the largest a PostScript reader holds (about 3.4e38)");
        Push(number);
        return;
    }
    Operator(token);
}

void AiChecker::Push(Operand operand)
{
    if (operands.size() == kMaxOperands)
        operands.erase(operands.begin());
    operands.push_back(std::move(operand));
}

const Operand* AiChecker::FromTop(std::size_t k) const
{
    return k < operands.size() ? &operands[operands.size() - 1 - k] : nullptr;
}

void AiChecker::OpenBracket(const std::string& what) { operators.push_back({what, line}); }

void AiChecker::CloseBracket(const std::string& closing, const std::string& opening)
{
    if (!operators.empty() && operators.back().what == opening) {
        operators.pop_back();
        return;
    }
    std::string message = closing + " without its " + opening;
    if (!operators.empty())
        message = closing + " where " + operators.back().what + " of line " +
                  std::to_string(operators.back().line) + " is open";
    out.Add(line, Severity::kError, "bracket",
            message + ": readers nest the objects wrongly from here; close each bracket in the "
                      "order it was opened");
    for (std::size_t k = operators.size(); k-- > 0;)
        if (operators[k].what == opening) {
            operators.resize(k);
            break;
        }
}

void AiChecker::Operator(const std::string& op)
{
    static const std::map<std::string, std::string> kCloses = {
        {"U", "u"}, {"*U", "*u"}, {"Q", "q"}, {"LB", "Lb"}, {"TO", "To"}, {"BD", "Bd"}};
    if (op == "u" || op == "*u" || op == "q" || op == "Lb" || op == "To" || op == "Bd") {
        OpenBracket(op);
        if (op == "To") {
            inText = true;
            Drawn();
        }
        if (op == "To" && rules.noText)
            out.Add(line, Severity::kError, "text",
                    std::string("a text object (live text), which the ") + ProfileName(profile) +
                        " profile forbids: convert the text to outlines");
    } else if (const auto closes = kCloses.find(op); closes != kCloses.end()) {
        CloseBracket(op, closes->second);
        if (op == "TO")
            inText = false;
    } else if (op == "Ln") {
        const Operand* name = FromTop(0);
        layerName = name != nullptr && name->kind == Operand::kString ? name->text : "";
        layerLine = line;
        layerDrawn = false;
    } else if (op == "w") {
        const Operand* width = FromTop(0);
        if (width != nullptr && width->kind == Operand::kNumber && std::isfinite(width->value))
            strokeWidth = width->value;
    } else if (op == "S" || op == "s" || op == "B" || op == "b") {
        Paint(true, op == "B" || op == "b", op == "S" || op == "B");
    } else if (op == "F" || op == "f") {
        Paint(false, true, op == "F");
    } else if (op == "XI" || op == "XF") {
        Drawn();
        if (rules.noRasters)
            out.Add(line, Severity::kError, "raster",
                    std::string(op == "XI" ? "an embedded" : "a linked") +
                        " raster image, which the " + ProfileName(profile) +
                        " profile forbids: trace it into paths or leave it out");
        if (op == "XI" && !Within("%AI5_Raster"))
            out.Add(line, Severity::kError, "raster",
                    "XI outside a %AI5_BeginRaster block: readers cannot place the image");
    } else if (op == "x" || op == "X" || op == "Xx" || op == "XX") {
        // c m y k (name) tint x, or r g b (name) tint type Xx.
        const bool rgb = op == "Xx" || op == "XX";
        const Operand* name = FromTop(rgb ? 2 : 1);
        UseColor(name != nullptr && name->kind == Operand::kString ? name->text : "",
                 op == "X" || op == "XX", rgb);
    } else if (op == "Xa" || op == "XA") {
        UseColor("", op == "XA", true);
    } else if (op == "k" || op == "K" || op == "g" || op == "G") {
        UseColor("", op == "K" || op == "G", false);
    } else if (op == "Tf") {
        const Operand* font = FromTop(3);
        if (font != nullptr && font->kind == Operand::kName && StartsWith(font->text, "/_"))
            fontsUsed.emplace(font->text.substr(2), line);
    }
    operands.clear();
}

void AiChecker::UseColor(const std::string& name, bool stroke, bool rgb)
{
    (stroke ? strokeName : fillName) = name;
    if (name == kCutContourName)
        sawCutContour = true;
    // The swatches of a palette are offered, not painted: a registration
    // swatch or an RGB one there marks nothing.
    if (Within("%AI5_Palette"))
        return;
    if (name != kCutContourName && rules.cutContour && Lowered(name) == Lowered(kCutContourName))
        out.Add(line, Severity::kError, "cutcontour",
                "the spot colour (" + name + ") is not spelled " + kCutContourName +
                    ": RIPs match the name exactly, case included; rename it");
    const std::string lower = Lowered(name);
    const bool mark = lower == "[registration]" || lower == "registration" || lower == "all";
    if (mark && rules.marksOwnLayer &&
        !(inLayer && StartsWith(Lowered(layerName), Lowered(kRegistrationLayerName).c_str())))
        out.Add(line, Severity::kError, "marks",
                "a registration mark (" + name + ") outside a layer named " +
                    kRegistrationLayerName +
                    ": cutters find the marks on a layer of their own; "
                    "move it there");
    if (rgb && rules.namedColors)
        out.Add(line, Severity::kError, "rgb",
                std::string("an RGB colour") + (name.empty() ? "" : " (" + name + ")") +
                    ": print shops separate CMYK values and named spot colours; give it as "
                    "CMYK or as a spot colour");
}

// The first object of a layer makes it an art layer, unless it is the
// marks' or the cut line's: empty layers are no one's concern.
void AiChecker::Drawn()
{
    if (!inLayer || layerDrawn)
        return;
    layerDrawn = true;
    const std::string lower = Lowered(layerName);
    if (StartsWith(lower, Lowered(kRegistrationLayerName).c_str()) ||
        StartsWith(lower, "cutcontour") || lower == "guides")
        return;
    if (++artLayers == 2 && rules.oneArtLayer)
        out.Add(layerLine, Severity::kError, "layers",
                "a second art layer (" + layerName +
                    "): cutters take one art layer, besides the registration marks' and the "
                    "cut line's; merge the art into one layer");
}

void AiChecker::Paint(bool stroke, bool fill, bool open)
{
    (void)fill;
    if (inText)
        return;  // text paints with its own render mode
    Drawn();
    if (stroke && rules.noStrokes)
        out.Add(line, Severity::kError, "stroke",
                std::string("a stroked path, which the ") + ProfileName(profile) +
                    " profile forbids: expand the stroke to a filled outline");
    const bool cutLine = profile != Profile::kCut || strokeName == kCutContourName;
    if (stroke && rules.hairlineStrokes && cutLine && strokeWidth > kHairlineWidth) {
        char width[64];
        std::snprintf(width, sizeof width, "%.4g", strokeWidth);
        out.Add(line, Severity::kError, "hairline",
                std::string("a stroke ") + width +
                    " pt wide: " + (profile == Profile::kCut ? "cutters" : "lasers") +
                    " take strokes of at most " + std::to_string(kHairlineWidth).substr(0, 4) +
                    " pt as lines to follow; make it a hairline");
    }
    if (open && rules.noOpenPaths)
        out.Add(line, Severity::kError, "open",
                std::string("an open path, which the ") + ProfileName(profile) +
                    " profile forbids: close it or expand it to a filled outline");
}

void AiChecker::Finish()
{
    const std::string cut = "the file is cut short: ";
    if (dataLine != 0)
        out.Add(line, Severity::kError, "end",
                cut + "the image data of line " + std::to_string(dataLine) + " never ends");
    if (stringDepth > 0)
        out.Add(line, Severity::kError, "end",
                cut + "the string begun at line " + std::to_string(stringLine) + " never ends");
    for (const Open& o : operators)
        out.Add(line, Severity::kError, "end",
                cut + o.what + " of line " + std::to_string(o.line) + " is never closed");
    for (const Open& o : comments) {
        const std::size_t p = o.what[1] == '%' ? 2 : 5;
        out.Add(line, Severity::kError, "end",
                cut + o.what.substr(0, p) + "Begin" + o.what.substr(p) + " of line " +
                    std::to_string(o.line) + " is never closed");
    }
    if (!sawCreator)
        out.Add(0, Severity::kWarning, "header",
                "no %%Creator comment: readers cannot tell which program wrote the file");
    if (!sawBox)
        out.Add(0, Severity::kError, "header",
                "no %%BoundingBox comment: readers cannot place the art; write the art's box");
    if (!sawEndComments)
        out.Add(0, Severity::kError, "header",
                "no %%EndComments: readers take the whole file for its header");
    if (!sawTrailer)
        out.Add(0, Severity::kError, "trailer",
                "no %%Trailer: the procedure sets are never terminated (the file may be cut "
                "short)");
    if (!sawEof)
        out.Add(0, Severity::kError, "trailer", cut + "it does not end with %%EOF");
    if (!sawIllustrator)
        out.Add(0, Severity::kError, "header",
                "a PostScript file that names no Illustrator procedure set and no %AI "
                "comment: Illustrator readers do not open it");
    for (const auto& [name, at] : procsetsNamed)
        if (procsetsSupplied.count(name) == 0 && !StartsWith(name, "Adobe_"))
            out.Add(at, Severity::kError, "procset",
                    "the procedure set " + name +
                        " is named but neither carried in the file nor one that readers of "
                        "the format supply: carry it in a %%BeginResource block");
    for (const auto& [name, at] : fontsNamedAt)
        if (fontsSupplied.count(name) == 0)
            out.Add(at, Severity::kWarning, "font",
                    "the font " + name +
                        " is named but not carried: install it where the file is opened, or "
                        "write the text as outlines");
    if (!fontsNamed.empty())
        for (const auto& [name, at] : fontsUsed)
            if (fontsNamed.count(name) == 0 && fontsNamed.count("_" + name) == 0)
                out.Add(at, Severity::kWarning, "font",
                        "the font " + name +
                            " is used but not named in %%DocumentFonts: readers will not "
                            "look for it; name it there");
    if (rules.cutContour && !sawCutContour)
        out.Add(0, Severity::kError, "cutcontour",
                std::string("no spot colour named ") + kCutContourName +
                    ": cutters cut along strokes in it; stroke the cut outline with it");
}

}  // namespace

Report CheckAi(const std::string& path, Profile profile)
{
    Report report;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        report.status = Status::kUnreadable;
        report.error = "aiexport: cannot read " + path + ": " + std::strerror(errno);
        return report;
    }
    Findings findings(path);
    AiChecker checker(path, profile, findings);
    LineReader reader(f.get());
    std::string text;
    bool cut = false;
    while (reader.Next(text, cut))
        checker.Line(text, cut);
    if (reader.Failed()) {
        report.status = Status::kUnreadable;
        report.error = "aiexport: cannot read " + path + ": " + std::strerror(EIO);
        return report;
    }
    checker.Finish();
    report.findings = findings.Take();
    report.status = report.findings.empty() ? Status::kClean : Status::kFindings;
    return report;
}

}  // namespace aicheck
