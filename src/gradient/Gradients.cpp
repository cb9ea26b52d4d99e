// Gradient definitions: the table, its records and the resources written at the end.
#include <algorithm>
#include <cstring>
#include <string>

#include "filter/AAIExportFilter.h"
#include "filter/DefinitionNames.h"

namespace {

static_assert(kMaxDefinitionName + 1 + 4 <= kMaxWrittenGradientName &&
              kDefinitionSlots < 10000);  // so a free number always fits
// Above this much buffered text the stop lines go to the target early, so a
// gradient with thousands of stops does not grow the buffer for good.
constexpr unsigned kStopFlushMark = kInitialBufferSize / 2;

// The length of the name without its numeric tail: when the last underscore
// is followed by nothing but digits and then blanks, the name ends before it.
std::size_t LengthWithoutTail(const char* name)
{
    const char* underscore = std::strrchr(name, '_');
    if (underscore == nullptr)
        return std::strlen(name);
    const char* p = underscore + 1;
    while (*p >= '0' && *p <= '9')
        ++p;
    while (*p == ' ')
        ++p;
    return *p == '\0' ? static_cast<std::size_t>(underscore - name) : std::strlen(name);
}

// The number a written name ends in after its name's blank, or 0.
int WrittenNumber(const std::string& written, std::size_t& baseLength)
{
    const std::size_t blank = written.rfind(' ');
    if (blank == std::string::npos || blank + 1 == written.size() || blank + 6 < written.size())
        return 0;
    int n = 0;
    for (std::size_t i = blank + 1; i < written.size(); ++i) {
        if (written[i] < '0' || written[i] > '9')
            return 0;
        n = 10 * n + (written[i] - '0');
    }
    baseLength = blank;
    return n;
}

// A slot given to another gradient frees its written name. Should that name
// be a name and a number, the number is free again for that name.
void ForgetWrittenName(GradientNames& names, const char* written)
{
    const std::string key(written);
    names.written.erase(key);
    std::size_t baseLength = 0;
    const int n = WrittenNumber(key, baseLength);
    const auto hint = names.nextNumber.find(key.substr(0, baseLength));
    if (n > 0 && hint != names.nextNumber.end() && n < hint->second)
        hint->second = n;
}

// Readers know a gradient only by its written name, so two gradients written
// alike would share one set of colours. Earlier gradients keep theirs: fills
// that use them may already be written. Every number below a name's hint is
// taken, so the first free one is found without trying them again.
void ChooseWrittenName(GradientSlot& slot, int self, GradientNames& names,
                       unsigned long long& steps)
{
    const std::string name(slot.name);
    const auto isFree = [&](const std::string& written) {
        ++steps;
        return names.written.find(written) == names.written.end();
    };
    std::string written = name.substr(0, LengthWithoutTail(slot.name));
    if (!isFree(written)) {
        written = name;
        if (!isFree(written)) {
            int& n = names.nextNumber.emplace(name, 2).first->second;
            while (!isFree(name + ' ' + std::to_string(n)))
                ++n;
            written = name + ' ' + std::to_string(n);
            ++n;
        }
    }
    std::memcpy(slot.writtenName, written.c_str(), written.size() + 1);
    names.written.emplace(written, self);
}

}  // namespace

int AAIExportFilter::SetGradientDef(SetGradientDefData* data)
{
    if (data == nullptr)
        return 0;
    const std::size_t length = DefinitionNameLength(data->name);
    if (length == 0) {
        // A nameless gradient could never be filled with, and its slot would
        // stay free and end the list of definitions written at the end.
        inGradientDefinition = 0;
        return 0;
    }
    inGradientDefinition = 1;

    // Slots fill from the first; with the table full the last gradient is
    // replaced, stops, names and all.
    const int index = std::min(gradientCount, kDefinitionSlots - 1);
    GradientSlot& slot = gradientTable[index];
    if (index < gradientCount) {
        gradientNames.byName.Remove(slot.name, index);
        ForgetWrittenName(gradientNames, slot.writtenName);
    } else {
        ++gradientCount;
    }
    slot.stops.Clear();
    StoreBoundedName(slot.name, data->name, kMaxDefinitionName);
    gradientNames.byName.Add(slot.name, index);
    ChooseWrittenName(slot, index, gradientNames, searchSteps);
    slot.tag = data->tag;
    // A gradient without its geometry record is linear with both points at
    // the corner, whatever the slot held before.
    slot.type = 0;
    slot.startX = slot.startY = slot.endX = slot.endY = 0.0;
    currentGradientIndex = index;
    currentDefinitionIndex = index;
    return 1;
}

int AAIExportFilter::SetGradient2(SetGradient2Data* data)
{
    if (data == nullptr || !inGradientDefinition)
        return 0;
    GradientSlot& slot = gradientTable[currentGradientIndex];
    slot.type = data->type > 1 ? static_cast<short>(1) : data->type;
    slot.startX = data->startX;
    slot.startY = data->startY;
    slot.endX = data->endX;
    slot.endY = data->endY;
    return 1;
}

int AAIExportFilter::SetGradientRGN(SetGradientRGNData* data)
{
    if (data == nullptr || !inGradientDefinition)
        return 0;
    GradientSlot& slot = gradientTable[currentGradientIndex];
    if (slot.stops.Size() >= kMaxGradientStops)
        return 0;
    GradientStop added{};
    added.location = data->location;
    added.midpoint = data->midpoint;
    added.flags = data->flags;
    AssignGradientColor(data->stopColor, added.color);
    return slot.stops.Append(added);
}

int AAIExportFilter::EndGradient()
{
    if (!inGradientDefinition)
        return 0;
    inGradientDefinition = 0;
    return 1;
}

void AAIExportFilter::AssignGradientColor(const GradientColor& source, GradientColor& target)
{
    const SetColorByValueData& from = source.color;
    SetColorByValueData& to = target.color;
    to.model = from.model;
    target.tinted = 0;
    const double tint = source.tinted ? source.tint : 1.0;
    if (from.model == 0) {
        if (!source.tinted) {
            to.red = from.red;
            to.green = from.green;
            to.blue = from.blue;
            return;
        }
        // Components keep only their low eight bits: 200 at tint 1.5 is 44.
        const auto scaled = [tint](unsigned short value) {
            const unsigned bits = static_cast<unsigned>(TruncateToInt(value * tint));
            return static_cast<unsigned short>(bits & 0xffu);
        };
        to.red = scaled(from.red);
        to.green = scaled(from.green);
        to.blue = scaled(from.blue);
        return;
    }
    to.cyan = from.cyan * tint;
    to.magenta = from.magenta * tint;
    to.yellow = from.yellow * tint;
    to.black = from.black * tint;
}

int AAIExportFilter::IsGradientNameDefined(const char* name, int& index)
{
    ++searchSteps;
    return FindIndexedSlot(gradientNames.byName, kDefinitionSlots, name, index);
}

int AAIExportFilter::AppendGradientStop(const GradientStop& stop)
{
    if (output.Length() > kStopFlushMark && !output.WriteBufferToExportFile(1))
        return 0;

    const SetColorByValueData& color = stop.color.color;
    double c = 0.0, m = 0.0, y = 0.0, k = 0.0;
    double r = 0.0, g = 0.0, b = 0.0;
    if (color.model != 0) {
        c = color.cyan;
        m = color.magenta;
        y = color.yellow;
        k = color.black;
        unsigned short r8 = 0, g8 = 0, b8 = 0;
        ConvertCMYK_RGB(c, m, y, k, r8, g8, b8);
        r = r8 * kOneOver255;
        g = g8 * kOneOver255;
        b = b8 * kOneOver255;
    } else {
        ConvertRGB_CMYK(c, m, y, k, color.red, color.green, color.blue);
        r = color.red * kOneOver255;
        g = color.green * kOneOver255;
        b = color.blue * kOneOver255;
    }
    const double values[7] = {c, m, y, k, r, g, b};
    // The midpoint is never the host's.
    return output.Write(token::Reals{values, 7}, "2 ", token::Real{50.0},
                        token::Real{stop.location}, "%_Bs\n");
}

int AAIExportFilter::GenerateLinearGradRegion(int slot)
{
    const AOwnedArray<GradientStop>& stops = gradientTable[slot].stops;
    if (stops.Size() < 2)
        return 0;
    for (std::size_t i = stops.Size(); i-- > 0;) {
        if (!AppendGradientStop(stops[i]))
            return 0;
    }
    return 1;
}

int AAIExportFilter::GenerateRadialGradRegion(int slot)
{
    for (const GradientStop& stop : gradientTable[slot].stops) {
        if (!AppendGradientStop(stop))
            return 0;
    }
    return 1;
}

int AAIExportFilter::ExportGradientDefinition()
{
    if (!output.WriteBufferToExportFile(1))
        return 0;
    for (int slot = 0; slot < kDefinitionSlots && gradientTable[slot].name[0] != '\0'; ++slot) {
        const GradientSlot& gradient = gradientTable[slot];
        // A gradient needs two stops; the document cannot be completed without it.
        if (gradient.stops.Size() < 2)
            return 0;
        const token::String name(gradient.writtenName);
        if (!output.Write("%AI5_BeginGradient: ", name, "\n", name, token::Integer{gradient.type},
                          token::Integer{static_cast<int>(gradient.stops.Size())},
                          "Bd\n[0 0 0 0 1 %_Br [\n"))
            return 0;

        const int written =
            gradient.type == 0 ? GenerateLinearGradRegion(slot) : GenerateRadialGradRegion(slot);
        if (!written)
            return 0;
        if (!output.Write("BD\n%AI5_EndGradient\n"))
            return 0;
        if (!output.WriteBufferToExportFile(1))
            return 0;
    }
    return 1;
}

void AAIExportFilter::FreeGradientStops()
{
    for (GradientSlot& slot : gradientTable)
        slot.stops.Clear();
}
