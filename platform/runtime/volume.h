// Volumes: the levels of volume textures.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/pixel_storage.h"
#include "platform/runtime/runtime_object.h"

namespace txruntime {

class Device;

struct VolumeInfo {
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
    UINT width;
    UINT height;
    UINT depth;
    // Why LockBox is refused, or null when the volume can be locked.
    const char* notLockable;
};

class Volume final : public Implements<IDirect3DVolume8> {
public:
    // A volume that is part of `container`, whose interface `containerInterface`
    // answers GetContainer.
    static HRESULT CreatePart(RuntimeObject& container, IUnknown& containerInterface,
                              Device& device, const VolumeInfo& info, const char* call,
                              std::unique_ptr<Volume>* volume);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DVOLUME_DESC* desc) override;
    HRESULT LockBox(D3DLOCKED_BOX* lockedVolume, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox() override;

    // For the device, the copy operations and the renderer.
    Device& OwningDevice() const { return device_; }
    const VolumeInfo& Info() const { return info_; }
    StorageView Storage() const;
    const PixelStorage& Pixels() const { return pixels_; }
    bool IsLocked() const { return pixels_.Locked(); }

private:
    Volume(RuntimeObject& container, IUnknown& containerInterface, Device& device,
           const VolumeInfo& info);

    Device& device_;
    IUnknown& containerInterface_;
    VolumeInfo info_;
    PixelStorage pixels_;
};

} // namespace txruntime
