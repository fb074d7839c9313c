// The drawing and presentation calls of the device, all handled by its
// renderer.
#include "platform/runtime/device.h"
#include "platform/runtime/device_renderer.h"

namespace txruntime {

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion) {
    return renderer_->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
}

HRESULT Device::GetFrontBuffer(IDirect3DSurface8* destSurface) {
    return renderer_->GetFrontBuffer(destSurface);
}

HRESULT Device::BeginScene() {
    return renderer_->BeginScene();
}

HRESULT Device::EndScene() {
    return renderer_->EndScene();
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    return renderer_->Clear(count, rects, flags, color, z, stencil);
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    return renderer_->SetTransform(state, matrix);
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    return renderer_->GetTransform(state, matrix);
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport) {
    return renderer_->SetViewport(viewport);
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport) {
    return renderer_->GetViewport(viewport);
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    return renderer_->SetRenderState(state, value);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    return renderer_->GetRenderState(state, value);
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    return renderer_->GetTexture(stage, texture);
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    return renderer_->SetTexture(stage, texture);
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    return renderer_->GetTextureStageState(stage, type, value);
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    return renderer_->SetTextureStageState(stage, type, value);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                              UINT primitiveCount) {
    return renderer_->DrawPrimitive(primitiveType, startVertex, primitiveCount);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                const void* vertexStreamZeroData, UINT vertexStreamZeroStride) {
    return renderer_->DrawPrimitiveUP(primitiveType, primitiveCount, vertexStreamZeroData,
                                      vertexStreamZeroStride);
}

HRESULT Device::SetVertexShader(DWORD handle) {
    return renderer_->SetVertexShader(handle);
}

HRESULT Device::GetVertexShader(DWORD* handle) {
    return renderer_->GetVertexShader(handle);
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData,
                                UINT stride) {
    return renderer_->SetStreamSource(streamNumber, streamData, stride);
}

HRESULT Device::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData,
                                UINT* stride) {
    return renderer_->GetStreamSource(streamNumber, streamData, stride);
}

} // namespace txruntime
