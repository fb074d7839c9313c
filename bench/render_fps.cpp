// Frames per second of the multisample viewer's scene, drawn off screen on a
// windowless 400 x 400 device: clear, the two triangles with the viewer's
// transforms and states, and the resolve at EndScene. Presentation is not
// included. The scene turns by 0.1 radian per frame as the viewer's does.
//
//   render_fps                     all sample counts
//   render_fps --benchmark_filter=Frame/4
#include <benchmark/benchmark.h>

#include <cstring>

#include "mathlib/matrix.h"
#include "platform/direct3d8.h"
#include "platform/runtime_control.h"
#include "viewer/scene.h"

namespace {

const UINT kSize = 400;

template <class T>
void Release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// The viewer's objects on a windowless device.
struct Scene {
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DTexture8* black = nullptr;
    IDirect3DTexture8* white = nullptr;
    float angleY = 0.0f;

    bool Create(int samples) {
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        if (!direct3d) return false;
        D3DDISPLAYMODE mode{};
        direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        D3DPRESENT_PARAMETERS p{};
        p.Windowed = TRUE;
        p.BackBufferWidth = kSize;
        p.BackBufferHeight = kSize;
        p.BackBufferFormat = mode.Format;
        p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(samples);
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device)))
            return false;
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        if (FAILED(device->CreateVertexBuffer(sizeof kSceneVertices, 0, kSceneVertexFormat,
                                              D3DPOOL_DEFAULT, &vertices)))
            return false;
        BYTE* bytes = nullptr;
        if (FAILED(vertices->Lock(0, sizeof kSceneVertices, &bytes, 0))) return false;
        std::memcpy(bytes, kSceneVertices, sizeof kSceneVertices);
        vertices->Unlock();
        return MakeTexture(0xFF000000u, &black) && MakeTexture(0xFFFFFFFFu, &white);
    }

    bool MakeTexture(D3DCOLOR colour, IDirect3DTexture8** texture) {
        if (FAILED(device->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture)))
            return false;
        D3DLOCKED_RECT locked{};
        if (FAILED((*texture)->LockRect(0, &locked, nullptr, 0))) return false;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) +
                                            y * locked.Pitch)[x] = colour;
        (*texture)->UnlockRect(0);
        return true;
    }

    void Destroy() {
        Release(vertices);
        Release(black);
        Release(white);
        Release(device);
        Release(direct3d);
    }

    void Frame() {
        // The viewer's spin: 0.1 radian a frame, wrapping at 3.14.
        const double next = angleY + 0.1;
        angleY = next > 3.14 ? -3.14f : static_cast<float>(next);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF700000u, 1.0f, 0);
        device->BeginScene();
        D3DMATRIX rx, ry, rz, a, world, view, projection;
        TxMatrixRotationX(&rx, 0.0f);
        TxMatrixRotationY(&ry, angleY);
        TxMatrixRotationZ(&rz, 0.0f);
        TxMatrixMultiply(&a, &rx, &ry);
        TxMatrixMultiply(&world, &a, &rz);
        device->SetTransform(D3DTS_WORLD, &world);
        const D3DVECTOR eye{0, 3, -5}, at{0, 0, 0}, up{0, 1, 0};
        TxMatrixLookAtLH(&view, &eye, &at, &up);
        device->SetTransform(D3DTS_VIEW, &view);
        TxMatrixPerspectiveFovLH(&projection, 0.785398185f, 1.0f, 1.0f, 100.0f);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetStreamSource(0, vertices, sizeof(SceneVertex));
        device->SetVertexShader(kSceneVertexFormat);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTexture(0, black);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
        device->SetTexture(0, white);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 3, 1);
        device->EndScene();
    }
};

// Steady state: the device and its buffers exist and have been drawn into.
void Frame(benchmark::State& state) {
    Scene scene;
    if (!scene.Create(static_cast<int>(state.range(0)))) {
        scene.Destroy();
        state.SkipWithError("the device could not be created");
        return;
    }
    for (int i = 0; i < 63; ++i) // one turn, so every tile has been touched
        scene.Frame();
    for (auto _ : state)
        scene.Frame();
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    scene.Destroy();
}
BENCHMARK(Frame)->ArgName("samples")->Arg(0)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Unit(
    benchmark::kMicrosecond);

// Making the device and its sample buffers and drawing the first frame,
// which writes fresh memory for the first time.
void FirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        Scene scene;
        if (!scene.Create(static_cast<int>(state.range(0)))) {
            scene.Destroy();
            state.SkipWithError("the device could not be created");
            return;
        }
        scene.Frame();
        scene.Destroy();
    }
}
BENCHMARK(FirstFrame)->ArgName("samples")->Arg(0)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
