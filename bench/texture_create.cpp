// Time per iteration is in milliseconds. baseline_ms is the mean time of the
// baseline, run once after every iteration; x_baseline and x_baseline_cpu
// are the iterations' wall and thread CPU time divided by the baseline's.
//
// TxCreateTextureFromFile of a 2048x2048 24-bit BMP file into a managed
// X8R8G8B8 texture with its full mipmap chain, on a windowless device. The
// baseline is what any loader must do at least: read the file and copy the
// top level once (memcpy into memory already touched). The steps of the
// creation are timed on their own to show where the time goes, and the
// allocation of a texture with the first touch of its memory separately.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "imagefile/image_file.h"
#include "platform/direct3d8.h"
#include "texture/texture.h"

namespace {

constexpr UINT kSize = 2048;
constexpr size_t kTopBytes = size_t(kSize) * kSize * 4;

std::vector<BYTE> MakeBmp() {
    return txbench::Make24BitBmp(kSize, kSize);
}

// The bitmap as a file in the temporary folder, removed at exit.
struct BitmapFile {
    BitmapFile() {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/tx-bench-" +
               std::to_string(getpid()) + ".bmp";
        const std::vector<BYTE> bytes = MakeBmp();
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
            written = std::fclose(f) == 0 && written;
        }
    }
    ~BitmapFile() { std::remove(path.c_str()); }
    std::string path;
    bool written = false;
};

const BitmapFile& File() {
    static const BitmapFile file;
    return file;
}

using Device = txbench::OffscreenDevice;

// Wall and thread CPU milliseconds of some work.
struct Times {
    double wallMs = 0;
    double cpuMs = 0;
};

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

template <typename Work>
Times Measure(Work work) {
    const double cpuStart = ThreadCpuMilliseconds();
    const auto wallStart = std::chrono::steady_clock::now();
    work();
    Times t;
    t.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    t.cpuMs = ThreadCpuMilliseconds() - cpuStart;
    return t;
}

// Reading the whole file into a buffer, plus one memcpy of a top level's
// bytes, both into memory touched before.
class Baseline {
public:
    Baseline()
        : file_(54 + size_t(kSize) * kSize * 3 + 1, 1), source_(kTopBytes, 0x5A),
          dest_(kTopBytes, 0xA5) {}

    bool Run() {
        FILE* f = std::fopen(File().path.c_str(), "rb");
        if (!f) return false;
        const size_t read = std::fread(file_.data(), 1, file_.size(), f);
        std::fclose(f);
        std::memcpy(dest_.data(), source_.data(), kTopBytes);
        benchmark::DoNotOptimize(read);
        benchmark::ClobberMemory();
        return read + 1 == file_.size();
    }

private:
    std::vector<BYTE> file_, source_, dest_;
};

// Each iteration's work against one run of the baseline right after it,
// outside the timed region: on a shared machine both then meet the same
// load. x_baseline compares wall times, x_baseline_cpu thread CPU times.
class Comparison {
public:
    explicit Comparison(benchmark::State& state) : state_(state) { baseline_.Run(); }

    template <typename Work>
    void Iteration(Work work) {
        const Times t = Measure(work);
        work_.wallMs += t.wallMs;
        work_.cpuMs += t.cpuMs;
        state_.PauseTiming();
        const Times b = Measure([&] { baseline_.Run(); });
        base_.wallMs += b.wallMs;
        base_.cpuMs += b.cpuMs;
        state_.ResumeTiming();
    }

    void Report() {
        const double n = double(state_.iterations());
        if (n == 0 || base_.wallMs <= 0 || base_.cpuMs <= 0) return;
        state_.counters["baseline_ms"] = base_.wallMs / n;
        state_.counters["x_baseline"] = work_.wallMs / base_.wallMs;
        state_.counters["x_baseline_cpu"] = work_.cpuMs / base_.cpuMs;
    }

private:
    benchmark::State& state_;
    Baseline baseline_;
    Times work_, base_;
};

bool Ready(benchmark::State& state, const Device& d) {
    if (File().written && d.device) return true;
    state.SkipWithError("set-up failed");
    return false;
}

// The whole creation, file to finished texture.
void BM_CreateTextureFromFile(benchmark::State& state) {
    Device d;
    if (!Ready(state, d)) return;
    Comparison comparison(state);
    for (auto _ : state) {
        HRESULT hr = S_OK;
        comparison.Iteration([&] {
            IDirect3DTexture8* texture = nullptr;
            hr = TxCreateTextureFromFile(d.device, File().path.c_str(), &texture);
            if (texture) texture->Release();
        });
        if (FAILED(hr)) {
            state.SkipWithError("creation failed");
            break;
        }
    }
    comparison.Report();
}

// A texture of the same size and chain created, every level written once
// (first touch of fresh memory) and released.
void BM_AllocateAndTouchTexture(benchmark::State& state) {
    Device d;
    if (!Ready(state, d)) return;
    Comparison comparison(state);
    for (auto _ : state) {
        comparison.Iteration([&] {
            IDirect3DTexture8* texture = nullptr;
            if (FAILED(d.device->CreateTexture(kSize, kSize, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                               &texture)))
                return;
            for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
                D3DLOCKED_RECT locked;
                if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) continue;
                std::memset(locked.pBits, 0x5A, size_t(locked.Pitch) * (kSize >> level));
                texture->UnlockRect(level);
            }
            texture->Release();
        });
    }
    comparison.Report();
}

// The steps inside, each on its own: decoding the bitmap (bottom-up rows are
// copied into a new buffer), filling the top level from the decoded pixels
// (a dithered 24- to 32-bit conversion), and filtering the chain below it;
// for comparison the same fill without dithering, which the default filter
// asks for.
void BM_Step(benchmark::State& state) {
    Device d;
    if (!Ready(state, d)) return;
    const std::vector<BYTE> bytes = MakeBmp();
    IDirect3DTexture8* texture = nullptr;
    IDirect3DSurface8* top = nullptr;
    ImageFile image;
    if (FAILED(d.device->CreateTexture(kSize, kSize, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                       &texture)) ||
        FAILED(texture->GetSurfaceLevel(0, &top)) ||
        FAILED(image.Load(bytes.data(), UINT(bytes.size()), nullptr, TRUE))) {
        state.SkipWithError("set-up failed");
        if (top) top->Release();
        if (texture) texture->Release();
        return;
    }
    const RECT rect = {0, 0, LONG(kSize), LONG(kSize)};
    TxLoadSurfaceFromMemory(top, nullptr, nullptr, image.pixels, image.format, image.rowPitch,
                            nullptr, &rect, TX_DEFAULT, 0);
    Comparison comparison(state);
    for (auto _ : state) {
        HRESULT hr = S_OK;
        comparison.Iteration([&] {
            switch (state.range(0)) {
            case 0: {
                ImageFile decoded;
                hr = decoded.Load(bytes.data(), UINT(bytes.size()), nullptr, TRUE);
                break;
            }
            case 1:
            case 3:
                hr = TxLoadSurfaceFromMemory(top, nullptr, nullptr, image.pixels, image.format,
                                             image.rowPitch, nullptr, &rect,
                                             state.range(0) == 1 ? TX_DEFAULT : TX_FILTER_NONE, 0);
                break;
            case 2:
                hr = TxFilterTexture(texture, nullptr, 0, TX_DEFAULT);
                break;
            }
        });
        if (FAILED(hr)) {
            state.SkipWithError("step failed");
            break;
        }
    }
    static const char* const kNames[] = {"decode the bitmap", "fill the top level",
                                         "filter the chain",
                                         "fill the top level without dithering"};
    state.SetLabel(kNames[state.range(0)]);
    comparison.Report();
    top->Release();
    texture->Release();
}

} // namespace

BENCHMARK(BM_CreateTextureFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllocateAndTouchTexture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Step)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
