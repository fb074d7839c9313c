// What textures, cube textures and volume textures have in common: their
// levels, and the IDirect3DBaseTexture8 part of their interfaces.
#pragma once

#include "platform/runtime/resource.h"

namespace txruntime {

class Surface;
class Volume;

// The levels of any kind of texture, reachable from its interfaces through
// RuntimeCast<TextureLevels>.
class TextureLevels {
public:
    virtual ~TextureLevels() = default;

    UINT LevelCount() const { return levelCount_; }
    D3DFORMAT Format() const { return format_; }
    // 6 for a cube texture, 1 otherwise.
    virtual UINT FaceCount() const { return 1; }
    // Level `level` of face `face`; null out of range and for volume textures.
    virtual Surface* SurfaceAt(UINT face, UINT level) const = 0;
    // Level `level` of a volume texture; null out of range and for the others.
    virtual Volume* VolumeAt(UINT level) const = 0;
    bool AnyLevelLocked() const;

protected:
    TextureLevels(UINT levelCount, D3DFORMAT format) : levelCount_(levelCount), format_(format) {}
    // The level of detail of a managed texture; others keep 0.
    DWORD ChangeLod(D3DPOOL pool, DWORD lod);
    DWORD Lod() const { return lod_; }

private:
    UINT levelCount_;
    D3DFORMAT format_;
    DWORD lod_ = 0;
};

template <class Interface>
class TextureBase : public Resource<Interface>, public TextureLevels {
public:
    DWORD SetLOD(DWORD lod) override { return ChangeLod(this->Pool(), lod); }
    DWORD GetLOD() override { return Lod(); }
    DWORD GetLevelCount() override { return LevelCount(); }

protected:
    TextureBase(Device& device, D3DRESOURCETYPE type, D3DPOOL pool, DWORD usage, UINT levels,
                D3DFORMAT format)
        : Resource<Interface>(device, type, pool, usage), TextureLevels(levels, format) {}
};

} // namespace txruntime
