// Row conversion throughput of the pixel codecs, as the blit engine drives
// them: DecodeRow of the source into a ColorF row buffer, EncodeRow of that
// buffer into the destination, for every row of a 2048 x 2048 image.
//
// Each conversion reports bytes of destination per second, and two ratios of
// its processor time per image to the processor time of memcpy of the same
// number of destination bytes, measured in the same run between touched
// buffers: "x_memcpy" against a copy from cold caches, as the destination of
// a whole 2048 x 2048 image is, and "x_memcpy_warm" against a copy repeated
// between the same buffers (which for 4 and 8 MiB stay in the last-level
// cache). The BM_Memcpy entries give memcpy's own rates, cold (second
// argument 1) and warm.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "blit/blitter.h"
#include "blit/packed_convert.h"
#include "codec/pixel_codec.h"

namespace {

constexpr UINT kSize = 2048;

UINT BytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
        return 2;
    default:
        return 1; // P8, L8
    }
}

// A touched image of random bytes (for P8 sources: random indices into a
// random palette).
struct Image {
    explicit Image(D3DFORMAT format) : bytes(size_t(BytesPerPixel(format)) * kSize * kSize) {
        uint32_t state = 12345;
        for (BYTE& b : bytes) {
            state = state * 1664525u + 1013904223u;
            b = BYTE(state >> 24);
        }
        for (int i = 0; i < 256; ++i) {
            palette[i] = {BYTE(i * 37), BYTE(i * 91), BYTE(i * 13), BYTE(255 - i)};
        }
        block.data = bytes.data();
        block.format = format;
        block.rowPitch = BytesPerPixel(format) * kSize;
        block.slicePitch = block.rowPitch * kSize;
        block.bounds = {0, 0, kSize, kSize, 0, 1};
        block.box = block.bounds;
        block.palette = palette;
    }
    std::vector<BYTE> bytes;
    PALETTEENTRY palette[256];
    PixelBlock block{};
};

// Processor time of this thread: the machine is shared, and time spent
// waiting for a processor would blur both sides of the ratio.
double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// Evicts the caches (the last level holds 32 MiB here) by writing a buffer
// twice that size.
void EvictCaches() {
    static std::vector<BYTE> junk(64u << 20);
    for (size_t i = 0; i < junk.size(); i += 64)
        junk[i]++;
    benchmark::ClobberMemory();
}

// Best processor time of several memcpy of `bytes` bytes between touched
// buffers; with `cold`, the caches are evicted before each copy, as they are
// for the destination of a conversion of a whole large image.
double MemcpySeconds(size_t bytes, bool cold) {
    std::vector<BYTE> from(bytes, 1), to(bytes, 2);
    double best = 1e9;
    for (int i = 0; i < 10; ++i) {
        if (cold) EvictCaches();
        const double start = ThreadSeconds();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

// Destination bytes per second, and the processor time per image against
// memcpy of the destination from cold caches and warm.
void Report(benchmark::State& state, double seconds, size_t destBytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(destBytes));
    const double perImage = seconds / double(state.iterations());
    state.counters["x_memcpy"] = perImage / MemcpySeconds(destBytes, true);
    state.counters["x_memcpy_warm"] = perImage / MemcpySeconds(destBytes, false);
}

void BM_Convert(benchmark::State& state, D3DFORMAT sourceFormat, D3DFORMAT destFormat,
                bool dither) {
    Image source(sourceFormat);
    Image dest(destFormat);
    dest.block.dither = dither ? 1 : 0;
    std::unique_ptr<PixelCodec> decoder = CreatePixelCodec(source.block);
    std::unique_ptr<PixelCodec> encoder = CreatePixelCodec(dest.block);
    if (!decoder || !encoder || encoder->PrepareConversion(*decoder) != S_OK) {
        state.SkipWithError("no codec");
        return;
    }
    std::vector<ColorF> row(kSize);

    double seconds = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        for (UINT y = 0; y < kSize; ++y) {
            decoder->DecodeRow(y, 0, row.data());
            encoder->EncodeRow(y, 0, row.data());
        }
        benchmark::ClobberMemory();
        seconds += ThreadSeconds() - start;
    }
    Report(state, seconds, dest.bytes.size());
}

// The same conversion as one transfer through the blit engine
// (Blitter::Execute, which takes it in TryConvert): for pairs of packed
// formats that is the direct packed path, for the others the row loop above.
// The time includes building the codecs and the packed path's tables.
void BM_Blit(benchmark::State& state, D3DFORMAT sourceFormat, D3DFORMAT destFormat, bool dither) {
    Image source(sourceFormat);
    Image dest(destFormat);
    const DWORD filter = TX_FILTER_NONE | (dither ? TX_FILTER_DITHER : 0u);
    Blitter blitter;
    double seconds = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        if (FAILED(blitter.Execute(dest.block, source.block, filter))) {
            state.SkipWithError("blit failed");
            return;
        }
        benchmark::ClobberMemory();
        seconds += ThreadSeconds() - start;
    }
    Report(state, seconds, dest.bytes.size());
}

// Preparing the packed path alone (its tables and the choice of its row
// loop): the fixed cost that every transfer between packed formats pays.
void BM_PackedPrepare(benchmark::State& state, D3DFORMAT sourceFormat, D3DFORMAT destFormat,
                      bool dither) {
    Image source(sourceFormat);
    Image dest(destFormat);
    dest.block.dither = dither ? 1 : 0;
    std::unique_ptr<PixelCodec> decoder = CreatePixelCodec(source.block);
    std::unique_ptr<PixelCodec> encoder = CreatePixelCodec(dest.block);
    if (!decoder || !encoder) {
        state.SkipWithError("no codec");
        return;
    }
    for (auto _ : state) {
        PackedConversion conversion;
        if (!conversion.Prepare(*decoder, *encoder)) {
            state.SkipWithError("not a packed pair");
            return;
        }
        benchmark::DoNotOptimize(conversion);
    }
}

// memcpy of the destination sizes (4, 8 and 16 MiB), from cold caches
// (range 1 = 1) or repeated between the same buffers.
void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0));
    const bool cold = state.range(1) != 0;
    std::vector<BYTE> from(bytes, 1), to(bytes, 2);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            EvictCaches();
            state.ResumeTiming();
        }
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

} // namespace

BENCHMARK(BM_Memcpy)->ArgsProduct({{kSize * kSize, 2 * kSize* kSize, 4 * kSize* kSize}, {1, 0}});
BENCHMARK_CAPTURE(BM_Convert, A8R8G8B8_to_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Convert, A8R8G8B8_to_R5G6B5, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, false);
BENCHMARK_CAPTURE(BM_Convert, A8R8G8B8_to_R5G6B5_dither, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, true);
BENCHMARK_CAPTURE(BM_Convert, R8G8B8_to_A8R8G8B8, D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Convert, P8_to_A8R8G8B8, D3DFMT_P8, D3DFMT_A8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Convert, A8R8G8B8_to_L8, D3DFMT_A8R8G8B8, D3DFMT_L8, false);
// The palette encoder searches all 256 entries for every pixel.
BENCHMARK_CAPTURE(BM_Convert, A8R8G8B8_to_P8, D3DFMT_A8R8G8B8, D3DFMT_P8, false)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Blit, A8R8G8B8_to_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Blit, A8R8G8B8_to_R5G6B5, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, false);
BENCHMARK_CAPTURE(BM_Blit, A8R8G8B8_to_R5G6B5_dither, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, true);
BENCHMARK_CAPTURE(BM_Blit, R8G8B8_to_A8R8G8B8, D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Blit, R8G8B8_to_X8R8G8B8_dither, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, true);
BENCHMARK_CAPTURE(BM_Blit, P8_to_A8R8G8B8, D3DFMT_P8, D3DFMT_A8R8G8B8, false);
BENCHMARK_CAPTURE(BM_Blit, A8R8G8B8_to_L8, D3DFMT_A8R8G8B8, D3DFMT_L8, false);
BENCHMARK_CAPTURE(BM_PackedPrepare, A8R8G8B8_to_R5G6B5, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, false);
BENCHMARK_CAPTURE(BM_PackedPrepare, A8R8G8B8_to_R5G6B5_dither, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,
                  true);
BENCHMARK_CAPTURE(BM_PackedPrepare, R8G8B8_to_X8R8G8B8_dither, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8,
                  true);

BENCHMARK_MAIN();
