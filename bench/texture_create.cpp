// Time per iteration is in milliseconds; x_baseline is the wall time of one
// iteration divided by baseline_ms, measured in the same run.
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
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "platform/direct3d8.h"
#include "texture/texture.h"

namespace {

constexpr UINT kSize = 2048;
constexpr size_t kTopBytes = size_t(kSize) * kSize * 4;

std::vector<BYTE> MakeBmp() {
    const UINT stride = kSize * 3;
    std::vector<BYTE> file(54 + size_t(stride) * kSize);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = BYTE(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, UINT(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kSize);
    put32(22, kSize);
    file[26] = 1;
    file[28] = 24;
    for (size_t i = 54; i < file.size(); ++i)
        file[i] = BYTE(i * 2654435761u >> 13);
    return file;
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

struct Device {
    Device() {
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params = {};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        if (d3d)
            d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    }
    ~Device() {
        if (device) device->Release();
        if (d3d) d3d->Release();
    }
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
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

    // Best of a few runs.
    double BestMilliseconds() {
        double best = 1e30;
        for (int run = 0; run < 5; ++run) {
            const auto start = std::chrono::steady_clock::now();
            if (!Run()) return 0;
            best = std::min(best, Milliseconds(start));
        }
        return best;
    }

private:
    std::vector<BYTE> file_, source_, dest_;
};

double BaselineMilliseconds() {
    Baseline baseline;
    return baseline.BestMilliseconds();
}

void Report(benchmark::State& state, std::chrono::steady_clock::time_point loopStart,
            double baselineMs) {
    state.counters["baseline_ms"] = baselineMs;
    if (state.iterations() > 0 && baselineMs > 0)
        state.counters["x_baseline"] =
            Milliseconds(loopStart) / double(state.iterations()) / baselineMs;
}

bool Ready(benchmark::State& state, const Device& d) {
    if (File().written && d.device) return true;
    state.SkipWithError("set-up failed");
    return false;
}

// The whole creation, file to finished texture.
void BM_CreateTextureFromFile(benchmark::State& state) {
    Device d;
    if (!Ready(state, d)) return;
    const double baselineMs = BaselineMilliseconds();
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        IDirect3DTexture8* texture = nullptr;
        if (FAILED(TxCreateTextureFromFile(d.device, File().path.c_str(), &texture))) {
            state.SkipWithError("creation failed");
            break;
        }
        texture->Release();
    }
    Report(state, loopStart, baselineMs);
}

// The baseline itself, for reference.
void BM_ReadFileAndCopyTopLevel(benchmark::State& state) {
    if (!File().written) {
        state.SkipWithError("set-up failed");
        return;
    }
    Baseline baseline;
    baseline.Run();
    for (auto _ : state)
        if (!baseline.Run()) state.SkipWithError("reading failed");
}

// A texture of the same size and chain created, every level written once
// (first touch of fresh memory) and released.
void BM_AllocateAndTouchTexture(benchmark::State& state) {
    Device d;
    if (!Ready(state, d)) return;
    const double baselineMs = BaselineMilliseconds();
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        IDirect3DTexture8* texture = nullptr;
        if (FAILED(d.device->CreateTexture(kSize, kSize, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                           &texture))) {
            state.SkipWithError("creation failed");
            break;
        }
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DLOCKED_RECT locked;
            if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) continue;
            std::memset(locked.pBits, 0x5A, size_t(locked.Pitch) * (kSize >> level));
            texture->UnlockRect(level);
        }
        texture->Release();
    }
    Report(state, loopStart, baselineMs);
}

// The steps inside, each on its own: decoding the mapped file, filling the
// top level from the decoded pixels, and filtering the chain below it.
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
        if (texture) texture->Release();
        return;
    }
    const RECT rect = {0, 0, LONG(kSize), LONG(kSize)};
    TxLoadSurfaceFromMemory(top, nullptr, nullptr, image.pixels, image.format, image.rowPitch,
                            nullptr, &rect, TX_DEFAULT, 0);
    const double baselineMs = BaselineMilliseconds();
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        HRESULT hr = S_OK;
        switch (state.range(0)) {
        case 0: {
            ImageFile decoded;
            hr = decoded.Load(bytes.data(), UINT(bytes.size()), nullptr, TRUE);
            break;
        }
        case 1:
            hr = TxLoadSurfaceFromMemory(top, nullptr, nullptr, image.pixels, image.format,
                                         image.rowPitch, nullptr, &rect, TX_DEFAULT, 0);
            break;
        default:
            hr = TxFilterTexture(texture, nullptr, 0, TX_DEFAULT);
            break;
        }
        if (FAILED(hr)) {
            state.SkipWithError("step failed");
            break;
        }
    }
    static const char* const kNames[] = {"decode the bitmap", "fill the top level",
                                         "filter the chain"};
    state.SetLabel(kNames[std::min<int64_t>(state.range(0), 2)]);
    Report(state, loopStart, baselineMs);
    top->Release();
    texture->Release();
}

} // namespace

BENCHMARK(BM_CreateTextureFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFileAndCopyTopLevel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllocateAndTouchTexture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Step)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
