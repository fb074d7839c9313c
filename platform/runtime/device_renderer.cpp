#include "platform/runtime/device_renderer.h"

#include <new>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/surface.h"
#include "platform/runtime/texture_base.h"
#include "platform/runtime/vertex_buffer.h"
#include "platform/runtime/vertex_format.h"

namespace txruntime {

namespace {

HRESULT NotAvailable(const char* call) {
    return Fail(D3DERR_INVALIDCALL, call, "not available in this build");
}

bool IsTransformState(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) || (state >= 256 && state < 512);
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

} // namespace

DeviceRenderer::DeviceRenderer(Device& device) : device_(device) {
    SetDefaults();
}

DeviceRenderer::~DeviceRenderer() = default;

HRESULT DeviceRenderer::Create(Device& device, std::unique_ptr<DeviceRenderer>* renderer) {
    renderer->reset(new (std::nothrow) DeviceRenderer(device));
    return *renderer ? D3D_OK : Fail(E_OUTOFMEMORY, "CreateDevice", "no memory for the renderer");
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

HRESULT DeviceRenderer::Reset() {
    SetDefaults();
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
    return D3D_OK;
}

HRESULT DeviceRenderer::Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) {
    return NotAvailable("Clear");
}

HRESULT DeviceRenderer::Present(const RECT*, const RECT*, HWND, const void*) {
    return NotAvailable("Present");
}

HRESULT DeviceRenderer::GetFrontBuffer(IDirect3DSurface8*) {
    return NotAvailable("GetFrontBuffer");
}

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

HRESULT DeviceRenderer::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) {
    return NotAvailable("DrawPrimitive");
}

HRESULT DeviceRenderer::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) {
    return NotAvailable("DrawPrimitiveUP");
}

HRESULT DeviceRenderer::SetVertexShader(DWORD handle) {
    // Only flexible vertex formats: this device has no vertex shaders to
    // hand out handles for.
    FvfLayout layout{};
    if (!DescribeFvf(handle, &layout) || layout.position < 0)
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

} // namespace txruntime
