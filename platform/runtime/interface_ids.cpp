// The runtime's interface identifiers. The values are the runtime's own;
// programs compare them, never spell them out.
#include "platform/direct3d8.h"

namespace {

// All identifiers share one family and differ in the first field only.
constexpr IID Identifier(uint32_t number) {
    return {0x74780000u | number, 0x6c69, 0x6274, {0x78, 0x2d, 0x72, 0x75, 0x6e, 0x74, 0x69, 0x6d}};
}

} // namespace

const IID IID_IUnknown = Identifier(0x00);
const IID IID_IDirect3D8 = Identifier(0x01);
const IID IID_IDirect3DDevice8 = Identifier(0x02);
const IID IID_IDirect3DResource8 = Identifier(0x03);
const IID IID_IDirect3DBaseTexture8 = Identifier(0x04);
const IID IID_IDirect3DTexture8 = Identifier(0x05);
const IID IID_IDirect3DCubeTexture8 = Identifier(0x06);
const IID IID_IDirect3DVolumeTexture8 = Identifier(0x07);
const IID IID_IDirect3DSurface8 = Identifier(0x08);
const IID IID_IDirect3DVolume8 = Identifier(0x09);
const IID IID_IDirect3DVertexBuffer8 = Identifier(0x0A);
