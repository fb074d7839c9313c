#include "platform/runtime/device.h"

#include <new>

#include "platform/runtime/adapter_profile.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/device_renderer.h"
#include "platform/runtime/direct3d.h"
#include "platform/runtime/display_state.h"
#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/vertex_buffer.h"

namespace txruntime {

struct Device::Buffers {
    std::unique_ptr<std::unique_ptr<Surface>[]> backBuffers;
    UINT backBufferCount = 0;
    std::unique_ptr<Surface> depthStencil;

    // True while the program holds a reference taken through one of them.
    bool Referenced() const {
        for (UINT i = 0; i < backBufferCount; ++i)
            if (backBuffers[i]->ReferenceCount() > 0) return true;
        return depthStencil && depthStencil->ReferenceCount() > 0;
    }
};

Device::Device(Direct3D& direct3d, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
               const Presentation& presentation)
    : Implements<IDirect3DDevice8>(static_cast<IDirect3D8*>(&direct3d)), direct3d_(direct3d),
      deviceType_(deviceType), focusWindow_(focusWindow), behaviorFlags_(behaviorFlags),
      presentation_(presentation) {}

Device::~Device() {
    // The renderer goes first: it drops its bindings and may still look at
    // the back buffers while it does.
    renderer_.reset();
    buffers_.reset();
    ReleaseDisplay(this);
}

HRESULT Device::MakeBuffers(const Presentation& presentation, std::unique_ptr<Buffers>* buffers,
                            const char* call) {
    const D3DPRESENT_PARAMETERS& p = presentation.parameters;
    std::unique_ptr<Buffers> made(new (std::nothrow) Buffers);
    if (made)
        made->backBuffers.reset(new (std::nothrow) std::unique_ptr<Surface>[p.BackBufferCount]);
    if (!made || !made->backBuffers)
        return Fail(E_OUTOFMEMORY, call, "no memory for the back buffers");
    const SurfaceInfo backBuffer{
        p.BackBufferFormat,
        D3DUSAGE_RENDERTARGET,
        D3DPOOL_DEFAULT,
        p.MultiSampleType,
        p.BackBufferWidth,
        p.BackBufferHeight,
        (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)
            ? nullptr
            : "the back buffer was not created with D3DPRESENTFLAG_LOCKABLE_BACKBUFFER"};
    IUnknown& self = *static_cast<IDirect3DDevice8*>(this);
    for (UINT i = 0; i < p.BackBufferCount; ++i) {
        if (HRESULT hr =
                Surface::CreatePart(*this, self, *this, backBuffer, call, &made->backBuffers[i]);
            FAILED(hr))
            return hr;
        made->backBufferCount = i + 1;
    }
    if (p.EnableAutoDepthStencil) {
        const SurfaceInfo depth{
            p.AutoDepthStencilFormat,
            D3DUSAGE_DEPTHSTENCIL,
            D3DPOOL_DEFAULT,
            p.MultiSampleType,
            p.BackBufferWidth,
            p.BackBufferHeight,
            DepthSurfaceNotLockable(p.AutoDepthStencilFormat, p.MultiSampleType)};
        if (HRESULT hr = Surface::CreatePart(*this, self, *this, depth, call, &made->depthStencil);
            FAILED(hr))
            return hr;
    }
    *buffers = std::move(made);
    return D3D_OK;
}

HRESULT Device::Create(Direct3D& direct3d, D3DDEVTYPE deviceType, HWND focusWindow,
                       DWORD behaviorFlags, const Presentation& presentation,
                       IDirect3DDevice8** device) {
    const char* call = "CreateDevice";
    std::unique_ptr<Device> made(
        new (std::nothrow) Device(direct3d, deviceType, focusWindow, behaviorFlags, presentation));
    if (!made) return Fail(E_OUTOFMEMORY, call, "no memory for the device");
    if (!presentation.parameters.Windowed && !ClaimDisplay(made.get(), presentation.fullScreenMode))
        return Fail(D3DERR_INVALIDCALL, call, "another device holds the display full screen");
    if (HRESULT hr = made->MakeBuffers(presentation, &made->buffers_, call); FAILED(hr)) return hr;
    if (HRESULT hr = DeviceRenderer::Create(*made, &made->renderer_); FAILED(hr)) return hr;
    HandOut(made.release(), device);
    return D3D_OK;
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice8)
        return AnswerInterface<IDirect3DDevice8>(this, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

// The software device is never lost.
HRESULT Device::TestCooperativeLevel() {
    return D3D_OK;
}

UINT Device::GetAvailableTextureMem() {
    return Profile().textureMemory;
}

HRESULT Device::GetDirect3D(IDirect3D8** direct3d) {
    if (!direct3d) return Fail(D3DERR_INVALIDCALL, "GetDirect3D", "null result pointer");
    HandOut(&direct3d_, direct3d);
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return Fail(D3DERR_INVALIDCALL, "GetDeviceCaps", "null result pointer");
    FillCaps(Profile(), deviceType_, caps);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return Fail(D3DERR_INVALIDCALL, "GetDisplayMode", "null result pointer");
    *mode = DisplayMode();
    return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    if (!parameters)
        return Fail(D3DERR_INVALIDCALL, "GetCreationParameters", "null result pointer");
    parameters->AdapterOrdinal = D3DADAPTER_DEFAULT;
    parameters->DeviceType = deviceType_;
    parameters->hFocusWindow = focusWindow_;
    parameters->BehaviorFlags = behaviorFlags_;
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* presentationParameters) {
    const char* call = "Reset";
    if (!presentationParameters) return Fail(D3DERR_INVALIDCALL, call, "null parameters");
    Presentation next{};
    if (HRESULT hr =
            ResolvePresentation(Profile(), call, focusWindow_, *presentationParameters, &next);
        FAILED(hr))
        return hr;
    if (buffers_->Referenced())
        return Fail(D3DERR_INVALIDCALL, call,
                    "references to the back buffer or depth surface are still held");
    std::unique_ptr<Buffers> buffers;
    if (HRESULT hr = MakeBuffers(next, &buffers, call); FAILED(hr)) return hr;
    if (next.parameters.Windowed) {
        ReleaseDisplay(this);
    } else if (!ClaimDisplay(this, next.fullScreenMode)) {
        return Fail(D3DERR_INVALIDCALL, call, "another device holds the display full screen");
    }
    presentation_ = next;
    // The old buffers stay alive until the renderer has moved to the new ones.
    buffers_.swap(buffers);
    const HRESULT hr = renderer_->Reset();
    *presentationParameters = presentation_.parameters;
    return hr;
}

HRESULT Device::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface8** backBufferSurface) {
    const char* call = "GetBackBuffer";
    if (!backBufferSurface) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *backBufferSurface = nullptr;
    if (type != D3DBACKBUFFER_TYPE_MONO)
        return Fail(D3DERR_INVALIDCALL, call, "unknown back-buffer type %u",
                    static_cast<unsigned>(type));
    Surface* surface = BackBuffer(backBuffer);
    if (!surface)
        return Fail(D3DERR_INVALIDCALL, call, "back buffer %u of %u", backBuffer,
                    BackBufferCount());
    HandOut(surface, backBufferSurface);
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(IDirect3DSurface8** renderTarget) {
    if (!renderTarget) return Fail(D3DERR_INVALIDCALL, "GetRenderTarget", "null result pointer");
    HandOut(BackBuffer(0), renderTarget);
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) {
    const char* call = "GetDepthStencilSurface";
    if (!zStencilSurface) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *zStencilSurface = nullptr;
    Surface* depth = DepthStencil();
    if (!depth) return Fail(D3DERR_NOTFOUND, call, "the device has no depth-stencil surface");
    HandOut(depth, zStencilSurface);
    return D3D_OK;
}

const D3DPRESENT_PARAMETERS& Device::PresentationParameters() const {
    return presentation_.parameters;
}

HWND Device::PresentationWindow() const {
    return presentation_.window;
}

bool Device::IsWindowed() const {
    return presentation_.parameters.Windowed != FALSE;
}

D3DDISPLAYMODE Device::DisplayMode() const {
    return IsWindowed() ? direct3d_.CurrentDisplayMode() : presentation_.fullScreenMode;
}

const AdapterProfile& Device::Profile() const {
    return direct3d_.Profile();
}

UINT Device::BackBufferCount() const {
    return buffers_->backBufferCount;
}

Surface* Device::BackBuffer(UINT index) const {
    return index < buffers_->backBufferCount ? buffers_->backBuffers[index].get() : nullptr;
}

Surface* Device::DepthStencil() const {
    return buffers_->depthStencil.get();
}

TextureLevels* Device::UsableTexture(IDirect3DBaseTexture8* texture, const char* call) const {
    ResourceInfo* resource = RuntimeCast<ResourceInfo>(texture);
    TextureLevels* levels = RuntimeCast<TextureLevels>(texture);
    if (!resource || !levels) {
        Fail(D3DERR_INVALIDCALL, call, "not a texture of this runtime");
        return nullptr;
    }
    if (&resource->OwningDevice() != this) {
        Fail(D3DERR_INVALIDCALL, call, "the texture belongs to another device");
        return nullptr;
    }
    if (resource->Pool() == D3DPOOL_SCRATCH) {
        Fail(D3DERR_INVALIDCALL, call, "scratch-pool textures cannot be used by the device");
        return nullptr;
    }
    return levels;
}

VertexBuffer* Device::UsableVertexBuffer(IDirect3DVertexBuffer8* vertexBuffer,
                                         const char* call) const {
    VertexBuffer* buffer = RuntimeCast<VertexBuffer>(vertexBuffer);
    if (!buffer) {
        Fail(D3DERR_INVALIDCALL, call, "not a vertex buffer of this runtime");
        return nullptr;
    }
    if (&buffer->OwningDevice() != this) {
        Fail(D3DERR_INVALIDCALL, call, "the vertex buffer belongs to another device");
        return nullptr;
    }
    return buffer;
}

} // namespace txruntime
