#include "viewer/scene.h"

#include <cstring>

#include "texture/texture.h"
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

    // Read again on every device, from the working folder: a bitmap that
    // changed between two reconfigurations shows after the second. Each
    // triangle carries the texture of the opposite colour to its vertices.
    if (FAILED(TxCreateTextureFromFile(s.device, "Black.bmp", &s.blackTexture))) return E_FAIL;
    if (FAILED(TxCreateTextureFromFile(s.device, "White.bmp", &s.whiteTexture))) return E_FAIL;

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
