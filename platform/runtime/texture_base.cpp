#include "platform/runtime/texture_base.h"

#include "platform/runtime/surface.h"
#include "platform/runtime/volume.h"

namespace txruntime {

bool TextureLevels::AnyLevelLocked() const {
    for (UINT face = 0; face < FaceCount(); ++face)
        for (UINT level = 0; level < levelCount_; ++level) {
            if (Surface* surface = SurfaceAt(face, level); surface && surface->IsLocked())
                return true;
            if (Volume* volume = VolumeAt(level); volume && volume->IsLocked()) return true;
        }
    return false;
}

DWORD TextureLevels::ChangeLod(D3DPOOL pool, DWORD lod) {
    if (pool != D3DPOOL_MANAGED) return 0;
    const DWORD previous = lod_;
    lod_ = lod < levelCount_ ? lod : levelCount_ - 1;
    return previous;
}

} // namespace txruntime
