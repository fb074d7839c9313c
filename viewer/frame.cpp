#include "viewer/frame.h"

#include "mathlib/matrix.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

namespace {

const double kAngleStep = 0.1;
// The limits are 3.14 rather than pi: the wrap lands exactly on them.
const double kAngleLimit = 3.14;

const D3DCOLOR kClearColour = 0xFF700000u; // opaque dark red
const float kFieldOfView = 0.785398185f;   // pi / 4
const float kAspect = 1.0f;                // whatever the window's shape
const float kNearPlane = 1.0f;
const float kFarPlane = 100.0f;

void DrawTriangle(IDirect3DDevice8* device, IDirect3DTexture8* texture, UINT startVertex) {
    device->SetTexture(0, texture);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, startVertex, 1);
}

} // namespace

void StepAngle(float* angle, int direction) {
    const double moved = static_cast<double>(*angle) + direction * kAngleStep;
    *angle = static_cast<float>(moved);
    if (moved > kAngleLimit)
        *angle = static_cast<float>(-kAngleLimit);
    else if (moved < -kAngleLimit)
        *angle = static_cast<float>(kAngleLimit);
}

void BuildTransforms() {
    ViewerState& s = viewerState;
    // Spinning is tied to frames, not to time.
    if (s.spinX) StepAngle(&s.angleX, +1);
    if (s.spinY) StepAngle(&s.angleY, +1);
    if (s.spinZ) StepAngle(&s.angleZ, +1);

    // Row vectors: a vertex turns about X first, then Y, then Z.
    D3DMATRIX rotationX, rotationY, rotationZ, world;
    TxMatrixRotationX(&rotationX, s.angleX);
    TxMatrixRotationY(&rotationY, s.angleY);
    TxMatrixRotationZ(&rotationZ, s.angleZ);
    TxMatrixMultiply(&world, &rotationX, &rotationY);
    TxMatrixMultiply(&world, &world, &rotationZ);
    s.device->SetTransform(D3DTS_WORLD, &world);

    const D3DVECTOR eye{0.0f, 3.0f, -5.0f};
    const D3DVECTOR at{0.0f, 0.0f, 0.0f};
    const D3DVECTOR up{0.0f, 1.0f, 0.0f};
    D3DMATRIX view;
    TxMatrixLookAtLH(&view, &eye, &at, &up);
    s.device->SetTransform(D3DTS_VIEW, &view);

    D3DMATRIX projection;
    TxMatrixPerspectiveFovLH(&projection, kFieldOfView, kAspect, kNearPlane, kFarPlane);
    s.device->SetTransform(D3DTS_PROJECTION, &projection);
}

void DrawFrame() {
    ViewerState& s = viewerState;
    IDirect3DDevice8* device = s.device;
    if (!device) return;

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    device->BeginScene();
    BuildTransforms();

    device->SetStreamSource(0, s.vertexBuffer, sizeof(SceneVertex));
    device->SetVertexShader(kSceneVertexFormat);
    // A pixel takes either the texture's colour or the vertex colour, never
    // a mixture, and no alpha.
    device->SetTextureStageState(0, D3DTSS_COLOROP,
                                 s.textureColour ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    // Each triangle carries the texture of the opposite colour; only the
    // order in which they reach the depth buffer changes.
    if (!s.swapDrawOrder) {
        DrawTriangle(device, s.blackTexture, kWhiteTriangleStart);
        DrawTriangle(device, s.whiteTexture, kBlackTriangleStart);
    } else {
        DrawTriangle(device, s.whiteTexture, kBlackTriangleStart);
        DrawTriangle(device, s.blackTexture, kWhiteTriangleStart);
    }

    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
