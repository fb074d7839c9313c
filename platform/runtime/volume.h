// Volumes: the levels of volume textures.
#pragma once

#include <memory>

#include "platform/direct3d8.h"
#include "platform/runtime/contained_object.h"

namespace txruntime {

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

class Volume final : public ContainedObject<IDirect3DVolume8> {
public:
    // A volume that is part of `container`, whose interface `containerInterface`
    // answers GetContainer.
    static HRESULT CreatePart(RuntimeObject& container, IUnknown& containerInterface,
                              Device& device, const VolumeInfo& info, const char* call,
                              std::unique_ptr<Volume>* volume);

    HRESULT GetDesc(D3DVOLUME_DESC* desc) override;
    HRESULT LockBox(D3DLOCKED_BOX* lockedVolume, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox() override;

    // For the device, the copy operations and the renderer.
    const VolumeInfo& Info() const { return info_; }
    StorageView Storage() const;

private:
    Volume(RuntimeObject& container, IUnknown& containerInterface, Device& device,
           const VolumeInfo& info);

    VolumeInfo info_;
};

} // namespace txruntime
