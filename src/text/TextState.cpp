// Defaults of the text attributes, applied at each picture and drawing section.
#include <cstring>

#include "filter/AAIExportFilter.h"

void AAIExportFilter::ResetTextState()
{
    TextState& t = textState;
    std::memset(t.faceName, 0, sizeof t.faceName);
    std::memcpy(t.faceName, "Arial", 6);
    t.faceNameLength = 5;
    std::memset(t.styleName, 0, sizeof t.styleName);
    std::memcpy(t.styleName, "Regular", 8);
    t.styleNameLength = 7;
    t.attributeWordA = 0;
    t.attributeWordB = 0;
    t.kernClass = 1;
    t.fontSize = 12.0;
    t.sizeIsEm = 0;
    t.horizontalScale = 1.0;
    t.attributeValueC = 0.0;
    t.wordSpacing = 0.0;
    t.charSpacing = 0.0;
    t.attributeValueD = 1.0;
    t.tracking = 0.0;
    t.alignment = 0;
    t.paragraphWordB = 0;
    t.paragraphWordC = 0;
    t.paragraphWordD = 0;
    t.leading = 24.0;
    t.paragraphLeading = 0.0;
    t.paragraphWordE = 0;
    t.textScale[0] = 1.0;
    t.textScale[1] = 1.0;
    const double matrix[6] = {1.0 / 72, 0.0, 0.0, 1.0 / 72, 0.0, 0.0};
    std::memcpy(t.textMatrix, matrix, sizeof matrix);
    t.pendingLength = 0;
    if (t.pendingString.Data() != nullptr)
        t.pendingString[0] = '\0';
}
