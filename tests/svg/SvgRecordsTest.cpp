// The converter's kept records: taken back, moved and sent on as written,
// across the blocks they are kept in.
#include <gtest/gtest.h>

#ifdef AIEXPORT_HAVE_SVG
#include <string>
#include <vector>

#include "ScriptPrinter.h"
#include "SvgRecords.h"

namespace {

// A path, a text and an image row: a record of each kind of payload.
void WriteSome(recordscript::RecordSink& sink, int i, std::vector<unsigned char>& pixels)
{
    sink.BeginPath();
    sink.MoveTo({i + 0.5, -i * 0.25});
    sink.EndPath();
    std::string characters = "text " + std::to_string(i);
    _TextData text{};
    text.text = characters.data();
    text.count = static_cast<std::uint32_t>(characters.size());
    sink.Text(text);
    BeginBitmapData begin{};
    begin.width = 1000;
    begin.height = 1;
    begin.bytesPerRow = 3000;
    begin.bitDepth = 8;
    begin.colorModel = 3;
    sink.BeginBitmap(begin);
    pixels.assign(3000, static_cast<unsigned char>(i));
    BitmapData rows{};
    rows.rowData = pixels.data();
    sink.Bitmap(rows);
    sink.EndBitmap();
}

std::string Printed(svgreader::RecordBuffer& buffer)
{
    recordscript::ScriptPrinter printer;
    EXPECT_TRUE(buffer.SendTo(printer));
    return printer.text;
}

}  // namespace

TEST(SvgRecords, TakenBackMovedAndAppendedAsWrittenAcrossBlocks)
{
    // Some 3 MB: the records span several blocks, and marks fall inside them.
    std::vector<unsigned char> pixels;
    recordscript::ScriptPrinter expected, before, after;
    svgreader::RecordBuffer buffer;
    std::size_t mark = 0;
    for (int i = 0; i < 1000; ++i) {
        WriteSome(buffer, i, pixels);
        WriteSome(i < 500 ? before : after, i, pixels);
        WriteSome(expected, i, pixels);
        if (i == 499)
            mark = buffer.Mark();
    }
    EXPECT_EQ(buffer.Count(), 7000u);
    EXPECT_EQ(Printed(buffer), expected.text);

    // Moved off and back, with a record between: an image put under the drawing above it.
    svgreader::RecordBuffer tail;
    buffer.MoveFrom(mark, tail);
    EXPECT_EQ(buffer.Count(), 3500u);
    EXPECT_EQ(Printed(buffer), before.text);
    EXPECT_EQ(Printed(tail), after.text);
    buffer.ClosePath();
    buffer.Append(tail);
    EXPECT_EQ(tail.Count(), 0u);
    EXPECT_EQ(Printed(buffer), before.text + "ClosePath\n" + after.text);

    // Taken back to the mark, then written on: nothing of what was dropped remains.
    buffer.Truncate(mark);
    EXPECT_EQ(Printed(buffer), before.text);
    buffer.EndPicture();
    EXPECT_EQ(buffer.Count(), 3501u);
    EXPECT_EQ(Printed(buffer), before.text + "EndPicture\n");
    buffer.Truncate(0);
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_EQ(Printed(buffer), "");

    // Payloads too long for a record's short head keep their length whole.
    const std::string name(9000, 'n');
    recordscript::ScriptPrinter longer;
    for (recordscript::RecordSink* sink : {static_cast<recordscript::RecordSink*>(&buffer),
                                           static_cast<recordscript::RecordSink*>(&longer)}) {
        sink->BeginLayer(name.c_str());
        sink->EndLayer();
    }
    EXPECT_EQ(Printed(buffer), longer.text);
}

#endif

#ifdef AIEXPORT_HAVE_SVG
#include "SvgValues.h"

// Hex colours, read on their own short way, mean what the full parser reads.
TEST(SvgRecords, HexColoursReadAsEveryOtherPaint)
{
    struct Row {
        const char* text;
        bool ok;
        int r, g, b;
    };
    for (const Row& row :
         {Row{"#AbC", true, 0xAA, 0xBB, 0xCC}, Row{"#0f8040", true, 15, 128, 64},
          Row{" #0f8040 ", false, 0, 0, 0}, Row{"rgb(15,128,64)", true, 15, 128, 64},
          Row{"#12345g", false, 0, 0, 0}, Row{"#12", false, 0, 0, 0}}) {
        for (bool css : {false, true}) {
            svgreader::Paint paint;
            paint.url = "stale";
            EXPECT_EQ(svgreader::ParsePaint(row.text, css, paint), row.ok) << row.text;
            if (!row.ok)
                continue;
            EXPECT_EQ(paint.kind, svgreader::Paint::kColor) << row.text;
            EXPECT_EQ(paint.url, "") << row.text;
            EXPECT_EQ(paint.color.r, row.r) << row.text;
            EXPECT_EQ(paint.color.g, row.g) << row.text;
            EXPECT_EQ(paint.color.b, row.b) << row.text;
        }
    }
}
#endif
