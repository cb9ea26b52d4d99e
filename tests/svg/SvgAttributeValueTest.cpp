// Attribute values as the converter reads them: plain text, and text with
// entity references, which libxml2 may keep as nodes of their own.
#include <gtest/gtest.h>

#ifdef AIEXPORT_HAVE_SVG
#include <string>

#include "ScriptPrinter.h"
#include "SvgConverter.h"

namespace {

std::string Records(const std::string& svg)
{
    recordscript::ScriptPrinter printer;
    const svgreader::Result result = svgreader::Convert(svgreader::Source::Bytes(svg), printer);
    EXPECT_TRUE(result.converted) << result.error;
    return printer.text;
}

}  // namespace

TEST(SvgAttributeValue, EntitiesInValuesReadAsTheTextTheyStandFor)
{
    const std::string head = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>";
    const std::string plain = Records(
        head +
        "<rect width='4' height='4' fill='#ff0000' stroke='blue' stroke-width='2.5'/></svg>");
    const std::string withEntities = Records(
        "<!DOCTYPE svg [<!ENTITY red '#ff0000'><!ENTITY half '.5'>]>" + head +
        "<rect width='4' height='4' fill='&red;' stroke='blue' stroke-width='2&half;'/></svg>");
    const std::string withReferences =
        Records(head + "<rect width='4' height='4' fill='&#x23;ff0000' stroke='blue' "
                       "stroke-width='2&#46;5'/></svg>");
    EXPECT_NE(plain.find("SetFillColorByValue 0 255 0 0"), std::string::npos) << plain;
    EXPECT_NE(plain.find("SetStroke "), std::string::npos) << plain;
    EXPECT_EQ(withEntities, plain);
    EXPECT_EQ(withReferences, plain);
}
#endif
