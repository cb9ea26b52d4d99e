// aiexport: replays a record script through the filter module, as a host would.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CheckCommand.h"
#include "EpsWriter.h"
#include "ModuleLoader.h"
#include "RecordScript.h"
#include "RecordSink.h"
#include "Sample.h"
#include "ScriptPrinter.h"
#include "svg/SvgDetect.h"
#ifdef AIEXPORT_HAVE_SVG
#include "svg/SvgConverter.h"
#include "svg/SvgRecords.h"
#endif
#include "host/AHostExportFilter.h"
#include "host/Opcodes.h"
#include "platform/Platform.h"

#if defined(AIEXPORT_SANITIZED) && defined(AIEXPORT_HAVE_RSVG)
// Fontconfig, through which the SVG converter's renderer finds the fonts of
// text, keeps what it allocates until the process ends: its leaks, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRecordFailed = 1;
constexpr int kExitUsage = 2;

// Far beyond any drawing; keeps a stray huge SVG file from exhausting memory.
// A record script is streamed, and its length does not matter.
constexpr std::size_t kMaxSvgBytes = 64u << 20;

const char kUsage[] =
    "Usage: aiexport [--module PATH] SCRIPT OUTPUT\n"
    "       aiexport [--module PATH] [--profile NAME] [--page SIZE] DRAWING.svg OUTPUT\n"
    "       aiexport --eps [--module PATH] [--procsets DIR] SCRIPT|DRAWING.svg|FILE.ai\n"
    "                OUTPUT.eps\n"
    "       aiexport --records DRAWING.svg\n"
    "       aiexport --check [--profile cut|laser|stock|print] DRAWING.svg|FILE.ai\n"
    "       aiexport [--module PATH]\n"
    "       aiexport --help\n"
    "\n"
    "Replays the record script SCRIPT (\"-\" reads standard input) through the\n"
    "export filter module into OUTPUT, as a host application would: it loads the\n"
    "module with dlopen, calls getFilter, exportFile(OUTPUT) and writeData once\n"
    "per record. Records that fail are reported and the replay goes on.\n"
    "\n"
    "An SVG drawing (a name ending in .svg or .svgz, or a file that begins with\n"
    "markup) is read and turned into the records that describe it; what the\n"
    "records cannot express is left out with one warning per kind. --records\n"
    "prints those records as a script instead of exporting (docs/svg.md).\n"
    "\n"
    "--eps writes an EPS file that carries the procedure sets it names, so that\n"
    "any PostScript program draws it: from a script or an SVG drawing, or from a\n"
    "file this format already holds (FILE.ai). The file is replaced only when\n"
    "it is complete.\n"
    "\n"
    "--check reports what in an SVG drawing or an Illustrator file readers,\n"
    "cutters, lasers, stock sites or print shops would refuse, one finding a\n"
    "line (FILE:LINE: warning|error: message) on standard output; with\n"
    "--profile NAME what that profile forbids is an error. It exits 0 when\n"
    "clean, 1 with findings, 2 when the file cannot be read (docs/check.md).\n"
    "\n"
    "Without SCRIPT and OUTPUT it exports the built-in sample drawing to sample.ai\n"
    "in the current directory and says where it wrote it.\n"
    "\n"
    "Options:\n"
    "  --module PATH  load this module instead of the default one, which is\n"
    "                 libaiexport.so.1 beside this program, in its build tree\n"
    "                 (../../), or in ../lib of an installed layout\n"
    "  --eps          write a self-contained EPS file (see above)\n"
    "  --procsets DIR take the procedure sets for --eps from DIR instead of\n"
    "                 $AIEXPORT_PROCSETS or share/aiexport/procsets of the build\n"
    "                 tree or the installed prefix\n"
    "  --records      print the record script an SVG drawing gives, on standard\n"
    "                 output, and export nothing\n"
    "  --flatten-dpi N  draw an SVG drawing's transparency, filters, masks and\n"
    "                 blend modes as images of N dots per inch (default 150, and\n"
    "                 at least 512 pixels along a small page's longer side)\n"
    "  --no-flatten   draw them opaque instead, as vectors\n"
    "  --flatten=MODE how transparency is flattened: balanced (the default)\n"
    "                 keeps it vector where the colours are exact and the pieces\n"
    "                 few, vector wherever exact, raster always as images;\n"
    "                 blurs, filters and soft masks are images in every mode\n"
    "  --link-dir DIR let an SVG drawing link files (images) inside DIR too; by\n"
    "                 default only those inside the drawing's own directory,\n"
    "                 and none from standard input\n"
    "  --no-links     let an SVG drawing link no files at all\n"
    "  --text-outlines  write an SVG drawing's text as filled outlines, for\n"
    "                 readers that lack its fonts\n"
    "  --profile NAME write an SVG drawing as a kind of shop takes it (README.md):\n"
    "                 cut     text as outlines, hairline strokes, the outer outline\n"
    "                         stroked in the spot colour CutContour on its own layer\n"
    "                 laser   text as outlines, hairline strokes\n"
    "                 stock   text as outlines, strokes as filled areas, the page\n"
    "                         trimmed to the art; refused (exit 1) if an image would\n"
    "                         be written\n"
    "                 print   CMYK colours, swatches as named spot colours\n"
    "  --reg-marks    with --profile cut: three registration marks on a layer of\n"
    "                 their own\n"
    "  --page SIZE    the page: drawing (trimmed to the art), A4, letter, or WxH\n"
    "                 in mm, in or pt (100x50mm); the art keeps its size and is\n"
    "                 centred on it\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "\n"
    "A record script is UTF-8 text, one record a line: the operation's name\n"
    "(BeginPicture, MoveTo, ...) or its opcode number, then the payload's fields\n"
    "in structure order; '#' begins a comment. For example:\n"
    "  BeginPicture 0 0 8.5 11\n"
    "  BeginDrawingSection 8.5 11\n"
    "  EndPicture\n"
    "The grammar, every record with its fields and the directives @file and\n"
    "@drawing are documented in docs/record-script.md.\n"
    "\n"
    "Exit status:\n"
    "  0  every record succeeded\n"
    "  1  a record failed (reported as FILE:LINE: record NAME failed), the\n"
    "     module refused the output file, or the EPS file cannot be written\n"
    "  2  bad usage, unreadable or malformed script (reported as\n"
    "     FILE:LINE:COLUMN: message, before any record is sent), an unreadable or\n"
    "     malformed SVG file (FILE:LINE: message), a file of @file\n"
    "     that cannot be written, a module that cannot be loaded, procedure\n"
    "     sets that cannot be found, or a document that --eps cannot make\n"
    "     self-contained (no bounding box, a set that is missing or whose name\n"
    "     is not a plain file name)\n"
    "\n"
    "SOURCE_DATE_EPOCH, when set, fixes the creation date written in the file.\n";

int Usage(const std::string& message)
{
    std::fprintf(stderr, "aiexport: %s\nTry 'aiexport --help' for more information.\n",
                 message.c_str());
    return kExitUsage;
}

std::string CurrentDirectory()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}

// The absolute directory of the output file, for ${OUTDIR} and @file.
std::string OutputDirectory(const std::string& output)
{
    const std::size_t slash = output.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : output.substr(0, slash);
    char resolved[PATH_MAX];
    if (::realpath(dir.c_str(), resolved) != nullptr)
        return resolved;
    return dir[0] == '/' ? dir : CurrentDirectory() + "/" + dir;
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file of @file, written as every file of ours is (platform/Platform.h).
bool WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes,
                std::string& error)
{
    aiexport_platform::ReplacingFile file;
    if (!file.Open(path, error))
        return false;
    errno = 0;
    const long written =
        aiexport_platform::WriteFile(file.Descriptor(), bytes.data(), bytes.size());
    if (written != static_cast<long>(bytes.size())) {
        error = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return file.Commit(error);
}

#ifdef AIEXPORT_HAVE_SVG
// An SVG drawing, converted as it is sent.
struct SvgInput {
    std::string path;  // "-" for standard input, held in `text`
    std::string text;
    svgreader::Options options;
    bool refuseRasters = false;  // stock: no image may be written

    svgreader::Source Source() const
    {
        return path == "-" ? svgreader::Source::Bytes(text) : svgreader::Source::File(path);
    }
};

// The conversion's warnings, or the reason it failed: true when converted.
bool Report(const svgreader::Result& result)
{
    if (!result.converted) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return false;
    }
    for (const svgreader::Warning& warning : result.warnings)
        std::fprintf(stderr, "%s\n", warning.Text().c_str());
    return true;
}
#endif

// Export profiles and the page: each profile a set of the converter's
// options, chosen for what one kind of shop accepts (README.md).
using aicheck::Profile;

struct PageChoice {
    bool given = false;
    bool art = false;              // "drawing": the art's own box
    double width = 0, height = 0;  // inches
};

// The largest page the format's readers open: 227 inches a side.
constexpr double kMaxPageInches = 227;

// A side of WxH: a plain positive decimal number.
bool ParseSide(const std::string& text, double& value)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// drawing, A4, letter or WxH with a unit of mm, in or pt; false when malformed.
bool ParsePage(const std::string& text, PageChoice& page)
{
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    page = PageChoice();
    page.given = true;
    if (lower == "drawing") {
        page.art = true;
        return true;
    }
    if (lower == "a4") {
        page.width = 210 / 25.4, page.height = 297 / 25.4;
        return true;
    }
    if (lower == "letter") {
        page.width = 8.5, page.height = 11;
        return true;
    }
    static const struct {
        const char* suffix;
        double perInch;
    } kUnits[] = {{"mm", 25.4}, {"in", 1}, {"pt", 72}};
    for (const auto& unit : kUnits) {
        const std::size_t n = std::strlen(unit.suffix);
        if (lower.size() <= n || lower.compare(lower.size() - n, n, unit.suffix) != 0)
            continue;
        const std::string numbers = lower.substr(0, lower.size() - n);
        const std::size_t x = numbers.find('x');
        double width = 0, height = 0;
        if (x == std::string::npos || !ParseSide(numbers.substr(0, x), width) ||
            !ParseSide(numbers.substr(x + 1), height))
            return false;
        page.width = width / unit.perInch, page.height = height / unit.perInch;
        return page.width >= 1.0 / 72 && page.height >= 1.0 / 72 && page.width <= kMaxPageInches &&
               page.height <= kMaxPageInches;
    }
    return false;
}

#ifdef AIEXPORT_HAVE_SVG
// The converter's options for a profile and page, over those given.
void ApplyProfile(Profile profile, const PageChoice& page, bool regMarks,
                  svgreader::Options& options)
{
    using Strokes = svgreader::Options::Strokes;
    switch (profile) {
    case Profile::kCut:
        options.textOutlines = true;
        options.strokes = Strokes::kHairlines;
        options.cutContour = true;
        options.oneArtLayer = true;
        options.registrationMarks = regMarks;
        break;
    case Profile::kLaser:
        options.textOutlines = true;
        options.strokes = Strokes::kHairlines;
        break;
    case Profile::kStock:
        options.textOutlines = true;
        options.strokes = Strokes::kOutlines;
        // Transparency as vectors wherever they are exact, whatever their number;
        // what still needs pixels refuses the export.
        options.flattenMode = svgreader::Options::FlattenMode::kVector;
        break;
    case Profile::kPrint:
        options.cmyk = true;
        options.spotColors = true;
        break;
    case Profile::kNone: break;
    }
    using Kind = svgreader::Options::Page::Kind;
    if (page.given) {
        options.page.kind = page.art ? Kind::kArt : Kind::kSize;
        options.page.width = page.width;
        options.page.height = page.height;
    } else if (profile == Profile::kStock || options.registrationMarks) {
        // Stock sites want the box trimmed to the art; marks stand outside
        // the art and must be on the page.
        options.page.kind = Kind::kArt;
    }
}

// The images among a drawing's records: its own, linked, or effects drawn
// as images.
std::size_t RastersIn(const svgreader::RecordBuffer& records)
{
    std::size_t images = 0;
    records.ForEach([&](std::uint16_t opcode, const void*, std::size_t) {
        images += opcode == aiop::kBeginBitmap || opcode == aiop::kPathBitmap ? 1 : 0;
    });
    return images;
}
#endif

// What a run sends: a script streamed from its text, the built-in sample
// whole, or an SVG drawing's records; records and files name their source
// by index.
struct Input {
    std::vector<std::string> sources;
    std::vector<recordscript::FileDirective> files;
    recordscript::ScriptSource* script = nullptr;
    recordscript::Replay* sample = nullptr;
#ifdef AIEXPORT_HAVE_SVG
    SvgInput* svg = nullptr;
#endif
};

std::string Position(const Input& input, std::uint16_t source, std::uint32_t line)
{
    std::string text = input.sources[source];
    if (line != 0)
        text += ":" + std::to_string(line);
    return text;
}

int ScriptError(const std::string& source, const recordscript::Diagnostic& diagnostic)
{
    std::fprintf(stderr, "%s:%u:%u: %s\n", source.c_str(), diagnostic.line, diagnostic.column,
                 diagnostic.message.c_str());
    return kExitUsage;
}

// The module's sink, noting whether the picture ended.
class ToolSink : public recordscript::ModuleSink {
public:
    using ModuleSink::ModuleSink;
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override
    {
        ended = ended || opcode == aiop::kEndPicture;
        return ModuleSink::Write(opcode, payload, size);
    }
    bool ended = false;
};

void ReportFailed(const Input& input, const recordscript::Record& record)
{
    const char* name = recordscript::RecordName(record.opcode);
    std::fprintf(stderr, "%s: record %s failed\n",
                 Position(input, record.source, record.line).c_str(),
                 name != nullptr ? name : std::to_string(record.opcode).c_str());
}

struct Run {
    std::string modulePath;
    std::string output;
    std::string target;  // where the module writes, when not to output
    bool sample = false;
};

// Loads the module, writes the files of @file and names the target; the
// exit status, kExitOk with `filter` set when records may be sent.
int Open(const Run& run, Input& input, const std::string& outDir, LoadedModule& module,
         AHostExportFilter*& filter)
{
    for (const recordscript::FileDirective& file : input.files)
        if (file.name == FileNameOf(run.output)) {
            std::fprintf(stderr, "%s: @file \"%s\" would overwrite the output\n",
                         Position(input, file.source, file.line).c_str(), file.name.c_str());
            return kExitUsage;
        }

    std::string error;
    if (!LoadModule(run.modulePath, module, error)) {
        std::fprintf(stderr, "aiexport: %s\n", error.c_str());
        return kExitUsage;
    }
    filter = module.getFilter();
    if (filter == nullptr) {
        std::fprintf(stderr, "aiexport: getFilter of %s returned no filter\n", module.path.c_str());
        return kExitUsage;
    }

    for (const recordscript::FileDirective& file : input.files) {
        const std::string path = outDir + "/" + file.name;
        if (!WriteWhole(path, file.bytes, error)) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n",
                         Position(input, file.source, file.line).c_str(), path.c_str(),
                         error.c_str());
            return kExitUsage;
        }
    }

    const std::string& written = run.target.empty() ? run.output : run.target;
    std::vector<char> target(written.begin(), written.end());
    target.push_back('\0');
    if (filter->exportFile(target.data()) == 0) {
        std::fprintf(stderr,
                     "aiexport: the module refused the output file %s (exportFile failed): "
                     "check that its directory exists and is writable and that it is not a "
                     "directory or a read-only file\n",
                     run.output.c_str());
        return kExitRecordFailed;
    }
    return kExitOk;
}

#ifdef AIEXPORT_HAVE_SVG
// The module's sink for an SVG drawing, opened when the first record comes:
// the drawing is converted whole before any of it is sent, so one that
// cannot be converted loads no module and names no target.
class OpeningSink : public recordscript::RecordSink {
public:
    OpeningSink(const Run& run, Input& input, const std::string& outDir)
        : run(run), input(input), outDir(outDir)
    {
    }
    bool Write(std::uint16_t opcode, const void* payload, std::size_t size) override
    {
        if (status < 0) {
            AHostExportFilter* filter = nullptr;
            status = Open(run, input, outDir, module, filter);
            if (status == kExitOk)
                sink = std::make_unique<ToolSink>(*filter);
        }
        if (!sink)
            return false;
        if (sink->Write(opcode, payload, size))
            return true;
        const char* name = recordscript::RecordName(opcode);
        std::fprintf(stderr, "%s: record %s failed\n", input.sources[0].c_str(),
                     name != nullptr ? name : std::to_string(opcode).c_str());
        failed = true;
        return false;
    }
    int status = -1;  // of Open, once called
    bool failed = false;
    std::unique_ptr<ToolSink> sink;

private:
    const Run& run;
    Input& input;
    const std::string& outDir;
    LoadedModule module;
};

int SendSvg(const Run& run, Input& input, const std::string& outDir)
{
    OpeningSink sink(run, input, outDir);
    if (input.svg->refuseRasters) {
        // Held until it is known that no image is among them: a refused
        // drawing loads no module and writes no target.
        svgreader::RecordBuffer held;
        const svgreader::Result result =
            svgreader::Convert(input.svg->Source(), held, input.svg->options);
        if (!Report(result))
            return kExitUsage;
        if (const std::size_t images = RastersIn(held); images > 0) {
            std::fprintf(stderr,
                         "%s: error: %zu image%s would be written (embedded or linked images, "
                         "or transparency and effects drawn as images), and the stock "
                         "profile takes vectors only: remove %s, or give --no-flatten to draw "
                         "effects opaque\n",
                         input.sources[0].c_str(), images, images == 1 ? "" : "s",
                         images == 1 ? "it" : "them");
            return kExitRecordFailed;
        }
        const bool sent = held.SendTo(sink);
        if (sink.status > kExitOk)
            return sink.status;
        return sink.failed || !sent || !result.sent ? kExitRecordFailed : kExitOk;
    }
    const svgreader::Result result =
        svgreader::Convert(input.svg->Source(), sink, input.svg->options);
    if (sink.status > kExitOk)
        return sink.status;
    if (!Report(result))
        return kExitUsage;
    return sink.failed || !result.sent ? kExitRecordFailed : kExitOk;
}
#endif

int Send(const Run& run, Input& input, const std::string& outDir)
{
#ifdef AIEXPORT_HAVE_SVG
    if (input.svg != nullptr)
        return SendSvg(run, input, outDir);
#endif
    LoadedModule module;
    AHostExportFilter* filter = nullptr;
    const int opened = Open(run, input, outDir, module, filter);
    if (opened != kExitOk)
        return opened;

    ToolSink sink(*filter);
    bool failed = false;
    const auto report = [&](const recordscript::Record& record) {
        ReportFailed(input, record);
        failed = true;
    };
    if (input.script != nullptr) {
        // The script was read whole before; reading it again fails only
        // when it changed meanwhile, and then no picture is completed.
        recordscript::Diagnostic diagnostic;
        std::string readError;
        if (!recordscript::SendScript(*input.script, outDir, sink, report, diagnostic, readError)) {
            if (!readError.empty()) {
                std::fprintf(stderr, "aiexport: cannot read %s: %s\n", input.sources[0].c_str(),
                             readError.c_str());
                return kExitUsage;
            }
            return ScriptError(input.sources[0], diagnostic);
        }
    } else {
        for (recordscript::Record& record : input.sample->records)
            if (!sink.Write(record.opcode, record.Bind(), recordscript::PayloadSize(record)))
                report(record);
    }
    if (!sink.ended)
        std::fprintf(stderr,
                     "aiexport: warning: the script sends no EndPicture, so %s was not written\n",
                     run.output.c_str());
    if (failed)
        return kExitRecordFailed;
    if (run.sample) {
        std::string also;
        for (const recordscript::FileDirective& file : input.files)
            also += (also.empty() ? " (with " : ", ") + file.name;
        if (!also.empty())
            also += " beside it)";
        std::printf("aiexport: wrote the built-in sample drawing to %s/%s%s\n", outDir.c_str(),
                    FileNameOf(run.output).c_str(), also.c_str());
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    Run run;
    bool recordsOnly = false;
    bool eps = false;
    std::string procsetOption;
#ifdef AIEXPORT_HAVE_SVG
    svgreader::Options svgOptions;
#endif
    bool check = false;
    Profile profile = Profile::kNone;
    PageChoice page;
    bool regMarks = false;
    std::vector<std::string> positional;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsDone || arg == "-" || arg.empty() || arg[0] != '-') {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsDone = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("aiexport %s\n", AIEXPORT_VERSION);
            return kExitOk;
        } else if (arg == "--records") {
            recordsOnly = true;
        } else if (arg == "--eps") {
            eps = true;
        } else if (arg == "--procsets") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Usage("--procsets needs a directory");
            procsetOption = argv[++i];
        } else if (arg == "--no-flatten" || arg == "--flatten-dpi" ||
                   arg.rfind("--flatten-dpi=", 0) == 0) {
            std::string value;
            if (arg == "--flatten-dpi") {
                if (i + 1 >= argc)
                    return Usage("--flatten-dpi needs a resolution");
                value = argv[++i];
            } else if (arg != "--no-flatten") {
                value = arg.substr(14);
            }
            char* end = nullptr;
            const double dpi = value.empty() ? 0 : std::strtod(value.c_str(), &end);
            const bool number = end != nullptr && *end == '\0' && dpi >= 1 && dpi <= 10000;
            if (arg != "--no-flatten" && !number)
                return Usage("--flatten-dpi needs a resolution from 1 to 10000");
#ifdef AIEXPORT_HAVE_SVG
            svgOptions.flatten = arg != "--no-flatten";
            svgOptions.flattenDpi = dpi;
#endif
        } else if (arg == "--flatten" || arg.rfind("--flatten=", 0) == 0) {
            if (arg == "--flatten" && i + 1 >= argc)
                return Usage("--flatten needs a mode: vector, balanced or raster");
            const std::string mode = arg == "--flatten" ? argv[++i] : arg.substr(10);
            if (mode != "vector" && mode != "balanced" && mode != "raster")
                return Usage("--flatten needs a mode: vector, balanced or raster");
#ifdef AIEXPORT_HAVE_SVG
            using Mode = svgreader::Options::FlattenMode;
            svgOptions.flattenMode = mode == "vector"   ? Mode::kVector
                                     : mode == "raster" ? Mode::kRaster
                                                        : Mode::kBalanced;
#endif
        } else if (arg == "--no-links" || arg == "--link-dir") {
            if (arg == "--link-dir" && (i + 1 >= argc || argv[i + 1][0] == '\0'))
                return Usage("--link-dir needs a directory");
#ifdef AIEXPORT_HAVE_SVG
            if (arg == "--link-dir")
                svgOptions.linkDir = argv[i + 1];
            svgOptions.links = arg != "--no-links";
#endif
            i += arg == "--link-dir" ? 1 : 0;
        } else if (arg == "--text-outlines") {
#ifdef AIEXPORT_HAVE_SVG
            svgOptions.textOutlines = true;
#endif
        } else if (arg == "--check") {
            check = true;
        } else if (arg == "--profile" || arg.rfind("--profile=", 0) == 0) {
            if (arg == "--profile" && i + 1 >= argc)
                return Usage(std::string("--profile needs a name: ") + aicheck::ProfileNames());
            const std::string name = arg == "--profile" ? argv[++i] : arg.substr(10);
            if (!aicheck::ParseProfile(name, profile))
                return Usage("unknown profile '" + name + "' (there are " +
                             aicheck::ProfileNames() + ")");
        } else if (arg == "--page" || arg.rfind("--page=", 0) == 0) {
            if (arg == "--page" && i + 1 >= argc)
                return Usage("--page needs a size: drawing, A4, letter or WxH in mm, in or pt");
            const std::string size = arg == "--page" ? argv[++i] : arg.substr(7);
            if (!ParsePage(size, page))
                return Usage("--page: malformed size '" + size +
                             "' (drawing, A4, letter, or WxH ending in mm, in or pt, "
                             "e.g. 100x50mm, each side from 1 pt to 227 in)");
        } else if (arg == "--reg-marks") {
            regMarks = true;
        } else if (arg == "--module") {
            if (i + 1 >= argc)
                return Usage("--module needs a path");
            run.modulePath = argv[++i];
            if (run.modulePath.empty())
                return Usage("--module needs a path");
        } else if (arg.rfind("--module=", 0) == 0) {
            run.modulePath = arg.substr(9);
            if (run.modulePath.empty())
                return Usage("--module needs a path");
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }

    if (check)
        return recordsOnly || eps || page.given || regMarks
                   ? Usage("--check goes alone, with --profile at most")
                   : RunCheck(positional, profile);
    if (regMarks && profile != Profile::kCut)
        return Usage("--reg-marks goes with --profile cut");
    const bool profiled = profile != Profile::kNone || page.given;
#ifdef AIEXPORT_HAVE_SVG
    ApplyProfile(profile, page, regMarks, svgOptions);
#endif

    std::string procsets;
    if (eps) {
        if (recordsOnly || positional.size() != 2)
            return Usage(recordsOnly ? "--eps and --records exclude each other"
                                     : "--eps needs an input and OUTPUT");
        std::string error;
        if (!eps::FindProcsets(procsetOption, procsets, error)) {
            std::fprintf(stderr, "aiexport: %s\n", error.c_str());
            return kExitUsage;
        }
        if (eps::IsDocument(positional[0]) && profiled)
            return Usage("--profile and --page apply to SVG drawings, not to " + positional[0]);
        if (eps::IsDocument(positional[0]))
            return eps::WriteEps(positional[0], positional[0], positional[1], procsets);
    } else if (!procsetOption.empty()) {
        return Usage("--procsets goes with --eps");
    }

    recordscript::Replay sample;
    Input input;
    std::string outDir;
    recordscript::FileSource file;
#ifdef AIEXPORT_HAVE_SVG
    SvgInput svgInput;
#endif
    if (recordsOnly && positional.empty())
        return Usage("--records needs an SVG file");
    if (positional.empty() && profiled)
        return Usage("--profile and --page apply to SVG drawings");
    if (positional.empty()) {
        run.sample = true;
        run.output = "sample.ai";
        outDir = OutputDirectory(run.output);
        std::string errorSource;
        recordscript::Diagnostic diagnostic;
        if (!recordscript::ComposeSample(recordscript::kSampleFragments,
                                         recordscript::kSampleFragmentCount, outDir, sample,
                                         errorSource, diagnostic))
            return ScriptError(errorSource, diagnostic);
        input.sources = sample.sources;
        input.files = std::move(sample.files);
        input.sample = &sample;
    } else if (positional.size() == 2 || (recordsOnly && positional.size() == 1)) {
        const std::string& scriptPath = positional[0];
        const bool svgByName = svgreader::IsSvgName(scriptPath);
        std::string head;
        std::string error;
        if (!svgByName && (!file.Open(scriptPath, error) || !file.Head(4096, head, error))) {
            std::fprintf(stderr, "aiexport: cannot read %s: %s\n", scriptPath.c_str(),
                         error.c_str());
            return kExitUsage;
        }
        const bool svg = svgByName || svgreader::LooksLikeSvg(head);
        if (recordsOnly && (!svg || positional.size() != 1))
            return Usage(svg ? "--records takes the SVG file alone, no OUTPUT"
                             : "--records needs an SVG file");
        std::string sourceName = scriptPath == "-" ? "<stdin>" : scriptPath;
        recordscript::ScriptSource* source = &file;
        if (svg) {
#ifdef AIEXPORT_HAVE_SVG
            svgInput.path = scriptPath;
            svgInput.options = svgOptions;
            svgInput.refuseRasters = profile == Profile::kStock;
            if (scriptPath == "-" && !file.ReadAll(kMaxSvgBytes, svgInput.text, error)) {
                std::fprintf(stderr, "aiexport: cannot read %s: %s\n", scriptPath.c_str(),
                             error.c_str());
                return kExitUsage;
            }
            if (recordsOnly) {
                recordscript::ScriptPrinter printer;
                printer.Comment("Records from " + sourceName);
                const svgreader::Result result =
                    svgreader::Convert(svgInput.Source(), printer, svgOptions);
                if (!Report(result))
                    return kExitUsage;
                std::fwrite(printer.text.data(), 1, printer.text.size(), stdout);
                return std::fflush(stdout) == 0 && result.sent ? kExitOk : kExitUsage;
            }
            input.svg = &svgInput;
#else
            std::fprintf(stderr,
                         "aiexport: %s is SVG, and SVG input was not built into this aiexport "
                         "(it needs libsvgpp-dev, libxml2-dev and libstb-dev at build time)\n",
                         sourceName.c_str());
            return kExitUsage;
#endif
        }
        if (!svg && profiled)
            return Usage("--profile and --page apply to SVG drawings: a record script's "
                         "records are written as they are");
        run.output = positional[1];
        outDir = OutputDirectory(run.output);
        // The whole script is read once before anything is sent or written.
        recordscript::Diagnostic diagnostic;
        if (!svg && !recordscript::CheckScript(*source, outDir, input.files, diagnostic, error)) {
            if (!error.empty()) {
                std::fprintf(stderr, "aiexport: cannot read %s: %s\n", scriptPath.c_str(),
                             error.c_str());
                return kExitUsage;
            }
            return ScriptError(sourceName, diagnostic);
        }
        input.sources.push_back(sourceName);
        if (!svg)
            input.script = source;
    } else {
        return Usage(positional.size() == 1 ? "missing OUTPUT after the script"
                                            : "too many arguments");
    }
    if (eps)
        return eps::ExportEps(run.output, procsets, [&](const std::string& target) {
            run.target = target;
            return Send(run, input, outDir);
        });
    return Send(run, input, outDir);
}
