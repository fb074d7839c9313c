// Everything a device does about drawing and presentation. The device
// creates its renderer once its back buffers and depth surface exist,
// forwards the drawing calls of IDirect3DDevice8 to it, and destroys it
// before anything else of the device goes.
//
// The renderer keeps the drawing state (transforms, viewport, render and
// texture-stage states, the vertex shader, bindings on the textures and
// vertex buffers set on the device) and draws with the software rasterizer
// into a sample buffer of its own: one value per sample of back buffer 0
// and of the automatic depth surface. The back buffer's memory receives the
// resolved picture at EndScene and Present; memory the program wrote itself
// (a lockable back buffer, a copy into it) is taken back before the next
// drawing call. Present shows the picture in the device's window, stretched
// to its client area; a full-screen device covers the screen with its window
// and keeps the picture's aspect.
#pragma once

#include <memory>
#include <vector>

#include "platform/direct3d8.h"
#include "platform/raster/rasterizer.h"
#include "platform/raster/sample_buffer.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Device;
class Surface;

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
    // default, every binding is dropped and the sample buffers follow the new
    // back buffer.
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
    // Makes the sample buffers match back buffer 0 and the depth surface.
    HRESULT PrepareTarget(const char* call);
    // A full-screen device's window covers the screen; a windowed one's not.
    void FollowWindowMode();

    // Takes back what the program wrote into the back buffer's or the depth
    // surface's memory since the renderer last wrote it.
    HRESULT TakeProgramWrites(const char* call);
    // Writes the resolved picture (and a lockable depth surface) into the
    // surfaces' memory when drawing changed them.
    HRESULT WriteSurfaces(const char* call);
    // The back buffer as A8R8G8B8: its own memory for the 32-bit formats,
    // else a decoded copy. Pitch in pixels.
    HRESULT BackBufferPicture(const char* call, const uint32_t** pixels, size_t* pitch);

    HRESULT Draw(const char* call, D3DPRIMITIVETYPE type, UINT primitives,
                 const unsigned char* vertices, size_t vertexCount, UINT stride);
    HRESULT BuildPipeline(const char* call, txraster::PipelineState* state,
                          txraster::TextureImage* texture);
    // Level 0 (or the level of detail) of the texture on stage 0 as
    // A8R8G8B8, converted once per change of its memory.
    HRESULT StageTexture(const char* call, txraster::TextureImage* image, bool* found);

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

    struct CachedTexture {
        const Surface* surface = nullptr;
        uint64_t stamp = 0;
        int width = 0;
        int height = 0;
        std::vector<uint32_t> texels;
        uint64_t lastUse = 0;
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

    txraster::SampleBuffer target_;
    txraster::Rasterizer rasterizer_;
    bool colourDrawn_ = false; // samples differ from the back buffer's memory
    bool depthDrawn_ = false;
    uint64_t colourStamp_ = 0; // the back buffer's stamp when last in step
    uint64_t depthStamp_ = 0;
    std::vector<uint32_t> scratch_;     // back-buffer-sized A8R8G8B8 picture
    std::vector<uint32_t> windowImage_; // what Present puts in the window
    std::vector<uint32_t> screen_;      // a full-screen device's display
    int screenWidth_ = 0, screenHeight_ = 0;
    HWND fullScreenWindow_ = nullptr;
    std::vector<CachedTexture> textureCache_;
    uint64_t textureUses_ = 0;
};

} // namespace txruntime
