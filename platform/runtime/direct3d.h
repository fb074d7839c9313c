// The Direct3D object: the one adapter, described by an adapter profile, and
// device creation.
#pragma once

#include "platform/direct3d8.h"
#include "platform/runtime/adapter_profile.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Direct3D final : public Implements<IDirect3D8> {
public:
    // A new object with one reference, or null without memory.
    static Direct3D* Create(const AdapterProfile& profile);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                 D3DADAPTER_IDENTIFIER8* identifier) override;
    UINT GetAdapterModeCount(UINT adapter) override;
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice8** returnedDevice) override;

    const AdapterProfile& Profile() const { return profile_; }
    // The mode the display shows: that of a full-screen device, else the
    // profile's desktop.
    D3DDISPLAYMODE CurrentDisplayMode() const;

private:
    explicit Direct3D(const AdapterProfile& profile);
    // D3D_OK for the one adapter and a device type the runtime provides.
    HRESULT CheckAdapter(const char* call, UINT adapter, D3DDEVTYPE deviceType) const;
    // The same, and `adapterFormat` is the format of one of the display modes.
    HRESULT CheckAdapterFormat(const char* call, UINT adapter, D3DDEVTYPE deviceType,
                               D3DFORMAT adapterFormat) const;

    const AdapterProfile& profile_;
};

} // namespace txruntime
