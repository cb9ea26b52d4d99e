// The output writer: the room each token claims, and writes that cannot grow the buffer.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "output/OutputWriter.h"
#include "platform/Platform.h"

namespace plat = aiexport_platform;

namespace {

struct Writer {
    AImportFile body, target;
    AOutputWriter out{body, target};
    std::string Text() { return std::string(out.Data(), out.Length()); }
};

// Writes one token into an empty writer: it must stay within the room it claims.
template <class Token>
void ExpectWithinRoom(const Token& token, const std::string& what)
{
    Writer w;
    ASSERT_EQ(w.out.Write(token), 1) << what;
    EXPECT_LE(w.out.Length(), AOutputWriter::RoomFor(token)) << what;
    EXPECT_EQ(w.out.Data()[w.out.Length()], '\0') << what;
}

}  // namespace

TEST(OutputWriter, EveryTokenStaysWithinTheRoomItClaims)
{
    ExpectWithinRoom(token::Real{-1.7976931348623157e308}, "largest real");
    ExpectWithinRoom(token::Integer{INT_MIN}, "smallest integer");
    const std::string worst(255, '\x01');  // each byte escaped into "\ooo"
    for (const std::string& text : {worst, std::string(255, '('), std::string("a\\b)")}) {
        ExpectWithinRoom(token::String(text.c_str()), "string");
        ExpectWithinRoom(token::String(text.c_str(), true), "string in a string");
        ExpectWithinRoom(token::Escaped(text.c_str()), "escaped");
        ExpectWithinRoom(token::FontName(text.c_str()), "font name");
    }
    const std::string bytes(61, '\xAB');
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (int count : {1, 29, 30, 31, 61}) {
        for (int row = 0; row < 30; ++row)  // every column a row can start at
            ExpectWithinRoom(token::Hex{data, count, row, row % 2 == 1}, std::to_string(count));
    }
}

TEST(OutputWriter, WritesWholeOrNotAtAll)
{
    Writer w;
    const std::string fill(w.out.Size() - 10, '%');
    ASSERT_EQ(w.out.Write(token::Chars{fill.data(), fill.size()}), 1);
    // A sequence that may not fit grows the buffer first, or writes nothing.
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_EQ(w.out.Write(token::Real{1.5}, "l\n"), 0);
    plat::SetFault(plat::kFaultAllocate, 1);
    EXPECT_FALSE(w.out.Reserve(100));
    plat::ClearFaults();
    EXPECT_EQ(w.Text(), fill);
    ASSERT_EQ(w.out.Write(token::Real{1.5}, token::Integer{-2}, "l\n"), 1);
    EXPECT_EQ(w.Text(), fill + "1.5000 -2 l\n");
    EXPECT_EQ(w.out.Size(), 32768u);

    // Pieces of a reserved span follow one another without a check of their own.
    w.out.Clear();
    auto span = w.out.Reserve(AOutputWriter::RoomFor(token::Real{}, "w ", "\n"));
    ASSERT_TRUE(span);
    span.Write(token::Real{0.25}, "w ").Write("\n");
    EXPECT_EQ(w.Text(), "0.2500 w \n");
}
