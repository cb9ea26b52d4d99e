// Micro-benchmarks: the encoders and single records, on a reused buffer.
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "filter/AAIExportFilter.h"
#include "host/Opcodes.h"

namespace {

std::vector<double> Coordinates()
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> d(0.0, 72000.0);
    std::vector<double> v(4096);
    for (double& x : v)
        x = d(random);
    return v;
}

void BM_FloatToString(benchmark::State& state)
{
    const std::vector<double> values = Coordinates();
    char out[kMaxRealToken + 1];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AOutputWriter::FloatToString(out, values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToString);

void BM_IntegerToString(benchmark::State& state)
{
    char out[kMaxIntegerToken + 1];
    int v = -1000000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AOutputWriter::IntegerToString(out, v++));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IntegerToString);

void BM_StringToStandardExportString(benchmark::State& state)
{
    std::string text;
    for (int i = 0; i < 256; ++i)
        text += static_cast<char>(i % 94 + 33);
    text += "(\\)\t\r\xe9";
    std::vector<char> out(text.size() * 4 + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AOutputWriter::StringToStandardExportString(out.data(), text.c_str()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_StringToStandardExportString);

void BM_HexToPSCommentHexString(benchmark::State& state)
{
    std::vector<unsigned char> row(30000);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<unsigned char>(i * 31);
    std::vector<char> out(row.size() * 3);
    int r = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AOutputWriter::HexToPSCommentHexString(
            out.data(), row.data(), static_cast<int>(row.size()), r++ & 1023));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(row.size()));
}
BENCHMARK(BM_HexToPSCommentHexString);

// Records through writeData with its locale bracket, into a real body file.
class RecordBench {
public:
    RecordBench()
    {
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        target = "/tmp/aiexport-bench.ai";
        filter.exportFile(target.data());
        BeginPictureData picture{0, 0, 0, 8.5, 11};
        BeginDrawingSectionData section{8.5, 11};
        filter.writeData(aiop::kBeginPicture, &picture);
        filter.writeData(aiop::kBeginDrawingSection, &section);
        filter.writeData(aiop::kBeginPath, nullptr);
        MoveToData move{1.0, 1.0};
        filter.writeData(aiop::kMoveTo, &move);
    }
    ~RecordBench()
    {
        filter.writeData(aiop::kEndPath, nullptr);
        filter.writeData(aiop::kEndPicture, nullptr);
        std::remove(target.c_str());
    }
    AAIExportFilter filter;
    std::string target;
};

void BM_DispatchNoEffect(benchmark::State& state)
{
    RecordBench bench;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.filter.writeData(2056, nullptr));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchNoEffect);

void BM_LineTo(benchmark::State& state)
{
    RecordBench bench;
    LineToData line{1.25, 3.5};
    for (auto _ : state) {
        line.x += 0.001;
        benchmark::DoNotOptimize(bench.filter.writeData(aiop::kLineTo, &line));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LineTo);

void BM_CurveTo(benchmark::State& state)
{
    RecordBench bench;
    CurveToData curve{1.25, 3.5, 2.75, 4.125, 3.0, 1.0};
    for (auto _ : state) {
        curve.x3 += 0.001;
        benchmark::DoNotOptimize(bench.filter.writeData(aiop::kCurveTo, &curve));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CurveTo);

void BM_MoveTo(benchmark::State& state)
{
    RecordBench bench;
    MoveToData move{1.25, 3.5};
    for (auto _ : state) {
        move.x += 0.001;
        benchmark::DoNotOptimize(bench.filter.writeData(aiop::kMoveTo, &move));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MoveTo);

}  // namespace

BENCHMARK_MAIN();
