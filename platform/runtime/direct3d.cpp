#include "platform/runtime/direct3d.h"

#include <cstdio>
#include <new>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/display_state.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime/presentation.h"
#include "platform/window_host.h"

namespace txruntime {

namespace {

constexpr DWORD kVertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                    D3DCREATE_MIXED_VERTEXPROCESSING;
constexpr DWORD kBehaviorFlags =
    D3DCREATE_FPU_PRESERVE | D3DCREATE_MULTITHREADED | D3DCREATE_PUREDEVICE | kVertexProcessing;

} // namespace

Direct3D::Direct3D(const AdapterProfile& profile)
    : Implements<IDirect3D8>(nullptr), profile_(profile) {}

Direct3D* Direct3D::Create(const AdapterProfile& profile) {
    Direct3D* made = new (std::nothrow) Direct3D(profile);
    if (made) made->AddRef();
    return made;
}

HRESULT Direct3D::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3D8)
        return AnswerInterface<IDirect3D8>(this, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT Direct3D::CheckAdapter(const char* call, UINT adapter, D3DDEVTYPE deviceType) const {
    if (adapter != D3DADAPTER_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call, "adapter %u; there is one adapter", adapter);
    // The software device answers both as the hardware and as the reference
    // device; there is no pluggable software device.
    if (deviceType == D3DDEVTYPE_HAL || deviceType == D3DDEVTYPE_REF) return D3D_OK;
    if (deviceType == D3DDEVTYPE_SW)
        return Fail(D3DERR_NOTAVAILABLE, call, "no pluggable software device is registered");
    return Fail(D3DERR_INVALIDCALL, call, "unknown device type %u",
                static_cast<unsigned>(deviceType));
}

HRESULT Direct3D::CheckAdapterFormat(const char* call, UINT adapter, D3DDEVTYPE deviceType,
                                     D3DFORMAT adapterFormat) const {
    if (HRESULT hr = CheckAdapter(call, adapter, deviceType); FAILED(hr)) return hr;
    if (!IsDisplayFormat(profile_, adapterFormat))
        return Fail(D3DERR_NOTAVAILABLE, call, "%s is not a display format",
                    FormatName(adapterFormat));
    return D3D_OK;
}

UINT Direct3D::GetAdapterCount() {
    return 1;
}

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* identifier) {
    const char* call = "GetAdapterIdentifier";
    if (!identifier) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    if (adapter != D3DADAPTER_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call, "adapter %u; there is one adapter", adapter);
    *identifier = D3DADAPTER_IDENTIFIER8{};
    std::snprintf(identifier->Driver, sizeof identifier->Driver, "libtx software runtime");
    std::snprintf(identifier->Description, sizeof identifier->Description,
                  "libtx software adapter (profile %s: %s)", profile_.name, profile_.summary);
    identifier->DriverVersion = 1;
    // A fixed identifier: the runtime is the same on every machine.
    identifier->DeviceIdentifier = {
        0x7478d3d8, 0x0001, 0x0001, {0x74, 0x78, 0x73, 0x6f, 0x66, 0x74, 0x00, 0x01}};
    return D3D_OK;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter) {
    return adapter == D3DADAPTER_DEFAULT ? profile_.modeCount : 0;
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) {
    const char* call = "EnumAdapterModes";
    if (!displayMode) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    if (adapter != D3DADAPTER_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call, "adapter %u; there is one adapter", adapter);
    if (mode >= profile_.modeCount)
        return Fail(D3DERR_INVALIDCALL, call, "mode %u of %u", mode, profile_.modeCount);
    *displayMode = profile_.modes[mode];
    return D3D_OK;
}

D3DDISPLAYMODE Direct3D::CurrentDisplayMode() const {
    D3DDISPLAYMODE mode{};
    if (HeldDisplayMode(&mode)) return mode;
    mode = profile_.desktop;
    // On a real screen the desktop has the screen's size (screenshots cover
    // all of it); without one the profile decides.
    int width = 0, height = 0;
    if (txplatform::DisplaySize(&width, &height)) {
        mode.Width = static_cast<UINT>(width);
        mode.Height = static_cast<UINT>(height);
    }
    return mode;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) {
    const char* call = "GetAdapterDisplayMode";
    if (!displayMode) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    if (adapter != D3DADAPTER_DEFAULT)
        return Fail(D3DERR_INVALIDCALL, call, "adapter %u; there is one adapter", adapter);
    *displayMode = CurrentDisplayMode();
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) {
    const char* call = "CheckDeviceType";
    if (HRESULT hr = CheckAdapter(call, adapter, checkType); FAILED(hr)) return hr;
    if (windowed) {
        if (displayFormat != CurrentDisplayMode().Format)
            return Fail(D3DERR_NOTAVAILABLE, call, "windowed devices use the desktop format %s",
                        FormatName(CurrentDisplayMode().Format));
        if (!FormatInSet(profile_.renderTargetFormats, backBufferFormat))
            return Fail(D3DERR_NOTAVAILABLE, call, "%s cannot be a back buffer",
                        FormatName(backBufferFormat));
        return D3D_OK;
    }
    if (!IsDisplayFormat(profile_, displayFormat))
        return Fail(D3DERR_NOTAVAILABLE, call, "no display mode has format %s",
                    FormatName(displayFormat));
    if (!BackBufferMatchesDisplay(displayFormat, backBufferFormat))
        return Fail(D3DERR_NOTAVAILABLE, call, "a %s back buffer cannot be shown in %s",
                    FormatName(backBufferFormat), FormatName(displayFormat));
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                    DWORD usage, D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) {
    const char* call = "CheckDeviceFormat";
    if (HRESULT hr = CheckAdapterFormat(call, adapter, deviceType, adapterFormat); FAILED(hr))
        return hr;
    return CheckResourceFormat(profile_, call, usage, resourceType, checkFormat);
}

HRESULT Direct3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                             D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSampleType) {
    const char* call = "CheckDeviceMultiSampleType";
    if (HRESULT hr = CheckAdapter(call, adapter, deviceType); FAILED(hr)) return hr;
    return CheckMultiSample(profile_, call, surfaceFormat, windowed, multiSampleType);
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType,
                                         D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthStencilFormat) {
    const char* call = "CheckDepthStencilMatch";
    if (HRESULT hr = CheckAdapterFormat(call, adapter, deviceType, adapterFormat); FAILED(hr))
        return hr;
    if (!FormatInSet(profile_.renderTargetFormats, renderTargetFormat))
        return Fail(D3DERR_NOTAVAILABLE, call, "%s is not a render-target format",
                    FormatName(renderTargetFormat));
    // The software depth buffer works with every colour format.
    if (!FormatInSet(profile_.depthStencilFormats, depthStencilFormat))
        return Fail(D3DERR_NOTAVAILABLE, call, "%s is not a depth-stencil format",
                    FormatName(depthStencilFormat));
    return D3D_OK;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) {
    const char* call = "GetDeviceCaps";
    if (!caps) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    if (HRESULT hr = CheckAdapter(call, adapter, deviceType); FAILED(hr))
        return hr == D3DERR_NOTAVAILABLE ? D3DERR_INVALIDCALL : hr;
    FillCaps(profile_, deviceType, caps);
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                               IDirect3DDevice8** returnedDevice) {
    const char* call = "CreateDevice";
    if (!returnedDevice) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *returnedDevice = nullptr;
    if (HRESULT hr = CheckAdapter(call, adapter, deviceType); FAILED(hr)) return D3DERR_INVALIDCALL;
    if (!presentationParameters) return Fail(D3DERR_INVALIDCALL, call, "null parameters");
    if (behaviorFlags & ~kBehaviorFlags)
        return Fail(D3DERR_INVALIDCALL, call, "unknown behaviour flags 0x%x", behaviorFlags);
    const DWORD processing = behaviorFlags & kVertexProcessing;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return Fail(D3DERR_INVALIDCALL, call, "exactly one kind of vertex processing is needed");
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING)
        return Fail(D3DERR_INVALIDCALL, call, "a pure device needs hardware vertex processing");

    Presentation presentation{};
    if (HRESULT hr = ResolvePresentation(profile_, call, focusWindow, *presentationParameters,
                                         &presentation);
        FAILED(hr))
        return hr;
    if (HRESULT hr = Device::Create(*this, deviceType, focusWindow, behaviorFlags, presentation,
                                    returnedDevice);
        FAILED(hr))
        return hr;
    // Like the platform, tell the caller what was filled in.
    *presentationParameters = presentation.parameters;
    return D3D_OK;
}

} // namespace txruntime

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) {
        txruntime::Fail(D3DERR_INVALIDCALL, "Direct3DCreate8", "version %u; this runtime is %u",
                        sdkVersion, static_cast<unsigned>(D3D_SDK_VERSION));
        return nullptr;
    }
    return txruntime::Direct3D::Create(txruntime::ProfileForNewObject());
}
