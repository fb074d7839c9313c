// Uses the installed library the way an outside program does: a windowless
// device, a texture in each pool, a locked and filled level, CopyRects and
// UpdateTexture, and every reference given back. Exits with 0 only when all
// of it worked and no runtime object is left alive.
#include <tx.h>

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "tx_consumer: %s failed\n", what);
    ++failures;
}

template <class T>
void Release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// Copies a default-pool level (which cannot be locked) into system memory
// and compares it with `expected`.
bool LevelEquals(IDirect3DDevice8* device, IDirect3DSurface8* level, const BYTE* expected,
                 size_t bytes) {
    IDirect3DSurface8* image = nullptr;
    if (FAILED(device->CreateImageSurface(16, 16, D3DFMT_A8R8G8B8, &image))) return false;
    bool same = false;
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(device->CopyRects(level, nullptr, 0, image, nullptr)) &&
        SUCCEEDED(image->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        same = std::memcmp(locked.pBits, expected, bytes) == 0;
        image->UnlockRect();
    }
    Release(image);
    return same;
}

void Run() {
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    Check(direct3d != nullptr, "Direct3DCreate8");
    if (!direct3d) return;

    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.BackBufferWidth = 64;
    parameters.BackBufferHeight = 64;
    parameters.BackBufferFormat = D3DFMT_UNKNOWN;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice8* device = nullptr;
    Check(SUCCEEDED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                           &device)),
          "CreateDevice");
    if (!device) {
        Release(direct3d);
        return;
    }

    const D3DPOOL pools[] = {D3DPOOL_DEFAULT, D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH};
    IDirect3DTexture8* textures[4] = {};
    for (int i = 0; i < 4; ++i)
        Check(
            SUCCEEDED(device->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, pools[i], &textures[i])),
            "CreateTexture");
    IDirect3DTexture8* defaultPool = textures[0];
    IDirect3DTexture8* managed = textures[1];
    IDirect3DTexture8* systemMemory = textures[2];

    BYTE pattern[16 * 16 * 4];
    for (size_t i = 0; i < sizeof pattern; ++i)
        pattern[i] = static_cast<BYTE>(i * 13 + 5);
    D3DLOCKED_RECT locked{};
    if (systemMemory && SUCCEEDED(systemMemory->LockRect(0, &locked, nullptr, 0))) {
        Check(locked.Pitch == 16 * 4, "pitch of a 16-pixel A8R8G8B8 row");
        std::memcpy(locked.pBits, pattern, sizeof pattern);
        Check(SUCCEEDED(systemMemory->UnlockRect(0)), "UnlockRect");
    } else {
        Check(false, "LockRect");
    }

    IDirect3DSurface8* source = nullptr;
    IDirect3DSurface8* managedLevel = nullptr;
    IDirect3DSurface8* defaultLevel = nullptr;
    if (systemMemory && managed && defaultPool) {
        systemMemory->GetSurfaceLevel(0, &source);
        managed->GetSurfaceLevel(0, &managedLevel);
        defaultPool->GetSurfaceLevel(0, &defaultLevel);
    }
    if (source && managedLevel && defaultLevel) {
        Check(SUCCEEDED(device->CopyRects(source, nullptr, 0, managedLevel, nullptr)), "CopyRects");
        if (SUCCEEDED(managedLevel->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            Check(std::memcmp(locked.pBits, pattern, sizeof pattern) == 0,
                  "contents after CopyRects");
            managedLevel->UnlockRect();
        }
        Check(SUCCEEDED(device->UpdateTexture(systemMemory, defaultPool)), "UpdateTexture");
        Check(LevelEquals(device, defaultLevel, pattern, sizeof pattern),
              "contents after UpdateTexture");
    } else {
        Check(false, "GetSurfaceLevel");
    }
    Release(source);
    Release(managedLevel);
    Release(defaultLevel);
    for (IDirect3DTexture8*& texture : textures)
        Release(texture);
    Release(device);
    Release(direct3d);
}

} // namespace

int main() {
    Run();
    const long alive = txplatform::LiveObjectCount();
    if (alive != 0) {
        std::fprintf(stderr, "tx_consumer: %ld runtime objects left alive\n", alive);
        ++failures;
    }
    if (failures == 0) std::printf("tx_consumer: ok\n");
    return failures == 0 ? 0 : 1;
}
