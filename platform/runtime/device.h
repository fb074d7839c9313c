// The device: resource creation, copies, the back buffers and depth surface,
// and the doorway to the renderer (DeviceRenderer), which owns everything
// about drawing and presentation.
//
// What the renderer may use of a device is the part below marked "For the
// renderer"; storage of surfaces, volumes and vertex buffers is reached
// through Surface::Storage, Volume::Storage and VertexBuffer::Bytes, and the
// runtime objects behind interface pointers through RuntimeCast.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/presentation.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Direct3D;
class DeviceRenderer;
class Surface;
class TextureLevels;
class VertexBuffer;
struct AdapterProfile;

class Device final : public Implements<IDirect3DDevice8> {
public:
    // Creates a device for presentation parameters that ResolvePresentation
    // accepted.
    static HRESULT Create(Direct3D& direct3d, D3DDEVTYPE deviceType, HWND focusWindow,
                          DWORD behaviorFlags, const Presentation& presentation,
                          IDirect3DDevice8** device);
    ~Device() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D8** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface8** backBufferSurface) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture8** texture) override;
    HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool,
                                IDirect3DVolumeTexture8** volumeTexture) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture8** cubeTexture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** vertexBuffer) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                               D3DMULTISAMPLE_TYPE multiSample, BOOL lockable,
                               IDirect3DSurface8** surface) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample,
                                      IDirect3DSurface8** surface) override;
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               IDirect3DSurface8** surface) override;
    HRESULT CopyRects(IDirect3DSurface8* sourceSurface, const RECT* sourceRects, UINT rectCount,
                      IDirect3DSurface8* destinationSurface, const POINT* destPoints) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                          IDirect3DBaseTexture8* destinationTexture) override;
    HRESULT GetFrontBuffer(IDirect3DSurface8* destSurface) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                          UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                            const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData,
                            UINT* stride) override;

    // ---- For the renderer (and the rest of the runtime) ----

    // The presentation parameters as the device resolved them: the back
    // buffer's size, format and count are filled in.
    const D3DPRESENT_PARAMETERS& PresentationParameters() const;
    // The focus window given to CreateDevice (may be null for an off-screen
    // device).
    HWND FocusWindow() const { return focusWindow_; }
    // The window that shows the back buffer: hDeviceWindow, else the focus
    // window; null for an off-screen device.
    HWND PresentationWindow() const;
    bool IsWindowed() const;
    D3DDEVTYPE DeviceType() const { return deviceType_; }
    // The display mode the device shows: its own mode full screen, the
    // adapter's mode windowed.
    D3DDISPLAYMODE DisplayMode() const;
    const AdapterProfile& Profile() const;
    Direct3D& Owner() const { return direct3d_; }

    UINT BackBufferCount() const;
    // Back buffer `index` (0 is the one drawn into); null past the count.
    Surface* BackBuffer(UINT index) const;
    // The automatic depth-stencil surface, or null without one.
    Surface* DepthStencil() const;
    DeviceRenderer& Renderer() const { return *renderer_; }

    // The runtime texture or vertex buffer behind an interface pointer when
    // this device may use it: one of its own and not in the scratch pool.
    // Null otherwise, with a debug line naming `call`.
    TextureLevels* UsableTexture(IDirect3DBaseTexture8* texture, const char* call) const;
    VertexBuffer* UsableVertexBuffer(IDirect3DVertexBuffer8* vertexBuffer, const char* call) const;

private:
    struct Buffers; // the back buffers and the depth surface
    Device(Direct3D& direct3d, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
           const Presentation& presentation);
    HRESULT MakeBuffers(const Presentation& presentation, std::unique_ptr<Buffers>* buffers,
                        const char* call);

    Direct3D& direct3d_;
    D3DDEVTYPE deviceType_;
    HWND focusWindow_;
    DWORD behaviorFlags_;
    Presentation presentation_;
    std::unique_ptr<Buffers> buffers_;
    // Declared last so that it is destroyed first; ~Device also resets it
    // explicitly before anything else goes.
    std::unique_ptr<DeviceRenderer> renderer_;
};

} // namespace txruntime
