// Colour of a pixel: texture stage 0 combining the interpolated colours with
// a point-sampled texel.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/raster/pipeline_state.h"
#include "platform/raster/raster_vertex.h"

namespace txraster {

// Argument modifiers of texture stages.
const DWORD kArgComplement = 0x10u;
const DWORD kArgAlphaReplicate = 0x20u;

struct Rgba {
    int r, g, b, a;
};

// What one triangle's shading needs; built once per draw.
struct ShadingSetup {
    StageState stage;
    const TextureImage* texture = nullptr;
    Rgba factor{255, 255, 255, 255};
    bool readsDiffuse = false;
    bool readsSpecular = false;
    bool readsTexture = false;
};

ShadingSetup MakeShadingSetup(const PipelineState& state);

inline int ToChannel(float value) {
    // NaN and out-of-range values clamp; extrapolated colours at the edges of
    // a triangle may leave 0..255.
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return static_cast<int>(value + 0.5f);
}

inline Rgba ToRgba(const Colour& c) {
    return Rgba{ToChannel(c.r), ToChannel(c.g), ToChannel(c.b), ToChannel(c.a)};
}

inline Rgba Unpack(uint32_t c) {
    return Rgba{static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF), static_cast<int>(c >> 24)};
}

inline uint32_t Pack(const Rgba& c) {
    return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
           (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

// Texel index along one axis for a coordinate, or -1 for the border.
inline int TexelIndex(float coordinate, int size, DWORD mode) {
    if (!std::isfinite(coordinate)) coordinate = 0.0f;
    int index;
    switch (mode) {
    case D3DTADDRESS_MIRROR: {
        float f = coordinate - 2.0f * std::floor(coordinate * 0.5f);
        if (f >= 1.0f) f = 2.0f - f;
        index = static_cast<int>(f * static_cast<float>(size));
        break;
    }
    case D3DTADDRESS_CLAMP: {
        const float t = std::floor(coordinate * static_cast<float>(size));
        return t <= 0.0f ? 0 : t >= static_cast<float>(size - 1) ? size - 1 : static_cast<int>(t);
    }
    case D3DTADDRESS_BORDER:
        if (coordinate < 0.0f || coordinate >= 1.0f) return -1;
        index = static_cast<int>(coordinate * static_cast<float>(size));
        break;
    default: // wrap
        index = static_cast<int>((coordinate - std::floor(coordinate)) * static_cast<float>(size));
        break;
    }
    // Rounding can land exactly on the far edge.
    return index < 0 ? 0 : index >= size ? size - 1 : index;
}

inline uint32_t SampleTexture(const TextureImage& image, float u, float v, DWORD addressU,
                              DWORD addressV) {
    const int x = TexelIndex(u, image.width, addressU);
    const int y = TexelIndex(v, image.height, addressV);
    if (x < 0 || y < 0) return 0xFF000000u; // black border
    return image.texels[static_cast<size_t>(y) * image.pitch + static_cast<size_t>(x)];
}

inline Rgba Argument(DWORD arg, const Rgba& diffuse, const Rgba& specular, const Rgba& texel,
                     const Rgba& factor) {
    Rgba c;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_TEXTURE:
        c = texel;
        break;
    case D3DTA_TFACTOR:
        c = factor;
        break;
    case D3DTA_SPECULAR:
        c = specular;
        break;
    default: // diffuse, and the current colour, which is diffuse at stage 0
        c = diffuse;
        break;
    }
    if (arg & kArgAlphaReplicate) c.r = c.g = c.b = c.a;
    if (arg & kArgComplement) c = Rgba{255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a};
    return c;
}

inline int Combine(DWORD op, int a1, int a2) {
    switch (op) {
    case D3DTOP_SELECTARG2:
        return a2;
    case D3DTOP_MODULATE:
        return (a1 * a2 + 127) / 255;
    case D3DTOP_MODULATE2X: {
        const int v = (2 * a1 * a2 + 127) / 255;
        return v > 255 ? 255 : v;
    }
    case D3DTOP_MODULATE4X: {
        const int v = (4 * a1 * a2 + 127) / 255;
        return v > 255 ? 255 : v;
    }
    case D3DTOP_ADD: {
        const int v = a1 + a2;
        return v > 255 ? 255 : v;
    }
    default: // SELECTARG1, and operations this stage does not know
        return a1;
    }
}

// Final A8R8G8B8 colour of a pixel.
inline uint32_t ShadePixel(const ShadingSetup& s, const Colour& diffuseF, const Colour& specularF,
                           float u, float v) {
    const Rgba diffuse = s.readsDiffuse ? ToRgba(diffuseF) : Rgba{255, 255, 255, 255};
    const StageState& st = s.stage;
    if (st.colorOp == D3DTOP_DISABLE) return Pack(diffuse);
    const Rgba specular = s.readsSpecular ? ToRgba(specularF) : Rgba{0, 0, 0, 0};
    Rgba texel{0, 0, 0, 255};
    if (s.readsTexture && s.texture)
        texel = Unpack(SampleTexture(*s.texture, u, v, st.addressU, st.addressV));
    const Rgba c1 = Argument(st.colorArg1, diffuse, specular, texel, s.factor);
    const Rgba c2 = Argument(st.colorArg2, diffuse, specular, texel, s.factor);
    Rgba out{Combine(st.colorOp, c1.r, c2.r), Combine(st.colorOp, c1.g, c2.g),
             Combine(st.colorOp, c1.b, c2.b), diffuse.a};
    if (st.alphaOp != D3DTOP_DISABLE) {
        const Rgba a1 = Argument(st.alphaArg1, diffuse, specular, texel, s.factor);
        const Rgba a2 = Argument(st.alphaArg2, diffuse, specular, texel, s.factor);
        out.a = Combine(st.alphaOp, a1.a, a2.a);
    }
    return Pack(out);
}

} // namespace txraster
