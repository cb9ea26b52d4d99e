// Clipping: a clip path's members as one clipping region around the content.
#include "SvgDocument.h"
#include "SvgXml.h"

namespace svgreader {

void Reader::ClipMember(xmlNodePtr node, const Matrix& m, const View& view, const Style& parent,
                        std::vector<Path>& paths, std::vector<std::pair<xmlNodePtr, Matrix>>& texts,
                        int level)
{
    const std::string name = LocalName(node);
    if (name.empty() || level > kMaxReferenceDepth)
        return;
    const Style style = ComputeStyle(node, parent);
    if (style.displayNone || !style.visible)
        return;
    Matrix own = m;
    ElementTransform(node, own);
    if (!style.clipPath.empty())
        Warn("clip paths on clip path members", node);
    if (name == "use") {
        const auto it = ids.find(FragmentOf(Href(node).value_or("")));
        if (it != ids.end())
            ClipMember(it->second,
                       own * Matrix::Translate(Length(node, "x", view.width, style, 0),
                                               Length(node, "y", view.height, style, 0)),
                       view, style, paths, texts, level + 1);
        return;
    }
    if (name == "text") {
        texts.emplace_back(node, own);
        return;
    }
    View inner = view;
    inner.ctm = own;
    Path path;
    if (ShapePath(node, name, style, inner, path)) {
        path.Transform(own);
        if (path.IsFinite() && !path.Empty())
            paths.push_back(std::move(path));
    } else {
        Warn("<" + name + "> elements in clip paths", node);
    }
}

bool Reader::OpenClip(const Style& style, const View& view, const Box& userBox, xmlNodePtr at)
{
    const auto it = ids.find(style.clipPath);
    if (it == ids.end() || LocalName(it->second) != "clipPath") {
        Warn("clip paths that refer to missing elements", at);
        return false;
    }
    xmlNodePtr clip = it->second;
    Matrix m = view.ctm;
    if (Attr(clip, "clipPathUnits").value_or("") == "objectBoundingBox") {
        if (!userBox.valid) {
            Warn("clip paths in bounding-box units on groups", at);
            return false;
        }
        m = m * Matrix{userBox.Width(), 0, 0, userBox.Height(), userBox.minX, userBox.minY};
    }
    ElementTransform(clip, m);
    const Style clipStyle = ComputeStyle(clip, Style());
    std::vector<Path> paths;
    std::vector<std::pair<xmlNodePtr, Matrix>> texts;
    for (xmlNodePtr n = clip->children; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            ClipMember(n, m, view, clipStyle, paths, texts, 0);

    draw.BeginMask();
    draw.BeginClipRgn();
    std::size_t members = 0;
    for (const Path& p : paths)
        for (const Subpath& s : p.subpaths)
            members += s.segments.empty() ? 0 : 1;
    // Several members clip by their union: one compound path of the
    // non-zero rule, not a sequence of clips that would intersect.
    Path all;
    for (const Path& p : paths)
        all.subpaths.insert(all.subpaths.end(), p.subpaths.begin(), p.subpaths.end());
    if (members > 1)
        draw.BeginComposite();
    WritePath(all, members > 1);
    if (members > 1) {
        draw.EndComposite();
        evenOddInForce = false;
    }
    // Text members: as text, or their outlines as one more member.
    Path outlines;
    clipOutlines = &outlines;
    for (const auto& [node, matrix] : texts) {
        View textView = view;
        textView.ctm = matrix;
        Text(node, ComputeStyle(node, clipStyle), textView);
    }
    clipOutlines = nullptr;
    if (!outlines.Empty()) {
        draw.BeginComposite();
        WritePath(outlines, true);
        draw.EndComposite();
        evenOddInForce = false;
    }
    if (members == 0 && texts.empty()) {
        // An empty clip path hides everything: an empty region does that.
        draw.BeginPath();
        const Point p = view.ctm.Apply({0, 0});
        draw.MoveTo({AsPrinted(p.x), AsPrinted(p.y)});
        draw.ClosePath();
        draw.EndPath();
    }
    draw.EndClipRgn();
    all.subpaths.insert(all.subpaths.end(), outlines.subpaths.begin(), outlines.subpaths.end());
    PushClip(all, false, texts.empty() || !outlines.Empty());
    clipOwners.emplace_back(clipChain.size() - 1, at);
    return true;
}

void Reader::CloseClip()
{
    draw.EndMask();
    clipChain.pop_back();
    const bool owned = !clipOwners.empty() && clipOwners.back().first == clipChain.size();
    const xmlNodePtr owner = owned ? clipOwners.back().second : nullptr;
    if (owned)
        clipOwners.pop_back();
    for (auto e = effects.rbegin(); e != effects.rend() && e->clips > clipChain.size(); ++e) {
        e->clips = clipChain.size();
        if (owned && capture == nullptr) {
            e->offset = draw.Mark();
            if (depth == 0)
                e->anchor = owner;
        }
    }
}

}  // namespace svgreader
