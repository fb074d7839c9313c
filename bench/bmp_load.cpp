// Time per iteration is in milliseconds; x_memcpy is the wall time of one
// iteration divided by memcpy_ms.
//
// Loading a 4096x4096 24-bit BMP into an X8R8G8B8 system-memory surface:
// the decode of the file and the conversion into the surface, each against a
// plain memcpy of the destination measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "imagefile/image_file.h"
#include "platform/direct3d8.h"
#include "texture/texture.h"

namespace {

constexpr UINT kSize = 4096;

std::vector<BYTE> MakeBmp(bool topDown) {
    return txbench::Make24BitBmp(kSize, kSize, topDown);
}

// A windowless device with the destination surface.
struct Device {
    Device() {
        if (base.device) base.device->CreateImageSurface(kSize, kSize, D3DFMT_X8R8G8B8, &surface);
    }
    ~Device() {
        if (surface) surface->Release();
    }
    txbench::OffscreenDevice base;
    IDirect3DSurface8* surface = nullptr;
};

// Milliseconds of one memcpy of the whole destination surface, best of a few
// runs after the memory has been touched.
double MemcpyMilliseconds(IDirect3DSurface8* surface) {
    D3DLOCKED_RECT locked;
    if (FAILED(surface->LockRect(&locked, nullptr, 0))) return 0;
    const size_t bytes = size_t(locked.Pitch) * kSize;
    std::vector<BYTE> source(bytes, 0x5A);
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(locked.pBits, source.data(), bytes);
        benchmark::ClobberMemory();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    surface->UnlockRect();
    return best;
}

// The conversion alone: R8G8B8 image pixels into the X8R8G8B8 surface.
void BM_SurfaceFromDecodedBmp(benchmark::State& state) {
    Device d;
    const std::vector<BYTE> file = MakeBmp(false);
    ImageFile image;
    if (!d.surface || FAILED(image.Load(file.data(), UINT(file.size()), nullptr, TRUE))) {
        state.SkipWithError("set-up failed");
        return;
    }
    const double memcpyMs = MemcpyMilliseconds(d.surface);
    const RECT rect = {0, 0, LONG(kSize), LONG(kSize)};
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const HRESULT hr =
            TxLoadSurfaceFromMemory(d.surface, nullptr, nullptr, image.pixels, image.format,
                                    image.rowPitch, nullptr, &rect, TX_DEFAULT, 0);
        if (FAILED(hr)) state.SkipWithError("load failed");
    }
    state.counters["memcpy_ms"] = memcpyMs;
    const double loopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loopStart)
            .count();
    if (state.iterations() > 0 && memcpyMs > 0)
        state.counters["x_memcpy"] = loopMs / double(state.iterations()) / memcpyMs;
}

// The whole path from the file in memory: decode (a bottom-up file is copied
// into a new buffer, whose allocation is included) and convert.
void BM_SurfaceFromBmpFile(benchmark::State& state) {
    Device d;
    const bool topDown = state.range(0) != 0;
    const std::vector<BYTE> file = MakeBmp(topDown);
    if (!d.surface) {
        state.SkipWithError("set-up failed");
        return;
    }
    const double memcpyMs = MemcpyMilliseconds(d.surface);
    const RECT rect = {0, 0, LONG(kSize), LONG(kSize)};
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ImageFile image;
        HRESULT hr = image.Load(file.data(), UINT(file.size()), nullptr, TRUE);
        if (SUCCEEDED(hr))
            hr = TxLoadSurfaceFromMemory(d.surface, nullptr, nullptr, image.pixels, image.format,
                                         image.rowPitch, nullptr, &rect, TX_DEFAULT, 0);
        if (FAILED(hr)) state.SkipWithError("load failed");
    }
    state.SetLabel(topDown ? "top-down (pixels borrowed)" : "bottom-up (pixels copied)");
    state.counters["memcpy_ms"] = memcpyMs;
    const double loopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loopStart)
            .count();
    if (state.iterations() > 0 && memcpyMs > 0)
        state.counters["x_memcpy"] = loopMs / double(state.iterations()) / memcpyMs;
}

} // namespace

BENCHMARK(BM_SurfaceFromDecodedBmp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SurfaceFromBmpFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
