// The raw path of a placed file stays inside its comment line.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/Opcodes.h"
#include "support/ExportSession.h"

TEST(PlacedComment, LineBreaksInThePathCannotEscapeTheComment)
{
    ExportSession s;
    PathPostscriptData placed{};
    std::strcpy(placed.filePath, "/art/a\nshowpage\r(b).eps");
    placed.placeScale = 1.0;
    ASSERT_EQ(s.Record(aiop::kPathPostscript, &placed), 1);
    const std::string drawing = s.Drawing();
    EXPECT_NE(drawing.find("(/art/a\\rshowpage\\r\\(b\\).eps) `\n%%/art/a showpage (b).eps\n~\n"),
              std::string::npos)
        << drawing;
}
