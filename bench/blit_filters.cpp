// Speed of the blit engine's filters on a 2048 x 2048 A8R8G8B8 image, single
// thread: the full box mipmap chain against a plain memcpy of the source, and
// the triangle and linear resamplers in milliseconds per operation (which
// bench/compare-imagemagick.sh sets against ImageMagick).
//
// Every buffer is allocated and touched before timing starts; the figures are
// steady-state. Allocation of the destinations is timed on its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "blit/blitter.h"

namespace {

constexpr UINT kSourceSize = 2048;

// An image of A8R8G8B8 pixels with its block.
struct Image {
    Image(UINT width, UINT height) : pixels(size_t(width) * height) {
        block.data = pixels.data();
        block.format = D3DFMT_A8R8G8B8;
        block.rowPitch = width * 4;
        block.slicePitch = 0;
        block.bounds = {0, 0, width, height, 0, 1};
        block.box = block.bounds;
    }
    std::vector<uint32_t> pixels;
    PixelBlock block{};
};

const Image& Source() {
    static const Image source = [] {
        Image image(kSourceSize, kSourceSize);
        // Smooth gradients with noise on top: neither flat nor pure noise.
        uint32_t state = 12345;
        for (UINT y = 0; y < kSourceSize; ++y) {
            for (UINT x = 0; x < kSourceSize; ++x) {
                state = state * 1664525u + 1013904223u;
                const uint32_t noise = state >> 28;
                const uint32_t r = (x / 8 + noise) & 0xFF;
                const uint32_t g = (y / 8 + noise) & 0xFF;
                const uint32_t b = ((x + y) / 16) & 0xFF;
                image.pixels[size_t(y) * kSourceSize + x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        }
        return image;
    }();
    return source;
}

void BM_MemcpySource(benchmark::State& state) {
    const Image& source = Source();
    std::vector<uint32_t> copy(source.pixels.size(), 1);
    for (auto _ : state) {
        std::memcpy(copy.data(), source.pixels.data(), copy.size() * 4);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(copy.size()) * 4);
}
BENCHMARK(BM_MemcpySource)->Unit(benchmark::kMillisecond);

// Levels 1024 x 1024 down to 1 x 1, each made from the one above.
void BM_BoxMipChain(benchmark::State& state) {
    const Image& source = Source();
    std::vector<Image> levels;
    for (UINT size = kSourceSize / 2; size >= 1; size /= 2)
        levels.emplace_back(size, size);
    Blitter blitter;
    auto chain = [&] {
        const PixelBlock* above = &source.block;
        for (Image& level : levels) {
            if (blitter.Execute(level.block, *above, TX_FILTER_BOX) != S_OK) return false;
            above = &level.block;
        }
        return true;
    };
    if (!chain()) { // also selects the 32-bit routine
        state.SkipWithError("box filter failed");
        return;
    }
    for (auto _ : state) {
        chain();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BoxMipChain)->Unit(benchmark::kMillisecond);

void Resample(benchmark::State& state, DWORD filter) {
    const UINT size = static_cast<UINT>(state.range(0));
    const Image& source = Source();
    Image dest(size, size);
    Blitter blitter;
    if (blitter.Execute(dest.block, source.block, filter) != S_OK) {
        state.SkipWithError("resample failed");
        return;
    }
    for (auto _ : state) {
        blitter.Execute(dest.block, source.block, filter);
        benchmark::ClobberMemory();
    }
}

void BM_Triangle(benchmark::State& state) {
    Resample(state, TX_FILTER_TRIANGLE);
}
BENCHMARK(BM_Triangle)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_Linear(benchmark::State& state) {
    Resample(state, TX_FILTER_LINEAR);
}
BENCHMARK(BM_Linear)->Arg(1000)->Unit(benchmark::kMillisecond);

// First touch of a fresh destination, for reference: not part of the above.
void BM_AllocateDestination(benchmark::State& state) {
    const UINT size = static_cast<UINT>(state.range(0));
    for (auto _ : state) {
        Image dest(size, size);
        benchmark::DoNotOptimize(dest.pixels.data());
    }
}
BENCHMARK(BM_AllocateDestination)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// Collects the times of every run (or, with repetitions, their medians) to
// print the ratios after the table. CPU time is printed beside real time: on
// a shared machine it is the steadier of the two.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            times_[run.run_name.str()] = {run.GetAdjustedRealTime() * toMs,
                                          run.GetAdjustedCPUTime() * toMs};
        }
    }

    void PrintSummary() const {
        std::printf("\n%-32s %10s %10s\n", "milliseconds per operation", "real", "cpu");
        for (const auto& [name, t] : times_)
            std::printf("ms %-29s %10.3f %10.3f\n", name.c_str(), t.real, t.cpu);
        const auto memcpy = times_.find("BM_MemcpySource");
        const auto chain = times_.find("BM_BoxMipChain");
        if (memcpy != times_.end() && chain != times_.end())
            std::printf("ratio box_mip_chain/memcpy_source real %.2f cpu %.2f (target: within 2)\n",
                        chain->second.real / memcpy->second.real,
                        chain->second.cpu / memcpy->second.cpu);
    }

private:
    struct Times {
        double real;
        double cpu;
    };
    std::map<std::string, Times> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
