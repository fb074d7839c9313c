#include "viewer/scene.h"

#include <cstring>

#include "viewer/viewer_state.h"

namespace {
const D3DCOLOR kWhite = 0xFFFFFFFFu;
const D3DCOLOR kBlack = 0xFF000000u;
} // namespace

const SceneVertex kSceneVertices[kSceneVertexCount] = {
    {-1.0f, -1.0f, 0.0f, kWhite, 0.0f, 0.0f}, {1.0f, -1.0f, 0.0f, kWhite, 1.0f, 0.0f},
    {0.0f, 1.0f, 0.0f, kWhite, 0.5f, 1.0f},   {0.0f, -1.0f, -1.0f, kBlack, 0.0f, 0.0f},
    {0.0f, -1.0f, 1.0f, kBlack, 1.0f, 0.0f},  {0.0f, 1.0f, 0.0f, kBlack, 0.5f, 1.0f},
};

HRESULT CreateSceneResources() {
    ViewerState& s = viewerState;
    if (!s.device) return E_FAIL;

    // The two scene textures are loaded here, first, once textures can be
    // made from bitmap files: "Black.bmp" into blackTexture, then "White.bmp"
    // into whiteTexture, each failure ending with E_FAIL. Until then the
    // frame shows vertex colours only.

    const UINT length = sizeof kSceneVertices;
    if (FAILED(s.device->CreateVertexBuffer(length, 0, kSceneVertexFormat, D3DPOOL_DEFAULT,
                                            &s.vertexBuffer))) {
        s.vertexBuffer = nullptr;
        return E_FAIL;
    }
    BYTE* data = nullptr;
    if (FAILED(s.vertexBuffer->Lock(0, length, &data, 0))) return E_FAIL;
    std::memcpy(data, kSceneVertices, length);
    s.vertexBuffer->Unlock();
    return S_OK;
}
