#include "platform/raster/shading.h"

namespace txraster {

namespace {

bool UsesArg1(DWORD op) {
    return op != D3DTOP_SELECTARG2;
}
bool UsesArg2(DWORD op) {
    return op == D3DTOP_SELECTARG2 || op == D3DTOP_MODULATE || op == D3DTOP_MODULATE2X ||
           op == D3DTOP_MODULATE4X || op == D3DTOP_ADD;
}

void NoteSource(DWORD arg, ShadingSetup* s) {
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_TEXTURE:
        s->readsTexture = true;
        break;
    case D3DTA_SPECULAR:
        s->readsSpecular = true;
        break;
    case D3DTA_TFACTOR:
        break;
    default:
        s->readsDiffuse = true;
        break;
    }
}

void NoteOperation(DWORD op, DWORD arg1, DWORD arg2, ShadingSetup* s) {
    if (op == D3DTOP_DISABLE) {
        s->readsDiffuse = true; // the stage passes the diffuse value through
        return;
    }
    if (UsesArg1(op)) NoteSource(arg1, s);
    if (UsesArg2(op)) NoteSource(arg2, s);
}

} // namespace

ShadingSetup MakeShadingSetup(const PipelineState& state) {
    ShadingSetup s;
    s.stage = state.stage0;
    s.texture = state.texture && state.texture->texels && state.texture->width > 0 &&
                        state.texture->height > 0
                    ? state.texture
                    : nullptr;
    s.factor = Unpack(state.textureFactor);
    NoteOperation(s.stage.colorOp, s.stage.colorArg1, s.stage.colorArg2, &s);
    if (s.stage.colorOp != D3DTOP_DISABLE)
        NoteOperation(s.stage.alphaOp, s.stage.alphaArg1, s.stage.alphaArg2, &s);
    return s;
}

} // namespace txraster
