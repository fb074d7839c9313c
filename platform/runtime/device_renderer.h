// Everything a device does about drawing and presentation. The device
// creates its renderer once its back buffers and depth surface exist,
// forwards the drawing calls of IDirect3DDevice8 to it, and destroys it
// before anything else of the device goes.
//
// This build keeps the drawing state only: transforms, viewport, render and
// texture-stage states, the vertex shader, and bindings on the textures and
// vertex buffers set on the device. Clear, DrawPrimitive, DrawPrimitiveUP,
// Present and GetFrontBuffer are not available in it.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Device;

class DeviceRenderer {
public:
    static constexpr DWORD kStages = 8;
    static constexpr UINT kStreams = 16;

    // Creates the renderer of `device`, whose back buffers and depth surface
    // already exist.
    static HRESULT Create(Device& device, std::unique_ptr<DeviceRenderer>* renderer);
    ~DeviceRenderer();
    DeviceRenderer(const DeviceRenderer&) = delete;
    DeviceRenderer& operator=(const DeviceRenderer&) = delete;

    // Called by Device::Reset once the new back buffers and depth surface are
    // in place (the old ones are still alive): every state returns to its
    // default and every binding is dropped.
    HRESULT Reset();

    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil);
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion);
    HRESULT GetFrontBuffer(IDirect3DSurface8* destSurface);

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
    HRESULT SetViewport(const D3DVIEWPORT8* viewport);
    HRESULT GetViewport(D3DVIEWPORT8* viewport);
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value);
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture);
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture);
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount);
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                            const void* vertexStreamZeroData, UINT vertexStreamZeroStride);
    HRESULT SetVertexShader(DWORD handle);
    HRESULT GetVertexShader(DWORD* handle);
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride);
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride);

private:
    explicit DeviceRenderer(Device& device);
    void SetDefaults();

    // Render states are numbered below this bound.
    static constexpr DWORD kRenderStates = 256;
    // Texture-stage state types are numbered below this bound.
    static constexpr DWORD kStageStates = 32;
    // Transform states are numbered below this bound (the world matrices
    // take 256 to 511).
    static constexpr DWORD kTransforms = 512;

    struct Stream {
        Binding<IDirect3DVertexBuffer8> buffer;
        UINT stride = 0;
    };

    Device& device_;
    bool inScene_ = false;
    D3DMATRIX transforms_[kTransforms]{};
    D3DVIEWPORT8 viewport_{};
    DWORD renderStates_[kRenderStates]{};
    DWORD stageStates_[kStages][kStageStates]{};
    Binding<IDirect3DBaseTexture8> textures_[kStages];
    Stream streams_[kStreams];
    DWORD vertexShader_ = 0;
};

} // namespace txruntime
