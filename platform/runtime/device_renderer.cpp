#include "platform/runtime/device_renderer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/raster/image_ops.h"
#include "platform/raster/shading.h"
#include "platform/raster/texel_decode.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/vertex_buffer.h"
#include "platform/screen_capture.h"
#include "platform/win32_ui.h"
#include "platform/window_host.h"

namespace txruntime {

namespace {

// Render states the renderer reads that the shared header does not name.
constexpr DWORD kRenderStateTextureFactor = 60;
constexpr DWORD kShadeFlat = 1;

// Converted textures kept at once; the viewer uses two.
constexpr size_t kTextureCacheSize = 8;

bool IsTransformState(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) || (state >= 256 && state < 512);
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool HasStencil(D3DFORMAT format) {
    return format == D3DFMT_D15S1 || format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4;
}

bool ThirtyTwoBit(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// Depth the program can read back: only a lockable D16 surface without
// multisampling keeps its values in memory.
bool ReadableDepth(const Surface* depth) {
    return depth && depth->Info().format == D3DFMT_D16_LOCKABLE &&
           depth->Info().multiSample == D3DMULTISAMPLE_NONE;
}

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool RectWithin(const RECT& r, LONG width, LONG height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
           r.bottom <= height;
}

template <class T>
bool Resize(std::vector<T>& v, size_t count) {
    try {
        v.resize(count);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

DeviceRenderer::DeviceRenderer(Device& device) : device_(device) {
    SetDefaults();
}

DeviceRenderer::~DeviceRenderer() {
    if (fullScreenWindow_) txplatform::LeaveFullScreen(fullScreenWindow_);
}

HRESULT DeviceRenderer::Create(Device& device, std::unique_ptr<DeviceRenderer>* renderer) {
    std::unique_ptr<DeviceRenderer> made(new (std::nothrow) DeviceRenderer(device));
    if (!made) return Fail(E_OUTOFMEMORY, "CreateDevice", "no memory for the renderer");
    if (HRESULT hr = made->PrepareTarget("CreateDevice"); FAILED(hr)) return hr;
    made->FollowWindowMode();
    *renderer = std::move(made);
    return D3D_OK;
}

void DeviceRenderer::SetDefaults() {
    inScene_ = false;
    for (D3DMATRIX& m : transforms_)
        m = Identity();
    const Surface* backBuffer = device_.BackBuffer(0);
    viewport_ = {0, 0, backBuffer->Info().width, backBuffer->Info().height, 0.0f, 1.0f};

    for (DWORD& value : renderStates_)
        value = 0;
    renderStates_[D3DRS_ZENABLE] =
        device_.PresentationParameters().EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates_[D3DRS_FILLMODE] = 3;  // solid
    renderStates_[D3DRS_SHADEMODE] = 2; // Gouraud
    renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates_[D3DRS_SRCBLEND] = 2;  // one
    renderStates_[D3DRS_DESTBLEND] = 1; // zero
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates_[kRenderStateTextureFactor] = 0xFFFFFFFFu;
    renderStates_[D3DRS_LIGHTING] = TRUE;
    renderStates_[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    renderStates_[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;

    for (DWORD stage = 0; stage < kStages; ++stage) {
        DWORD* s = stageStates_[stage];
        for (DWORD type = 0; type < kStageStates; ++type)
            s[type] = 0;
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        textures_[stage].Reset();
    }
    for (Stream& stream : streams_) {
        stream.buffer.Reset();
        stream.stride = 0;
    }
    vertexShader_ = 0;
}

HRESULT DeviceRenderer::PrepareTarget(const char* call) {
    const Surface* backBuffer = device_.BackBuffer(0);
    const Surface* depth = device_.DepthStencil();
    const SurfaceInfo& info = backBuffer->Info();
    const int samples =
        info.multiSample == D3DMULTISAMPLE_NONE ? 1 : static_cast<int>(info.multiSample);
    if (!txraster::CanEncodeFormat(info.format))
        return Fail(D3DERR_INVALIDCALL, call, "cannot draw into a %s back buffer",
                    FormatName(info.format));
    HRESULT hr = target_.Allocate(static_cast<int>(info.width), static_cast<int>(info.height),
                                  samples, depth != nullptr);
    if (FAILED(hr))
        return Fail(hr == E_OUTOFMEMORY ? E_OUTOFMEMORY : D3DERR_INVALIDCALL, call,
                    "no sample buffer for %ux%u with %d samples", info.width, info.height, samples);
    // The fresh samples read as colour 0, which is what the zeroed memory of
    // a new back buffer holds; a depth surface starts undefined.
    colourStamp_ = backBuffer->Pixels().Stamp();
    depthStamp_ = depth ? depth->Pixels().Stamp() : 0;
    colourDrawn_ = depthDrawn_ = false;
    textureCache_.clear();
    screen_.clear();
    screenWidth_ = screenHeight_ = 0;
    return D3D_OK;
}

void DeviceRenderer::FollowWindowMode() {
    HWND wanted = device_.IsWindowed() ? nullptr : device_.PresentationWindow();
    if (fullScreenWindow_ && fullScreenWindow_ != wanted) {
        txplatform::LeaveFullScreen(fullScreenWindow_);
        fullScreenWindow_ = nullptr;
    }
    if (wanted && !fullScreenWindow_ && txplatform::EnterFullScreen(wanted))
        fullScreenWindow_ = wanted;
}

HRESULT DeviceRenderer::Reset() {
    SetDefaults();
    if (HRESULT hr = PrepareTarget("Reset"); FAILED(hr)) return hr;
    FollowWindowMode();
    return D3D_OK;
}

HRESULT DeviceRenderer::BeginScene() {
    if (inScene_) return Fail(D3DERR_INVALIDCALL, "BeginScene", "a scene is already open");
    inScene_ = true;
    return D3D_OK;
}

HRESULT DeviceRenderer::EndScene() {
    if (!inScene_) return Fail(D3DERR_INVALIDCALL, "EndScene", "no scene is open");
    inScene_ = false;
    return WriteSurfaces("EndScene");
}

// ---------------------------------------------------------------------------
// The sample buffer and the surfaces' memory
// ---------------------------------------------------------------------------

HRESULT DeviceRenderer::TakeProgramWrites(const char* call) {
    Surface* backBuffer = device_.BackBuffer(0);
    const PixelStorage& pixels = backBuffer->Pixels();
    if (pixels.Stamp() != colourStamp_) {
        const StorageView view = backBuffer->Storage();
        const size_t width = view.width, height = view.height;
        if (!Resize(scratch_, width * height))
            return Fail(E_OUTOFMEMORY, call, "no memory to read the back buffer");
        txraster::DecodeTexels(view.format, view.bits, view.rowPitch, static_cast<int>(width),
                               static_cast<int>(height), scratch_.data(), width);
        target_.LoadColour(scratch_.data(), width);
        colourStamp_ = pixels.Stamp();
        colourDrawn_ = false;
    }
    const Surface* depth = device_.DepthStencil();
    if (ReadableDepth(depth) && depth->Pixels().Stamp() != depthStamp_) {
        const StorageView view = depth->Storage();
        target_.LoadDepth(reinterpret_cast<const uint16_t*>(view.bits), view.rowPitch / 2);
        depthStamp_ = depth->Pixels().Stamp();
        depthDrawn_ = false;
    }
    return D3D_OK;
}

HRESULT DeviceRenderer::WriteSurfaces(const char* call) {
    if (colourDrawn_) {
        Surface* backBuffer = device_.BackBuffer(0);
        const StorageView view = backBuffer->Storage();
        if (ThirtyTwoBit(view.format)) {
            target_.Resolve(target_.Bounds(), reinterpret_cast<uint32_t*>(view.bits),
                            view.rowPitch);
        } else {
            const size_t width = view.width;
            if (!Resize(scratch_, width * view.height))
                return Fail(E_OUTOFMEMORY, call, "no memory to resolve the back buffer");
            target_.Resolve(target_.Bounds(), scratch_.data(), width * 4);
            txraster::EncodeTexels(view.format, scratch_.data(), width, static_cast<int>(width),
                                   static_cast<int>(view.height), view.bits, view.rowPitch);
        }
        backBuffer->Pixels().MarkWritten();
        colourStamp_ = backBuffer->Pixels().Stamp();
        colourDrawn_ = false;
    }
    if (depthDrawn_) {
        const Surface* depth = device_.DepthStencil();
        if (ReadableDepth(depth)) {
            const StorageView view = depth->Storage();
            target_.ReadDepth(reinterpret_cast<uint16_t*>(view.bits), view.rowPitch / 2);
            depth->Pixels().MarkWritten();
            depthStamp_ = depth->Pixels().Stamp();
        }
        depthDrawn_ = false;
    }
    return D3D_OK;
}

HRESULT DeviceRenderer::BackBufferPicture(const char* call, const uint32_t** pixels,
                                          size_t* pitch) {
    const StorageView view = device_.BackBuffer(0)->Storage();
    if (ThirtyTwoBit(view.format)) {
        *pixels = reinterpret_cast<const uint32_t*>(view.bits);
        *pitch = view.rowPitch / 4;
        return D3D_OK;
    }
    const size_t width = view.width;
    if (!Resize(scratch_, width * view.height))
        return Fail(E_OUTOFMEMORY, call, "no memory to read the back buffer");
    txraster::DecodeTexels(view.format, view.bits, view.rowPitch, static_cast<int>(width),
                           static_cast<int>(view.height), scratch_.data(), width);
    *pixels = scratch_.data();
    *pitch = width;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Clearing, presenting, reading the screen
// ---------------------------------------------------------------------------

HRESULT DeviceRenderer::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                              float z, DWORD) {
    const char* call = "Clear";
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if (flags == 0 || (flags & ~known)) return Fail(D3DERR_INVALIDCALL, call, "flags 0x%x", flags);
    const Surface* depth = device_.DepthStencil();
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth)
        return Fail(D3DERR_INVALIDCALL, call, "the device has no depth buffer");
    if ((flags & D3DCLEAR_STENCIL) && !HasStencil(depth->Info().format))
        return Fail(D3DERR_INVALIDCALL, call, "the depth buffer has no stencil");
    if (count > 0 && !rects)
        return Fail(D3DERR_INVALIDCALL, call, "%u rectangles, none given", count);
    if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f))
        return Fail(D3DERR_INVALIDCALL, call, "depth %g outside [0, 1]", z);
    if (HRESULT hr = TakeProgramWrites(call); FAILED(hr)) return hr;

    // Only the viewport is cleared, and of it only the rectangles asked.
    const RECT viewport{static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                        static_cast<LONG>(viewport_.X + viewport_.Width),
                        static_cast<LONG>(viewport_.Y + viewport_.Height)};
    const uint16_t depthValue = txraster::DepthToD16(z);
    const DWORD areas = count > 0 ? count : 1;
    for (DWORD i = 0; i < areas; ++i) {
        const RECT area =
            count > 0
                ? Intersect(RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}, viewport)
                : viewport;
        if (area.left >= area.right || area.top >= area.bottom) continue;
        if (flags & D3DCLEAR_TARGET) target_.ClearColour(area, color);
        if (flags & D3DCLEAR_ZBUFFER) target_.ClearDepth(area, depthValue);
    }
    // The stencil part of a depth-stencil format is not kept: nothing reads
    // it.
    colourDrawn_ = colourDrawn_ || (flags & D3DCLEAR_TARGET);
    depthDrawn_ = depthDrawn_ || (flags & D3DCLEAR_ZBUFFER);
    return D3D_OK;
}

HRESULT DeviceRenderer::Present(const RECT* sourceRect, const RECT* destRect,
                                HWND destWindowOverride, const void*) {
    const char* call = "Present";
    if (inScene_) return Fail(D3DERR_INVALIDCALL, call, "a scene is open");
    HWND window = destWindowOverride ? destWindowOverride : device_.PresentationWindow();
    if (!window) return Fail(D3DERR_INVALIDCALL, call, "an off-screen device has no window");
    RECT client{};
    if (!GetClientRect(window, &client) || window == GetDesktopWindow())
        return Fail(D3DERR_INVALIDCALL, call, "no window %p", static_cast<void*>(window));

    if (HRESULT hr = TakeProgramWrites(call); FAILED(hr)) return hr;
    if (HRESULT hr = WriteSurfaces(call); FAILED(hr)) return hr;
    const SurfaceInfo& info = device_.BackBuffer(0)->Info();
    const LONG width = static_cast<LONG>(info.width), height = static_cast<LONG>(info.height);
    const RECT from = sourceRect ? *sourceRect : RECT{0, 0, width, height};
    if (!RectWithin(from, width, height))
        return Fail(D3DERR_INVALIDCALL, call, "source rectangle outside the %ldx%ld back buffer",
                    static_cast<long>(width), static_cast<long>(height));
    const LONG clientWidth = client.right, clientHeight = client.bottom;
    if (clientWidth <= 0 || clientHeight <= 0) return D3D_OK; // nothing to show it on
    // Full screen keeps the picture's aspect on whatever screen there is.
    const RECT to = destRect ? *destRect
                    : device_.IsWindowed()
                        ? RECT{0, 0, clientWidth, clientHeight}
                        : txraster::FitKeepingAspect(from.right - from.left, from.bottom - from.top,
                                                     clientWidth, clientHeight);
    if (!RectWithin(to, clientWidth, clientHeight))
        return Fail(D3DERR_INVALIDCALL, call,
                    "destination rectangle outside the %ldx%ld client area",
                    static_cast<long>(clientWidth), static_cast<long>(clientHeight));

    const uint32_t* picture = nullptr;
    size_t pitch = 0;
    if (HRESULT hr = BackBufferPicture(call, &picture, &pitch); FAILED(hr)) return hr;
    const size_t clientPixels = size_t(clientWidth) * size_t(clientHeight);
    const bool whole =
        to.left == 0 && to.top == 0 && to.right == clientWidth && to.bottom == clientHeight;
    std::vector<uint32_t> previous;
    int previousWidth = 0, previousHeight = 0;
    // Outside the destination the window keeps what it showed.
    if (!whole) txplatform::ReadWindowImage(window, &previous, &previousWidth, &previousHeight);
    if (!Resize(windowImage_, clientPixels))
        return Fail(E_OUTOFMEMORY, call, "no memory for a %ldx%ld picture",
                    static_cast<long>(clientWidth), static_cast<long>(clientHeight));
    if (previousWidth == clientWidth && previousHeight == clientHeight)
        std::copy(previous.begin(), previous.end(), windowImage_.begin());
    else if (!whole)
        std::fill(windowImage_.begin(), windowImage_.end(), 0xFF000000u);
    txraster::StretchNearest(picture, pitch, from, windowImage_.data(), size_t(clientWidth), to);
    for (LONG y = to.top; y < to.bottom; ++y) {
        // The alpha byte of an X8 back buffer means nothing on the screen.
        uint32_t* row = windowImage_.data() + size_t(y) * size_t(clientWidth);
        for (LONG x = to.left; x < to.right; ++x)
            row[x] |= 0xFF000000u;
    }
    txplatform::ShowWindowImage(window, windowImage_.data(), clientWidth, clientHeight,
                                size_t(clientWidth) * 4);

    if (!device_.IsWindowed()) {
        // The display of a full-screen device is in the device's mode, which
        // is the back buffer's size: that is what GetFrontBuffer reads.
        if (!Resize(screen_, size_t(width) * size_t(height)))
            return Fail(E_OUTOFMEMORY, call, "no memory for the screen");
        screenWidth_ = width;
        screenHeight_ = height;
        std::fill(screen_.begin(), screen_.end(), 0xFF000000u);
        txraster::StretchNearest(picture, pitch, from, screen_.data(), size_t(width),
                                 RECT{0, 0, width, height});
        for (uint32_t& pixel : screen_)
            pixel |= 0xFF000000u;
    }
    return D3D_OK;
}

HRESULT DeviceRenderer::GetFrontBuffer(IDirect3DSurface8* destSurface) {
    const char* call = "GetFrontBuffer";
    Surface* surface = RuntimeCast<Surface>(destSurface);
    if (!surface) return Fail(D3DERR_INVALIDCALL, call, "no destination surface");
    if (&surface->OwningDevice() != &device_)
        return Fail(D3DERR_INVALIDCALL, call, "the surface belongs to another device");
    const SurfaceInfo& info = surface->Info();
    const D3DDISPLAYMODE mode = device_.DisplayMode();
    if (info.format != D3DFMT_A8R8G8B8)
        return Fail(D3DERR_INVALIDCALL, call, "the surface must be A8R8G8B8");
    if (info.width < mode.Width || info.height < mode.Height)
        return Fail(D3DERR_INVALIDCALL, call, "a %ux%u surface cannot hold the %ux%u screen",
                    info.width, info.height, mode.Width, mode.Height);
    if (info.multiSample != D3DMULTISAMPLE_NONE || surface->IsLocked())
        return Fail(D3DERR_INVALIDCALL, call, "the surface is %s",
                    surface->IsLocked() ? "locked" : "multisampled");

    const StorageView view = surface->Storage();
    uint32_t* pixels = reinterpret_cast<uint32_t*>(view.bits);
    const int width = static_cast<int>(view.width), height = static_cast<int>(view.height);
    if (!device_.IsWindowed()) {
        const size_t pitch = view.rowPitch / 4;
        for (int y = 0; y < height; ++y)
            std::fill(pixels + size_t(y) * pitch, pixels + size_t(y) * pitch + width, 0xFF000000u);
        const RECT shown{0, 0, std::min(width, screenWidth_), std::min(height, screenHeight_)};
        if (!screen_.empty())
            txraster::StretchNearest(screen_.data(), size_t(screenWidth_), shown, pixels, pitch,
                                     shown);
    } else if (!txplatform::ReadX11Screen(pixels, width, height, view.rowPitch)) {
        // No real screen to read: the desktop as this process shows it.
        txplatform::ComposeScreen(pixels, width, height, view.rowPitch);
    }
    surface->Pixels().MarkWritten();
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------

HRESULT DeviceRenderer::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return Fail(D3DERR_INVALIDCALL, "SetTransform", "null matrix");
    if (!IsTransformState(state))
        return Fail(D3DERR_INVALIDCALL, "SetTransform", "unknown transform %u",
                    static_cast<unsigned>(state));
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return Fail(D3DERR_INVALIDCALL, "GetTransform", "null matrix");
    if (!IsTransformState(state))
        return Fail(D3DERR_INVALIDCALL, "GetTransform", "unknown transform %u",
                    static_cast<unsigned>(state));
    *matrix = transforms_[state];
    return D3D_OK;
}

HRESULT DeviceRenderer::SetViewport(const D3DVIEWPORT8* viewport) {
    const char* call = "SetViewport";
    if (!viewport) return Fail(D3DERR_INVALIDCALL, call, "null viewport");
    const Surface* target = device_.BackBuffer(0);
    const uint64_t right = uint64_t(viewport->X) + viewport->Width;
    const uint64_t bottom = uint64_t(viewport->Y) + viewport->Height;
    if (viewport->Width == 0 || viewport->Height == 0 || right > target->Info().width ||
        bottom > target->Info().height)
        return Fail(D3DERR_INVALIDCALL, call, "viewport (%u,%u) %ux%u outside the %ux%u target",
                    viewport->X, viewport->Y, viewport->Width, viewport->Height,
                    target->Info().width, target->Info().height);
    if (!(viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ))
        return Fail(D3DERR_INVALIDCALL, call, "depth range %g to %g", viewport->MinZ,
                    viewport->MaxZ);
    viewport_ = *viewport;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetViewport(D3DVIEWPORT8* viewport) {
    if (!viewport) return Fail(D3DERR_INVALIDCALL, "GetViewport", "null viewport");
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT DeviceRenderer::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state == 0 || state >= kRenderStates)
        return Fail(D3DERR_INVALIDCALL, "SetRenderState", "unknown render state %u",
                    static_cast<unsigned>(state));
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value) return Fail(D3DERR_INVALIDCALL, "GetRenderState", "null result pointer");
    if (state == 0 || state >= kRenderStates)
        return Fail(D3DERR_INVALIDCALL, "GetRenderState", "unknown render state %u",
                    static_cast<unsigned>(state));
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT DeviceRenderer::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    const char* call = "SetTexture";
    if (stage >= kStages) return Fail(D3DERR_INVALIDCALL, call, "stage %u of %u", stage, kStages);
    if (texture && !device_.UsableTexture(texture, call)) return D3DERR_INVALIDCALL;
    textures_[stage].Reset(texture);
    return D3D_OK;
}

HRESULT DeviceRenderer::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    const char* call = "GetTexture";
    if (!texture) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *texture = nullptr;
    if (stage >= kStages) return Fail(D3DERR_INVALIDCALL, call, "stage %u of %u", stage, kStages);
    if (IDirect3DBaseTexture8* bound = textures_[stage].get()) HandOut(bound, texture);
    return D3D_OK;
}

HRESULT DeviceRenderer::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                             DWORD value) {
    if (stage >= kStages || type == 0 || type >= kStageStates)
        return Fail(D3DERR_INVALIDCALL, "SetTextureStageState", "stage %u state %u", stage,
                    static_cast<unsigned>(type));
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                             DWORD* value) {
    if (!value) return Fail(D3DERR_INVALIDCALL, "GetTextureStageState", "null result pointer");
    if (stage >= kStages || type == 0 || type >= kStageStates)
        return Fail(D3DERR_INVALIDCALL, "GetTextureStageState", "stage %u state %u", stage,
                    static_cast<unsigned>(type));
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT DeviceRenderer::SetVertexShader(DWORD handle) {
    // Only flexible vertex formats: this device has no vertex shaders to
    // hand out handles for.
    txraster::VertexLayout layout;
    if (!txraster::ParseVertexFormat(handle, &layout))
        return Fail(D3DERR_INVALIDCALL, "SetVertexShader",
                    "0x%x is not a flexible vertex format with a position", handle);
    vertexShader_ = handle;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetVertexShader(DWORD* handle) {
    if (!handle) return Fail(D3DERR_INVALIDCALL, "GetVertexShader", "null result pointer");
    *handle = vertexShader_;
    return D3D_OK;
}

HRESULT DeviceRenderer::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData,
                                        UINT stride) {
    const char* call = "SetStreamSource";
    if (streamNumber >= kStreams)
        return Fail(D3DERR_INVALIDCALL, call, "stream %u of %u", streamNumber, kStreams);
    if (streamData && !device_.UsableVertexBuffer(streamData, call)) return D3DERR_INVALIDCALL;
    D3DCAPS8 caps{};
    device_.GetDeviceCaps(&caps);
    if (stride > caps.MaxStreamStride)
        return Fail(D3DERR_INVALIDCALL, call, "stride %u above %u", stride, caps.MaxStreamStride);
    streams_[streamNumber].buffer.Reset(streamData);
    streams_[streamNumber].stride = stride;
    return D3D_OK;
}

HRESULT DeviceRenderer::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData,
                                        UINT* stride) {
    const char* call = "GetStreamSource";
    if (!streamData || !stride) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *streamData = nullptr;
    *stride = 0;
    if (streamNumber >= kStreams)
        return Fail(D3DERR_INVALIDCALL, call, "stream %u of %u", streamNumber, kStreams);
    if (IDirect3DVertexBuffer8* bound = streams_[streamNumber].buffer.get())
        HandOut(bound, streamData);
    *stride = streams_[streamNumber].stride;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

HRESULT DeviceRenderer::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                                      UINT primitiveCount) {
    const char* call = "DrawPrimitive";
    const Stream& stream = streams_[0];
    const VertexBuffer* buffer = RuntimeCast<VertexBuffer>(stream.buffer.get());
    if (!buffer) return Fail(D3DERR_INVALIDCALL, call, "no vertex buffer on stream 0");
    if (buffer->IsLocked()) return Fail(D3DERR_INVALIDCALL, call, "the vertex buffer is locked");
    if (stream.stride == 0) return Fail(D3DERR_INVALIDCALL, call, "stream 0 has stride 0");
    const uint64_t offset = uint64_t(startVertex) * stream.stride;
    txraster::VertexLayout layout;
    const UINT vertexSize = txraster::ParseVertexFormat(vertexShader_, &layout) ? layout.stride : 0;
    // The last vertex needs only its own size, not a whole stride.
    const uint64_t room = buffer->Length() > offset ? buffer->Length() - offset : 0;
    const size_t vertices =
        room >= vertexSize && vertexSize > 0 ? size_t((room - vertexSize) / stream.stride + 1) : 0;
    return Draw(call, primitiveType, primitiveCount,
                room > 0 ? buffer->Bytes() + offset : buffer->Bytes(), vertices, stream.stride);
}

HRESULT DeviceRenderer::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                        const void* vertexStreamZeroData,
                                        UINT vertexStreamZeroStride) {
    const char* call = "DrawPrimitiveUP";
    if (!vertexStreamZeroData) return Fail(D3DERR_INVALIDCALL, call, "null vertex data");
    if (vertexStreamZeroStride == 0) return Fail(D3DERR_INVALIDCALL, call, "stride 0");
    // The caller's memory holds what the primitives need.
    const size_t vertices = txraster::VerticesForPrimitives(primitiveType, primitiveCount);
    const HRESULT hr = Draw(call, primitiveType, primitiveCount,
                            static_cast<const unsigned char*>(vertexStreamZeroData), vertices,
                            vertexStreamZeroStride);
    // Stream 0 no longer names a buffer afterwards.
    streams_[0].buffer.Reset();
    streams_[0].stride = 0;
    return hr;
}

HRESULT DeviceRenderer::Draw(const char* call, D3DPRIMITIVETYPE type, UINT primitives,
                             const unsigned char* vertices, size_t vertexCount, UINT stride) {
    if (!inScene_) return Fail(D3DERR_INVALIDCALL, call, "outside BeginScene and EndScene");
    if (vertexShader_ == 0) return Fail(D3DERR_INVALIDCALL, call, "no vertex shader set");
    txraster::DrawCall draw;
    if (!txraster::ParseVertexFormat(vertexShader_, &draw.layout))
        return Fail(D3DERR_INVALIDCALL, call, "vertex format 0x%x cannot be drawn", vertexShader_);
    if (stride < draw.layout.stride)
        return Fail(D3DERR_INVALIDCALL, call, "stride %u below the %u bytes of a vertex", stride,
                    draw.layout.stride);
    if (txraster::VerticesForPrimitives(type, primitives) == 0 && primitives > 0)
        return Fail(D3DERR_INVALIDCALL, call, "unknown primitive type %u",
                    static_cast<unsigned>(type));
    if (txraster::VerticesForPrimitives(type, primitives) > vertexCount)
        return Fail(D3DERR_INVALIDCALL, call, "%u primitives need %zu vertices, %zu available",
                    primitives, txraster::VerticesForPrimitives(type, primitives), vertexCount);
    draw.type = type;
    draw.primitiveCount = primitives;
    draw.vertices = vertices;
    draw.stride = stride;
    draw.vertexCount = vertexCount;

    if (HRESULT hr = TakeProgramWrites(call); FAILED(hr)) return hr;
    txraster::PipelineState state;
    txraster::TextureImage texture;
    if (HRESULT hr = BuildPipeline(call, &state, &texture); FAILED(hr)) return hr;
    const HRESULT hr = rasterizer_.Draw(draw, state, target_);
    if (hr == E_NOTIMPL) return Fail(hr, call, "points and lines are not drawn by this device");
    if (FAILED(hr)) return Fail(hr, call, "the rasterizer refused the call");
    colourDrawn_ = true;
    depthDrawn_ = depthDrawn_ || (state.depthTest && state.depthWrite);
    return D3D_OK;
}

HRESULT DeviceRenderer::BuildPipeline(const char* call, txraster::PipelineState* state,
                                      txraster::TextureImage* texture) {
    const DWORD* rs = renderStates_;
    state->world = transforms_[D3DTS_WORLD];
    state->view = transforms_[D3DTS_VIEW];
    state->projection = transforms_[D3DTS_PROJECTION];
    state->viewport = viewport_;
    state->cullMode = rs[D3DRS_CULLMODE];
    // Depth buffering with w is done with z.
    state->depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    state->depthWrite = rs[D3DRS_ZWRITEENABLE] != 0;
    state->depthFunc = rs[D3DRS_ZFUNC];
    state->lighting = rs[D3DRS_LIGHTING] != 0;
    state->flatShading = rs[D3DRS_SHADEMODE] == kShadeFlat;
    state->textureFactor = rs[kRenderStateTextureFactor];
    state->multisampleAntialias = rs[D3DRS_MULTISAMPLEANTIALIAS] != 0;
    state->sampleMask = rs[D3DRS_MULTISAMPLEMASK];

    const DWORD* stage = stageStates_[0];
    txraster::StageState& s = state->stage0;
    s.colorOp = stage[D3DTSS_COLOROP];
    s.colorArg1 = stage[D3DTSS_COLORARG1];
    s.colorArg2 = stage[D3DTSS_COLORARG2];
    s.alphaOp = stage[D3DTSS_ALPHAOP];
    s.alphaArg1 = stage[D3DTSS_ALPHAARG1];
    s.alphaArg2 = stage[D3DTSS_ALPHAARG2];
    s.texCoordIndex = stage[D3DTSS_TEXCOORDINDEX];
    s.addressU = stage[D3DTSS_ADDRESSU];
    s.addressV = stage[D3DTSS_ADDRESSV];

    // The texture is converted only when the stage reads it.
    state->texture = nullptr;
    if (txraster::MakeShadingSetup(*state).readsTexture) {
        bool found = false;
        if (HRESULT hr = StageTexture(call, texture, &found); FAILED(hr)) return hr;
        if (found) state->texture = texture;
    }
    return D3D_OK;
}

HRESULT DeviceRenderer::StageTexture(const char* call, txraster::TextureImage* image, bool* found) {
    *found = false;
    IDirect3DBaseTexture8* bound = textures_[0].get();
    const TextureLevels* levels = RuntimeCast<TextureLevels>(bound);
    // Cube and volume textures need coordinates this stage does not take:
    // they read like no texture.
    if (!levels || levels->FaceCount() != 1 || !levels->SurfaceAt(0, 0)) return D3D_OK;
    const UINT level = std::min<UINT>(bound->GetLOD(), levels->LevelCount() - 1);
    const Surface* surface = levels->SurfaceAt(0, level);
    const uint64_t stamp = surface->Pixels().Stamp();
    ++textureUses_;

    auto cached = std::find_if(textureCache_.begin(), textureCache_.end(),
                               [surface](const CachedTexture& c) { return c.surface == surface; });
    if (cached == textureCache_.end() || cached->stamp != stamp) {
        const StorageView view = surface->Storage();
        if (!txraster::CanDecodeFormat(view.format)) return D3D_OK;
        if (cached == textureCache_.end()) {
            if (textureCache_.size() >= kTextureCacheSize) {
                cached = std::min_element(textureCache_.begin(), textureCache_.end(),
                                          [](const CachedTexture& a, const CachedTexture& b) {
                                              return a.lastUse < b.lastUse;
                                          });
            } else {
                try {
                    textureCache_.emplace_back();
                } catch (const std::exception&) {
                    return Fail(E_OUTOFMEMORY, call, "no memory for a texture");
                }
                cached = textureCache_.end() - 1;
            }
        }
        cached->surface = nullptr; // unusable until converted
        if (!Resize(cached->texels, size_t(view.width) * view.height))
            return Fail(E_OUTOFMEMORY, call, "no memory to convert a %ux%u texture", view.width,
                        view.height);
        txraster::DecodeTexels(view.format, view.bits, view.rowPitch, static_cast<int>(view.width),
                               static_cast<int>(view.height), cached->texels.data(), view.width);
        cached->surface = surface;
        cached->stamp = stamp;
        cached->width = static_cast<int>(view.width);
        cached->height = static_cast<int>(view.height);
    }
    cached->lastUse = textureUses_;
    *image = txraster::TextureImage{cached->texels.data(), cached->width, cached->height,
                                    size_t(cached->width)};
    *found = true;
    return D3D_OK;
}

} // namespace txruntime
