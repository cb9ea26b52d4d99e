// Opaque shapes are kept as the backdrop of what comes later only when the
// drawing may hold something translucent: every way of making an object
// translucent must still find them there, drawn over in the mixture rather
// than left to an image.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "support/ExportSession.h"

#ifdef AIEXPORT_HAVE_SVG
#include "RecordSink.h"
#include "SvgConverter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

namespace {

struct Sent {
    int bitmaps = 0, clips = 0;
    bool purple = false;  // half red over blue
};

Sent Convert(const std::string& prologue, const std::string& body)
{
    TempDir dir;
    WriteFile(dir.File("d.svg"), prologue +
                                     "<svg xmlns='http://www.w3.org/2000/svg' "
                                     "xmlns:xlink='http://www.w3.org/1999/xlink' width='192' "
                                     "height='96'><rect width='96' height='96' fill='#0000ff'/>" +
                                     body + "</svg>");
    recordscript::RecordList list;
    const svgreader::Result r =
        svgreader::Convert(svgreader::Source::File(dir.File("d.svg")), list, svgreader::Options());
    EXPECT_TRUE(r.converted) << r.error;
    Sent s;
    for (const recordscript::Record& record : list.records) {
        if (record.opcode == aiop::kBeginBitmap)
            ++s.bitmaps;
        else if (record.opcode == aiop::kBeginClipRgn)
            ++s.clips;
        else if (record.opcode == aiop::kSetFillColorByValue) {
            SetColorByValueData c{};
            std::memcpy(&c, record.payload.data(), sizeof c);
            s.purple = s.purple || (c.red == 128 && c.green == 0 && c.blue == 128);
        }
    }
    return s;
}

}  // namespace

TEST(SvgBackdrop, EveryKindOfTranslucencyIsDrawnOverTheShapesBeneath)
{
    if (!svgreader::CanFlatten())
        GTEST_SKIP() << "built without librsvg";
    struct Case {
        const char* what;
        const char* prologue;
        const char* body;
        bool mixes;  // the object is red at half strength over the blue square
    };
    const Case cases[] = {
        {"opacity attribute", "", "<circle cx='96' cy='48' r='24' fill='red' opacity='0.5'/>",
         true},
        {"fill-opacity", "", "<circle cx='96' cy='48' r='24' fill='red' fill-opacity='.5'/>", true},
        {"style attribute", "", "<circle cx='96' cy='48' r='24' style='fill:red;opacity:.5'/>",
         true},
        {"class and sheet", "",
         "<style>.t{opacity:.5}</style><circle cx='96' cy='48' r='24' fill='red' class='t'/>",
         true},
        {"type selector", "",
         "<style>circle{opacity:.5}</style><circle cx='96' cy='48' r='24' fill='red'/>", true},
        {"group opacity", "", "<g opacity='0.5'><circle cx='96' cy='48' r='24' fill='red'/></g>",
         true},
        {"through use", "",
         "<defs><circle id='c' cx='96' cy='48' r='24' fill='red' opacity='.5'/></defs>"
         "<use xlink:href='#c'/>",
         true},
        {"entity",
         "<!DOCTYPE svg [<!ENTITY c \"<circle cx='96' cy='48' r='24' fill='red' "
         "opacity='.5'/>\">]>",
         "&c;", true},
        {"blend mode", "",
         "<circle cx='96' cy='48' r='24' fill='red' style='mix-blend-mode:multiply'/>", false},
        {"translucent gradient", "",
         "<linearGradient id='g'><stop offset='0' stop-color='red' stop-opacity='.5'/>"
         "<stop offset='1' stop-color='red' stop-opacity='.5'/></linearGradient>"
         "<circle cx='96' cy='48' r='24' fill='url(#g)'/>",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Sent s = Convert(c.prologue, c.body);
        EXPECT_EQ(s.bitmaps, 0);
        EXPECT_GE(s.clips, 1);  // drawn again clipped to the square
        if (c.mixes) {
            EXPECT_TRUE(s.purple);
        }
    }
}
#endif
