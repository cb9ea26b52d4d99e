// The SVG front end: walks the document as a host walks its drawing and writes the records.
// Here: the document, its viewport and layers, the cascade of styles, and libxml2's parser.
#include "SvgReader.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <set>
#include <string_view>

#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// A paint that is opaque whatever it names: none, a keyword, #rgb or #rrggbb.
bool OpaquePaint(const std::string& v)
{
    if (v.size() == 4 || v.size() == 7)
        if (v[0] == '#' && std::all_of(v.begin() + 1, v.end(), IsHex))
            return true;
    return !v.empty() && std::all_of(v.begin(), v.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) != 0;
    });
}

// True unless the drawing is made only of plain shapes and groups with
// presentation attributes that cannot make anything translucent, filtered,
// masked, blended or painted by reference. Anything not known to be plain
// (style attributes and sheets, classes, other namespaces, text, references)
// counts as possibly translucent, so this only ever errs towards keeping
// the pieces.
bool MayBeTranslucent(xmlNodePtr root)
{
    static const char* const kElements[] = {"circle",  "desc",     "ellipse", "g",   "line", "path",
                                            "polygon", "polyline", "rect",    "svg", "title"};
    static const char* const kGeometry[] = {"cx",
                                            "cy",
                                            "d",
                                            "display",
                                            "fill-rule",
                                            "height",
                                            "id",
                                            "points",
                                            "preserveAspectRatio",
                                            "r",
                                            "rx",
                                            "ry",
                                            "stroke-linecap",
                                            "stroke-linejoin",
                                            "stroke-miterlimit",
                                            "stroke-width",
                                            "transform",
                                            "version",
                                            "viewBox",
                                            "visibility",
                                            "width",
                                            "x",
                                            "x1",
                                            "x2",
                                            "y",
                                            "y1",
                                            "y2"};
    static const char* const kPaints[] = {"color", "fill", "stroke"};
    auto among = [](const auto& names, std::string_view name) {
        return std::any_of(std::begin(names), std::end(names),
                           [&](const char* n) { return name == n; });
    };
    // Depth first without recursion: nesting is bounded only by the parser.
    for (xmlNodePtr n = root; n != nullptr;) {
        if (n->type == XML_ENTITY_REF_NODE)
            return true;  // content not looked into
        if (n->type == XML_ELEMENT_NODE) {
            if (n->ns != nullptr && StrView(n->ns->href) != kSvgNs)
                return true;
            if (!among(kElements, StrView(n->name)))
                return true;
            for (xmlAttrPtr a = n->properties; a != nullptr; a = a->next) {
                if (a->ns != nullptr)
                    return true;
                const std::string_view name = StrView(a->name);
                if (among(kPaints, name) ? !OpaquePaint(AttrValue(a)) : !among(kGeometry, name))
                    return true;
            }
            if (n->children != nullptr) {
                n = n->children;
                continue;
            }
        }
        while (n != root && n->next == nullptr)
            n = n->parent;
        if (n == root)
            break;
        n = n->next;
    }
    return false;
}

}  // namespace

Reader::Reader(const std::string& file, Result& outcome, const Options& options,
               const std::string& path, recordscript::RecordSink& sink)
    : file(file), outcome(outcome), options(options), path(path), sink(sink)
{
    if (!options.links)
        return;
    auto allow = [&](const std::string& dir) {
        if (char* real = ::realpath(dir.c_str(), nullptr)) {
            linkRoots.emplace_back(real);
            std::free(real);
        }
    };
    if (path != "-") {
        const std::size_t slash = path.rfind('/');
        linkBase = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
        allow(linkBase.empty() ? "/" : linkBase);
    }
    if (!options.linkDir.empty())
        allow(options.linkDir);
}

void Reader::Warn(const std::string& kind, xmlNodePtr at)
{
    const bool effect =
        kind == "opacity" || kind == "filters" || kind == "masks" || kind == "blend modes";
    if (effect && Flattening())
        return;  // drawn in images of their areas
    if (!effect)
        ++leftOut;
    if (effect && options.flatten && !CanFlatten() && warned.insert("flatten").second)
        outcome.warnings.push_back(
            {file, 0, Warning::Kind::kDrawnOpaque, "this aiexport was built without librsvg"});
    if (!warned.insert(kind).second)
        return;
    const long line = at != nullptr ? xmlGetLineNo(at) : 0;
    outcome.warnings.push_back({file, line > 0 ? line : 0, Warning::Kind::kLeftOut, kind});
}

void Reader::Spend(std::size_t units)
{
    work += units;
    outcome.work = work;
    if (work > kMaxWork)
        throw TooLarge{"more than " + std::to_string(kMaxWork / 1'000'000) +
                       " million steps of work (elements drawn through references, style rules)"};
    if (defs.Count() + draw.Count() > kMaxRecords)
        throw TooLarge{"more than " + std::to_string(kMaxRecords / 1'000'000) + " million records"};
    if (defs.Mark() + draw.Mark() > kMaxRecordBytes)
        throw TooLarge{"more than " + std::to_string(kMaxRecordBytes >> 20) + " MB of records"};
}

void Reader::IndexIds(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (auto id = Attr(n, "id"))
            ids.emplace(*id, n);  // the first of duplicate ids wins, as in browsers
        IndexIds(n->children);
    }
}

void Reader::CollectStyleSheets(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (LocalName(n) == "style") {
            xmlChar* content = xmlNodeGetContent(n);
            Spend(Str(content).size() / kBytesPerStep);
            if (sheet.Add(Str(content)) > 0)
                Warn("style sheet rules with selectors other than type, class and id", n);
            xmlFree(content);
            continue;
        }
        CollectStyleSheets(n->children);
    }
}

Style Reader::ComputeStyle(xmlNodePtr node, const Style& parent)
{
    std::size_t bytes = 0;  // of the values read
    Style s = parent.Inherited();
    // Presentation attributes, then style sheet rules, then the style
    // attribute: each later source overrides the earlier ones.
    for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
        if (a->ns != nullptr) {
            if (StrView(a->ns->href) == kXmlNs && StrView(a->name) == "space")
                s.preserveSpace = AttrValue(a) == "preserve";
            continue;
        }
        const std::string_view given = StrView(a->name);
        if (given == "style" || given == "class" || given == "id" || given == "transform")
            continue;
        const std::string name(given);
        // One text node, as nearly every value is, is read where it stands:
        // path data is long, and no property.
        std::string joined;
        std::string_view value;
        const xmlNode* text = a->children;
        if (text != nullptr && text->next == nullptr && text->type == XML_TEXT_NODE) {
            value = StrView(text->content);
        } else {
            joined = AttrValue(a);
            value = joined;
        }
        bytes += value.size();
        ApplyProperty(s, parent, name, value, false);
    }
    if (!sheet.Empty())
        for (const auto& [name, value] : sheet.Matching(
                 LocalName(node), Attr(node, "id").value_or(""), Attr(node, "class").value_or("")))
            ApplyProperty(s, parent, name, value, true);
    // The style attribute is parsed once, however often references draw
    // its element; each declaration applied is a step of work. Elements
    // without one, most of a large drawing, keep nothing.
    static const Declarations none;
    const Declarations* parsed = &none;
    if (const auto found = declarations.find(node); found != declarations.end()) {
        parsed = &found->second;
    } else if (const auto style = Attr(node, "style")) {
        Declarations all = ParseDeclarations(*style);
        Spend(style->size() / kBytesPerStep);
        // A declaration repeated later is overridden by its repetition.
        Declarations kept;
        std::set<std::pair<std::string, std::string>> later;
        for (auto d = all.rbegin(); d != all.rend(); ++d)
            if (later.insert(*d).second)
                kept.push_back(std::move(*d));
        std::reverse(kept.begin(), kept.end());
        parsed = &declarations.emplace(node, std::move(kept)).first->second;
    }
    Spend(1 + sheet.Size() + parsed->size() * kStepsPerDeclaration + bytes / kBytesPerStep);
    for (const auto& [name, value] : *parsed)
        ApplyProperty(s, parent, name, value, true);
    for (const std::string& kind : s.unsupported)
        Warn(kind, node);
    return s;
}

bool Reader::ElementTransform(xmlNodePtr node, Matrix& m)
{
    const auto t =
        Attr(node, LocalName(node) == "linearGradient" || LocalName(node) == "radialGradient"
                       ? "gradientTransform"
                       : "transform");
    if (!t)
        return true;
    Matrix product = m;
    if (!ParseTransformList(*t, product) || !product.IsFinite()) {
        Warn("malformed transforms (the element's transform is ignored)", node);
        return false;
    }
    m = product;
    return true;
}

double Reader::Length(xmlNodePtr node, const char* name, double percentOf, const Style& s,
                      double fallback)
{
    const auto text = Attr(node, name);
    double v = 0;
    if (!text)
        return fallback;
    if (!ParseLength(*text, percentOf, s.fontSize, v)) {
        Warn("malformed lengths", node);
        return fallback;
    }
    return v;
}

void Reader::Run(xmlDocPtr doc)
{
    xmlNodePtr root = xmlDocGetRootElement(doc);
    IndexIds(root);
    // A drawing that references multiply is refused before any of it is
    // drawn, as soon as the count is known.
    {
        std::map<xmlNodePtr, std::size_t> known;
        std::set<xmlNodePtr> open;
        if (DrawnCount(root, known, open) > kMaxDrawnElements)
            throw TooLarge{"more than " + std::to_string(kMaxDrawnElements / 1'000'000) +
                           " million elements drawn (through references)"};
    }
    CollectStyleSheets(root);
    if (!MayBeTranslucent(root)) {
        notePieces = false;
        // Were something translucent after all, it would become an image
        // rather than be drawn over pieces that were never kept.
        unknownBeneath = true;
    }
    const Style rootParent;
    const Style rootStyle = ComputeStyle(root, rootParent);

    const View view = RootView(root);
    if (!placed)
        pictureWidth = pageWidth, pictureHeight = pageHeight;
    BeginPictureData picture{};
    picture.width = AsPrinted(pictureWidth);
    picture.height = AsPrinted(pictureHeight);
    defs.BeginPicture(picture);
    std::vector<Layer> layers = CollectLayers(root, rootStyle);
    std::vector<std::string> added;
    if (options.registrationMarks)
        added.push_back(kRegistrationLayer);
    if (options.cutContour)
        added.push_back(kCutContourName);
    for (const std::string& name : added)
        for (Layer& layer : layers)
            if (layer.name == name)
                layer.name = SafeName(name + " (art)", kLayerNameLimit);  // ours keep the name
    for (const Layer& layer : layers) {
        DefLayerData defined{};
        PutChars(defined.name, kLayerNameLimit, layer.name);
        defined.visibility = layer.visible;
        defs.DefineLayer(defined);
    }
    for (const std::string& name : added) {
        DefLayerData defined{};
        PutChars(defined.name, kLayerNameLimit, name);
        defined.visibility = 1;
        defs.DefineLayer(defined);
    }
    for (const Layer& layer : layers)
        WriteLayer(layer, rootStyle, view);
    if (!effects.empty())
        FlattenEffects(doc);
    if (!added.empty())
        WriteCutLayers();

    // The definitions go before the drawing that uses them.
    bool sent = defs.SendTo(sink);
    sent = sink.BeginDrawingSection({AsPrinted(pictureWidth), AsPrinted(pictureHeight)}) && sent;
    sent = draw.SendTo(sink) && sent;
    sent = sink.EndPicture() && sent;
    outcome.sent = sent;
}

Reader::Placement Reader::PlacementOf(xmlNodePtr node, const Style& style, const View& view,
                                      double width, double height)
{
    Placement p;
    p.x = Length(node, "x", view.width, style, 0);
    p.y = Length(node, "y", view.height, style, 0);
    p.w = Length(node, "width", view.width, style, width);
    p.h = Length(node, "height", view.height, style, height);
    return p;
}

// The picture: width and height in their units, else the viewBox's size in
// user units; the viewBox maps onto that viewport.
View Reader::RootView(xmlNodePtr root)
{
    const auto box = Attr(root, "viewBox");
    std::vector<double> vb = box ? ParseNumberList(*box) : std::vector<double>();
    if (vb.size() != 4 || !(vb[2] > 0) || !(vb[3] > 0)) {
        if (box)
            Warn("malformed viewBox", root);
        vb.clear();
    }
    auto side = [&](const char* name, double fromBox) {
        const auto text = Attr(root, name);
        double v = 0;
        if (text && Trim(*text).find('%') == std::string_view::npos &&
            ParseLength(*text, 0, 16, v) && v > 0)
            return v;
        return fromBox;
    };
    double width = side("width", vb.empty() ? 0 : vb[2]);
    double height = side("height", vb.empty() ? 0 : vb[3]);
    if (!(width > 0) || !(height > 0)) {
        Warn("a picture size (none given: letter size is used)", root);
        width = 8.5 * kUserUnitsPerInch;
        height = 11 * kUserUnitsPerInch;
    }
    pageWidth = width / kUserUnitsPerInch;
    pageHeight = height / kUserUnitsPerInch;

    View view;
    // SVG's y grows downwards, the page's upwards.
    view.ctm = Matrix{1 / kUserUnitsPerInch, 0, 0, -1 / kUserUnitsPerInch, 0, pageHeight};
    view.width = width;
    view.height = height;
    if (!vb.empty()) {
        const std::string par = Attr(root, "preserveAspectRatio").value_or("xMidYMid meet");
        double sx = width / vb[2], sy = height / vb[3];
        double tx = 0, ty = 0;
        if (par.find("none") == std::string::npos) {
            const bool slice = par.find("slice") != std::string::npos;
            const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
            tx = (width - vb[2] * s) * AlignFraction(par, 'x');
            ty = (height - vb[3] * s) * AlignFraction(par, 'Y');
            sx = sy = s;
        }
        view.ctm = view.ctm * Matrix{sx, 0, 0, sy, tx - vb[0] * sx, ty - vb[1] * sy};
        view.width = vb[2];
        view.height = vb[3];
    }
    Matrix rootTransform = view.ctm;
    if (ElementTransform(root, rootTransform))
        view.ctm = rootTransform;
    if (placed)
        view.ctm = placement * view.ctm;
    return view;
}

namespace {

bool IsMarkedLayer(xmlNodePtr n)
{
    return LocalName(n) == "g" && Attr(n, "groupmode", kInkscapeNs).value_or("") == "layer";
}

}  // namespace

// Layers: top-level groups that editors mark as layers; the content between
// them goes into layers of its own, so nothing is lost.
std::vector<Layer> Reader::CollectLayers(xmlNodePtr root, const Style& rootStyle)
{
    std::vector<Layer> layers;
    bool marked = false;
    for (xmlNodePtr n = root->children; n != nullptr && !options.oneArtLayer; n = n->next)
        marked = marked || IsMarkedLayer(n);
    std::set<std::string> used;
    std::map<std::string, int> suffixes;  // the next number to try for a name
    auto unique = [&](std::string name) {
        std::string candidate = name;
        for (int& k = suffixes.emplace(name, 2).first->second; !used.insert(candidate).second; ++k)
            candidate = name.substr(0, kLayerNameLimit - 8) + " " + std::to_string(k);
        return candidate;
    };
    for (xmlNodePtr n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (marked && IsMarkedLayer(n)) {
            Layer layer;
            layer.group = n;
            std::string label = Attr(n, "label", kInkscapeNs).value_or(Attr(n, "id").value_or(""));
            if (Trim(label).empty())
                label = "Layer " + std::to_string(layers.size() + 1);
            layer.name = unique(SafeName(label, kLayerNameLimit));
            layer.visible = !ComputeStyle(n, rootStyle).displayNone;
            layers.push_back(layer);
        } else {
            if (layers.empty() || layers.back().group != nullptr) {
                Layer layer;
                layer.name = unique(marked ? "Unlayered" : "Layer 1");
                layers.push_back(layer);
            }
            layers.back().loose.push_back(n);
        }
    }
    return layers;
}

void Reader::WriteLayer(const Layer& layer, const Style& rootStyle, const View& view)
{
    draw.BeginLayer(layer.name.c_str());
    if (layer.group != nullptr) {
        // A hidden layer keeps its content, marked invisible.
        Style style = ComputeStyle(layer.group, rootStyle);
        style.displayNone = false;
        treeNode = layer.group;
        // The renderer draws nothing of a hidden layer: its effects stay opaque.
        inVisibleLayer = layer.visible;
        if (Flattened(layer.group, "g", rootStyle, style, view)) {
            draw.EndLayer();
            return;
        }
        // The layer is the bracket: its content needs no group of its own
        // unless it is clipped.
        View inner = view;
        ElementTransform(layer.group, inner.ctm);
        if (!style.clipPath.empty())
            Group(layer.group, style, inner);
        else
            WalkChildren(layer.group, style, inner);
    } else {
        for (xmlNodePtr n : layer.loose)
            Walk(n, rootStyle, view);
    }
    draw.EndLayer();
    inVisibleLayer = true;
}

namespace {

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
struct ContextFree {
    void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
};

void Quiet(void*, const char*, ...) {}

struct FirstError {
    bool seen = false;
    xmlError error{};
    std::string message;
};

void KeepFirstError(void* data, xmlErrorPtr error)
{
    auto* first = static_cast<FirstError*>(data);
    if (first->seen || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    first->seen = true;
    first->error = *error;
    first->message = error->message != nullptr ? error->message : "";
    first->error.message = first->message.data();  // the parser frees its own copy
    first->error.file = nullptr;
    first->error.str1 = first->error.str2 = first->error.str3 = nullptr;
    first->error.ctxt = first->error.node = nullptr;
}

// External entities and DTDs are never loaded, whatever asks for them.
xmlParserInputPtr LoadNothing(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

bool IsGzip(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

std::string TooLargeDocument()
{
    return "too large to convert: more than " + std::to_string(kMaxDocumentBytes >> 20) +
           " MB of SVG";
}

// A file being read, at most kMaxDocumentBytes of it.
class DocumentFile {
public:
    DocumentFile() = default;
    DocumentFile(const DocumentFile&) = delete;
    DocumentFile& operator=(const DocumentFile&) = delete;
    ~DocumentFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // "" or the reason it cannot be read.
    std::string Open(const std::string& path)
    {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return std::strerror(errno);
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
            return std::strerror(EISDIR);
        return {};
    }
    // Up to `room` bytes, fewer only at the end; -1 once it failed (`why`).
    long Read(char* out, std::size_t room)
    {
        if (!why.empty())
            return -1;
        std::size_t n = 0;
        while (n < room && !atEnd) {
            const ssize_t got = ::read(fd, out + n, room - n);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                why = std::strerror(errno);
                return -1;
            }
            atEnd = got == 0;
            n += static_cast<std::size_t>(got);
            total += static_cast<std::size_t>(got);
            if (total > kMaxDocumentBytes) {
                why = TooLargeDocument();
                return -1;
            }
        }
        return static_cast<long>(n);
    }
    // The rest read to its end, to learn whether all of it could be.
    void Drain()
    {
        char buffer[65536];
        while (Read(buffer, sizeof buffer) > 0) {
        }
    }
    std::string why;

private:
    int fd = -1;
    std::size_t total = 0;
    bool atEnd = false;
};

// A .svgz inflated, at most kMaxDocumentBytes; "" or what is wrong with it.
std::string Inflate(std::string_view packed, std::string& out)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 32) != Z_OK)  // gzip or zlib headers
        return "cannot be inflated";
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(packed.size(), UINT_MAX));
    std::string why;
    char buffer[65536];
    for (int status = Z_OK; status != Z_STREAM_END;) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
        if (out.size() > kMaxDocumentBytes) {
            why = TooLargeDocument();
            break;
        }
        if (status == Z_STREAM_END)
            break;
        if (status == Z_BUF_ERROR || (status == Z_OK && z.avail_in == 0 && z.avail_out != 0)) {
            why = "the compressed data is cut short";
            break;
        }
        if (status != Z_OK) {
            why = "the compressed data is damaged";
            break;
        }
    }
    inflateEnd(&z);
    return why;
}

// libxml2's process-wide handlers, set for one parse and put back as found.
class QuietParser {
public:
    explicit QuietParser(void* first)
        : generic(xmlGenericError), genericContext(xmlGenericErrorContext),
          structured(xmlStructuredError), structuredContext(xmlStructuredErrorContext),
          loader(xmlGetExternalEntityLoader())
    {
        xmlSetGenericErrorFunc(nullptr, Quiet);
        xmlSetStructuredErrorFunc(first, KeepFirstError);
        xmlSetExternalEntityLoader(LoadNothing);
    }
    ~QuietParser()
    {
        xmlSetExternalEntityLoader(loader);
        xmlSetStructuredErrorFunc(structuredContext, structured);
        xmlSetGenericErrorFunc(genericContext, generic);
    }
    QuietParser(const QuietParser&) = delete;
    QuietParser& operator=(const QuietParser&) = delete;

private:
    xmlGenericErrorFunc generic;
    void* genericContext;
    xmlStructuredErrorFunc structured;
    void* structuredContext;
    xmlExternalEntityLoader loader;
};

}  // namespace

std::string Warning::Text() const
{
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    text += kind == Kind::kDrawnOpaque ? ": warning: transparency and effects drawn opaque: "
            : kind == Kind::kText      ? ": warning: "
                                       : ": warning: left out: ";
    return text + message;
}

Result Convert(const Source& source, recordscript::RecordSink& sink, const Options& options)
{
    Result result;
    ReadSvg(source.isFile ? source.path : "-", source.bytes, sink, result, options);
    return result;
}

void ReadSvg(const std::string& path, std::string_view bytes, recordscript::RecordSink& sink,
             Result& outcome, const Options& options)
{
    outcome.converted = false;
    const std::string shown = path == "-" ? "<stdin>" : path;
    if (!options.linkDir.empty()) {
        struct stat info {};
        const int why = ::stat(options.linkDir.c_str(), &info) != 0 ? errno
                        : !S_ISDIR(info.st_mode)                    ? ENOTDIR
                                                                    : 0;
        if (why != 0) {
            outcome.error =
                "aiexport: cannot link files from " + options.linkDir + ": " + std::strerror(why);
            return;
        }
    }
    // A plain file goes to the parser as it is read, so that it is never
    // held whole beside its tree; a packed one is read whole to be inflated.
    DocumentFile input;
    std::string read;  // its first bytes, or all of a packed one
    const auto unreadable = [&] {
        outcome.error = input.why.rfind("too large", 0) == 0
                            ? shown + ": " + input.why
                            : "aiexport: cannot read " + path + ": " + input.why;
    };
    bool streamed = false;
    if (path != "-") {
        input.why = input.Open(path);
        if (input.why.empty()) {
            read.resize(65536);
            long got = input.Read(read.data(), read.size());
            read.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            streamed = !IsGzip(read);
            if (!streamed)
                for (char buffer[65536]; (got = input.Read(buffer, sizeof buffer)) > 0;)
                    read.append(buffer, static_cast<std::size_t>(got));
        }
        if (!input.why.empty()) {
            unreadable();
            return;
        }
    }
    const std::string_view given = path == "-" ? bytes : std::string_view(read);
    std::string inflated;
    if (IsGzip(given)) {
        const std::string why = Inflate(given, inflated);
        if (!why.empty()) {
            outcome.error = shown + ": " + why;
            return;
        }
    } else if (given.size() > kMaxDocumentBytes) {
        outcome.error = shown + ": " + TooLargeDocument();
        return;
    }
    const std::string_view text = IsGzip(given) ? std::string_view(inflated) : given;
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        outcome.error = shown + ": " + TooLargeDocument();
        return;
    }
    std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (!context) {
        outcome.error = shown + ": out of memory";
        return;
    }
    // The first error names the cause; later ones are its consequences.
    FirstError first;
    std::unique_ptr<xmlDoc, DocFree> doc;
    {
        // Internal entities are substituted while parsing, under the parser's
        // own limits on their amplification; external ones and DTDs are never
        // loaded. No network, no messages of the parser's own: the error is
        // reported once, below.
        const QuietParser quiet(&first);
        // Short text (most attribute values) is kept inside its node: the
        // tree is read, never changed (the renderer gets copies).
        const int parseOptions = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                 XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
        // Handed over piecemeal, the bytes are not copied whole by the
        // parser as well: the largest drawings need the room for their tree.
        struct Feed {
            std::string_view rest;
            DocumentFile* more;
        } feed{text, streamed ? &input : nullptr};
        const auto piece = [](void* context, char* out, int room) {
            auto* f = static_cast<Feed*>(context);
            const std::size_t n = std::min(static_cast<std::size_t>(room), f->rest.size());
            std::memcpy(out, f->rest.data(), n);
            f->rest.remove_prefix(n);
            if (f->more == nullptr || n == static_cast<std::size_t>(room))
                return static_cast<int>(n);
            const long got = f->more->Read(out + n, static_cast<std::size_t>(room) - n);
            return got < 0 ? -1 : static_cast<int>(n + static_cast<std::size_t>(got));
        };
        doc.reset(
            xmlCtxtReadIO(context.get(), piece, nullptr, &feed, nullptr, nullptr, parseOptions));
    }
    // A file that cannot be read to its end, or is too large, says so
    // whether or not the parser stopped before.
    if (streamed) {
        input.Drain();
        if (!input.why.empty()) {
            unreadable();
            return;
        }
    }
    const xmlError* error = first.seen ? &first.error : xmlCtxtGetLastError(context.get());
    if (!doc || (error != nullptr && error->level >= XML_ERR_ERROR)) {
        std::string message =
            error != nullptr && error->message != nullptr ? error->message : "cannot be read";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        outcome.error = shown;
        if (error != nullptr && error->line > 0)
            outcome.error += ":" + std::to_string(error->line);
        outcome.error += ": " + message;
        return;
    }
    // The tree holds all of the document now.
    context.reset();
    std::string().swap(read);
    std::string().swap(inflated);
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || LocalName(root) != "svg") {
        outcome.error = shown;
        if (root != nullptr && xmlGetLineNo(root) > 0)
            outcome.error += ":" + std::to_string(xmlGetLineNo(root));
        outcome.error += ": not an SVG document (its root element is <" +
                         (root != nullptr ? Str(root->name) : std::string()) + ">, not <svg>)";
        return;
    }
    // A page other than the drawing's own is known once the art is: it is
    // drawn once to measure it, then placed.
    const auto convert = [&](const Options& given, Result& result) {
        Reader reader(shown, result, given, path, sink);
        if (given.page.kind != Options::Page::Kind::kAsDrawn) {
            RecordBuffer measured;
            Result unused;
            Reader measuring(shown, unused, given, path, measured);
            measuring.Run(doc.get());
            const Box art = ArtBox(measured);
            double width = 0, height = 0;
            const Matrix placement = PagePlacement(given.page, measuring.PageWidth(),
                                                   measuring.PageHeight(), art, width, height);
            reader.Place(placement, width, height);
        }
        reader.Run(doc.get());
    };
    try {
        try {
            convert(options, outcome);
        } catch (const FlattenFailed& failed) {
            Result opaque;
            Options without = options;
            without.flatten = false;
            opaque.warnings.push_back({shown, 0, Warning::Kind::kDrawnOpaque, failed.reason});
            convert(without, opaque);
            outcome = std::move(opaque);
        }
    } catch (const std::bad_alloc&) {
        outcome.error = shown + ": out of memory while reading the drawing";
        return;
    } catch (const TooLarge& refused) {
        outcome.error = shown + ": too large to convert: " + refused.what;
        return;
    }
    outcome.converted = true;
}

}  // namespace svgreader
