// Whole replays: a script streamed from its file or text, or the built-in
// sample composed from its fragments; and the record names for messages.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "RecordScript.h"
#include "RecordSink.h"
#include "RecordTable.h"
#include "host/Opcodes.h"

namespace recordscript {
namespace {

void Append(Replay& out, ParsedScript& parsed, std::size_t from, std::size_t to,
            std::uint16_t source)
{
    for (std::size_t i = from; i < to; ++i) {
        parsed.records[i].source = source;
        out.records.push_back(std::move(parsed.records[i]));
    }
}

// A frame record of the sample; its text is fixed, so it always parses.
void AppendFrame(Replay& out, const char* text, const std::string& outDir)
{
    ParsedScript parsed;
    Diagnostic ignored;
    ParseOptions options;
    options.outDir = outDir;
    if (ParseScript(text, options, parsed, ignored))
        for (Record& r : parsed.records) {
            r.source = 0;
            r.line = 0;  // not from any file
            out.records.push_back(std::move(r));
        }
}

}  // namespace

bool LoadScript(std::string_view text, const std::string& sourceName, const std::string& outDir,
                Replay& out, std::string& errorSource, Diagnostic& error)
{
    out = Replay{};
    out.sources.push_back(sourceName);
    errorSource = sourceName;
    ParseOptions options;
    options.outDir = outDir;
    ParsedScript parsed;
    if (!ParseScript(text, options, parsed, error))
        return false;
    out.records = std::move(parsed.records);
    out.files = std::move(parsed.files);
    return true;
}

bool ComposeSample(const SampleFragment* fragmentTexts, std::size_t fragmentCount,
                   const std::string& outDir, Replay& out, std::string& errorSource,
                   Diagnostic& error)
{
    try {
        out = Replay{};
        out.sources.push_back("built-in sample");
        std::vector<ParsedScript> fragments(fragmentCount);
        ParseOptions options;
        options.outDir = outDir;
        options.sampleFragment = true;
        for (std::size_t i = 0; i < fragmentCount; ++i) {
            const SampleFragment& f = fragmentTexts[i];
            out.sources.push_back(std::string("sample/") + f.name);
            const std::string_view text(reinterpret_cast<const char*>(f.text), f.size);
            if (!ParseScript(text, options, fragments[i], error)) {
                errorSource = out.sources.back();
                return false;
            }
            for (FileDirective& file : fragments[i].files) {
                file.source = static_cast<std::uint16_t>(i + 1);
                out.files.push_back(std::move(file));
            }
        }
        AppendFrame(out, "BeginPicture 0 0 8.5 11", outDir);
        for (std::size_t i = 0; i < fragments.size(); ++i)
            Append(out, fragments[i], 0, fragments[i].drawingStart,
                   static_cast<std::uint16_t>(i + 1));
        AppendFrame(out, "BeginDrawingSection 8.5 11", outDir);
        for (std::size_t i = 0; i < fragments.size(); ++i)
            Append(out, fragments[i], fragments[i].drawingStart, fragments[i].records.size(),
                   static_cast<std::uint16_t>(i + 1));
        AppendFrame(out, "EndPicture", outDir);

        // Row data checked again in sending order: an image's layout may
        // come from another fragment's records in between.
        std::size_t bad = 0;
        if (!CheckRowData(out.records, bad, error.message)) {
            const Record& r = out.records[bad];
            errorSource = out.sources[r.source];
            error.line = r.line;
            error.column = r.dataColumn != 0 ? r.dataColumn : 1;
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        errorSource = "built-in sample";
        error = Diagnostic{0, 0, "out of memory"};
        return false;
    }
}

bool TextSource::Feed(ScriptReader& reader, std::string&) { return ReadText(text, reader); }

namespace {

bool ReadSome(int fd, char* buffer, std::size_t size, std::size_t& got, std::string& error)
{
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EINTR) {
            error = std::strerror(errno);
            return false;
        }
    }
}

bool WriteAll(int fd, const char* bytes, std::size_t size, std::string& error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Standard input copied into a file that has no name, to be read twice.
int SpoolStandardInput(std::string& error)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/aiexport-stdin.XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot make a temporary file: ") + std::strerror(errno);
        return -1;
    }
    ::unlink(path.c_str());
    char chunk[65536];
    for (;;) {
        std::size_t got = 0;
        if (!ReadSome(STDIN_FILENO, chunk, sizeof chunk, got, error) ||
            !WriteAll(fd, chunk, got, error)) {
            ::close(fd);
            return -1;
        }
        if (got == 0)
            return fd;
    }
}

constexpr std::size_t kBlock = 1u << 16;

}  // namespace

FileSource::~FileSource()
{
    if (fd >= 0)
        ::close(fd);
}

bool FileSource::Open(const std::string& path, std::string& error)
{
    fd = path == "-" ? SpoolStandardInput(error) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && error.empty())
        error = std::strerror(errno);
    return fd >= 0;
}

bool FileSource::Head(std::size_t limit, std::string& head, std::string& error)
{
    head.assign(limit, '\0');
    std::size_t have = 0;
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        error = std::strerror(errno);
        return false;
    }
    while (have < limit) {
        std::size_t got = 0;
        if (!ReadSome(fd, head.data() + have, limit - have, got, error))
            return false;
        if (got == 0)
            break;
        have += got;
    }
    head.resize(have);
    return true;
}

bool FileSource::ReadAll(std::size_t limit, std::string& text, std::string& error)
{
    text.clear();
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        error = std::strerror(errno);
        return false;
    }
    char chunk[kBlock];
    for (;;) {
        std::size_t got = 0;
        if (!ReadSome(fd, chunk, sizeof chunk, got, error))
            return false;
        if (got == 0)
            return true;
        if (got > limit - text.size()) {
            error = "larger than " + std::to_string(limit >> 20) + " MiB";
            return false;
        }
        text.append(chunk, got);
    }
}

bool FileSource::Feed(ScriptReader& reader, std::string& readError)
{
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        readError = std::strerror(errno);
        return false;
    }
    // A line's start stays in `pending` until its newline arrives.
    std::string pending;
    bool any = false;  // line given to the reader
    char chunk[kBlock];
    for (;;) {
        std::size_t got = 0;
        if (!ReadSome(fd, chunk, sizeof chunk, got, readError))
            return false;
        if (got == 0)
            break;
        std::string_view block(chunk, got);
        for (std::size_t end; (end = block.find('\n')) != std::string_view::npos;) {
            bool ok = false;
            any = true;
            if (pending.empty()) {
                ok = reader.Line(block.substr(0, end));
            } else {
                pending.append(block.data(), end);
                ok = reader.Line(pending);
                pending.clear();
            }
            if (!ok)
                return false;
            block.remove_prefix(end + 1);
        }
        pending.append(block.data(), block.size());
        // A long line's buffer is given back once the line is read.
        if (pending.empty() && pending.capacity() > kBlock)
            std::string().swap(pending);
    }
    // A last line without a newline; an empty text is one empty line.
    if ((!pending.empty() || !any) && !reader.Line(pending))
        return false;
    return reader.Finish();
}

namespace {

class FileCollector : public ScriptHandler {
public:
    explicit FileCollector(std::vector<FileDirective>& files) : files(files) {}
    void OnRecord(Record&) override {}
    void OnFile(FileDirective& file) override { files.push_back(std::move(file)); }

private:
    std::vector<FileDirective>& files;
};

class Sender : public ScriptHandler {
public:
    Sender(RecordSink& sink, const std::function<void(const Record&)>& failed)
        : sink(sink), failed(failed)
    {
    }
    void OnRecord(Record& record) override
    {
        if (holding || record.opcode == aiop::kEndPicture) {
            holding = true;
            held.push_back(std::move(record));
            return;
        }
        Send(record);
    }
    void OnFile(FileDirective&) override {}
    void SendHeld()
    {
        for (Record& record : held)
            Send(record);
        held.clear();
    }

private:
    void Send(Record& record)
    {
        if (!sink.Write(record.opcode, record.Bind(), PayloadSize(record)) && failed)
            failed(record);
    }

    RecordSink& sink;
    const std::function<void(const Record&)>& failed;
    bool holding = false;
    std::vector<Record> held;
};

}  // namespace

namespace {

// The whole source through the reader; on failure, where and why.
bool Feed(ScriptSource& source, ScriptReader& reader, Diagnostic& error, std::string& readError)
{
    try {
        if (source.Feed(reader, readError))
            return true;
    } catch (const std::bad_alloc&) {
        error = Diagnostic{reader.Error().line, 1, "out of memory"};
        return false;
    }
    error = reader.Error();
    return false;
}

}  // namespace

bool CheckScript(ScriptSource& source, const std::string& outDir, std::vector<FileDirective>& files,
                 Diagnostic& error, std::string& readError)
{
    files.clear();
    ParseOptions options;
    options.outDir = outDir;
    FileCollector collector(files);
    ScriptReader reader(options, collector);
    return Feed(source, reader, error, readError);
}

bool SendScript(ScriptSource& source, const std::string& outDir, RecordSink& sink,
                const std::function<void(const Record& record)>& failed, Diagnostic& error,
                std::string& readError)
{
    ParseOptions options;
    options.outDir = outDir;
    Sender sender(sink, failed);
    ScriptReader reader(options, sender);
    if (!Feed(source, reader, error, readError))
        return false;
    sender.SendHeld();
    return true;
}

const char* RecordName(std::uint16_t opcode)
{
    const RecordLayout* layout = FindRecordByOpcode(opcode);
    return layout != nullptr ? layout->name : nullptr;
}

std::vector<std::uint16_t> RecordOpcodes()
{
    std::vector<std::uint16_t> opcodes;
    for (const RecordLayout* r = RecordTableBegin(); r != RecordTableEnd(); ++r)
        opcodes.push_back(r->opcode);
    return opcodes;
}

}  // namespace recordscript
