// Box filter fast paths: 2x2 averages computed on packed pixels in place,
// without the round trip through ColorF.
#include "blit/box_filter.h"

#include <cstring>

#include "mathlib/processor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <typename Pixel>
inline uint32_t Load(const BYTE* p) {
    Pixel v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename Pixel>
inline void Store(BYTE* p, uint32_t v) {
    const Pixel narrowed = static_cast<Pixel>(v);
    std::memcpy(p, &narrowed, sizeof narrowed);
}

// A field of a packed pixel, encoded as (shift << 8) | bits.
constexpr uint32_t F(uint32_t shift, uint32_t bits) {
    return shift << 8 | bits;
}

template <uint32_t Field>
inline uint32_t AverageField(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    constexpr uint32_t shift = Field >> 8;
    constexpr uint32_t mask = (1u << (Field & 0xFF)) - 1;
    const uint32_t sum = ((a >> shift) & mask) + ((b >> shift) & mask) + ((c >> shift) & mask) +
                         ((d >> shift) & mask);
    return ((sum + 2) >> 2) << shift;
}

// Runs `average` on the four pixels of every 2x2 block of the source and
// stores its result as the destination pixel.
template <typename Pixel, typename Average>
bool AverageBlocks(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                   UINT sourcePitch, UINT destPitch, Average average) {
    for (UINT y = 0; y < sourceHeight / 2; ++y) {
        const BYTE* top = source + static_cast<size_t>(2 * y) * sourcePitch;
        const BYTE* bottom = top + sourcePitch;
        BYTE* out = dest + static_cast<size_t>(y) * destPitch;
        for (UINT x = 0; x < sourceWidth / 2; ++x) {
            const size_t left = static_cast<size_t>(2 * x) * sizeof(Pixel);
            Store<Pixel>(out + x * sizeof(Pixel),
                         average(Load<Pixel>(top + left), Load<Pixel>(top + left + sizeof(Pixel)),
                                 Load<Pixel>(bottom + left),
                                 Load<Pixel>(bottom + left + sizeof(Pixel))));
        }
    }
    return true;
}

// Field by field; bits outside the listed fields are written 0.
template <typename Pixel, uint32_t... Fields>
bool AveragePacked(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                   UINT sourcePitch, UINT destPitch) {
    return AverageBlocks<Pixel>(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch,
                                [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                                    return (AverageField<Fields>(a, b, c, d) | ...);
                                });
}

// Two bytes per 32-bit lane pair: fields at bits 0 and 16 of `mask`ed words
// have 8 bits of headroom, so four of them plus the rounding 2 never carry
// into the neighbour.
inline uint32_t Average32(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    constexpr uint32_t kLanes = 0x00FF00FF;
    constexpr uint32_t kRound = 0x00020002;
    const uint32_t even = (a & kLanes) + (b & kLanes) + (c & kLanes) + (d & kLanes) + kRound;
    const uint32_t odd = ((a >> 8) & kLanes) + ((b >> 8) & kLanes) + ((c >> 8) & kLanes) +
                         ((d >> 8) & kLanes) + kRound;
    return ((even >> 2) & kLanes) | (((odd >> 2) & kLanes) << 8);
}

template <uint32_t KeepMask>
bool Average32Image(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                    UINT sourcePitch, UINT destPitch) {
    return AverageBlocks<uint32_t>(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch,
                                   [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                                       return Average32(a, b, c, d) & KeepMask;
                                   });
}

// The slots of the two 32-bit colour formats. Both start as selectors; the
// first call of either fills both.
bool SelectA8R8G8B8(BYTE*, const BYTE*, UINT, UINT, UINT, UINT);
bool SelectX8R8G8B8(BYTE*, const BYTE*, UINT, UINT, UINT, UINT);

BoxPackedRoutine g_slotA8R8G8B8 = SelectA8R8G8B8;
BoxPackedRoutine g_slotX8R8G8B8 = SelectX8R8G8B8;
int (*g_mmxTest)() = TxIsMMXProcessor;

void FillBox32Slots() {
    if (g_mmxTest()) {
        g_slotA8R8G8B8 = BoxAverage32Vector;
        g_slotX8R8G8B8 = BoxAverage32Vector;
    } else {
        g_slotA8R8G8B8 = BoxAverage32Plain4;
        g_slotX8R8G8B8 = BoxAverage32Plain3;
    }
}

bool SelectA8R8G8B8(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                    UINT sourcePitch, UINT destPitch) {
    FillBox32Slots();
    return g_slotA8R8G8B8(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch);
}

bool SelectX8R8G8B8(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                    UINT sourcePitch, UINT destPitch) {
    FillBox32Slots();
    return g_slotX8R8G8B8(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch);
}

} // namespace

bool BoxAverage32Plain4(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch) {
    return Average32Image<0xFFFFFFFFu>(dest, source, sourceWidth, sourceHeight, sourcePitch,
                                       destPitch);
}

bool BoxAverage32Plain3(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch) {
    return Average32Image<0x00FFFFFFu>(dest, source, sourceWidth, sourceHeight, sourcePitch,
                                       destPitch);
}

bool BoxAverage32Vector(BYTE* dest, const BYTE* source, UINT sourceWidth, UINT sourceHeight,
                        UINT sourcePitch, UINT destPitch) {
    // Works in steps of four source pixels; other widths go whole to the
    // plain routine, which gives the same values.
    if (sourceWidth % 4 != 0)
        return BoxAverage32Plain4(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi16(2);
    // Bytes widened to 16-bit lanes: four of them plus 2 stay below 1023, and
    // the packing saturation never engages.
    auto averageStep = [&](const BYTE* top, const BYTE* bottom) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom));
        const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        // Left pixels of each pair beside each other, then the right ones.
        const __m128i left = _mm_unpacklo_epi64(low, high);
        const __m128i right = _mm_unpackhi_epi64(low, high);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(left, right), round), 2);
    };
    for (UINT y = 0; y < sourceHeight / 2; ++y) {
        const BYTE* top = source + static_cast<size_t>(2 * y) * sourcePitch;
        const BYTE* bottom = top + sourcePitch;
        BYTE* out = dest + static_cast<size_t>(y) * destPitch;
        UINT x = 0;
        for (; x + 8 <= sourceWidth; x += 8) {
            const __m128i first = averageStep(top + 4 * size_t(x), bottom + 4 * size_t(x));
            const __m128i second =
                averageStep(top + 4 * size_t(x) + 16, bottom + 4 * size_t(x) + 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * size_t(x)),
                             _mm_packus_epi16(first, second));
        }
        if (x < sourceWidth) {
            const __m128i last = averageStep(top + 4 * size_t(x), bottom + 4 * size_t(x));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * size_t(x)),
                             _mm_packus_epi16(last, last));
        }
    }
    return true;
#else
    return BoxAverage32Plain4(dest, source, sourceWidth, sourceHeight, sourcePitch, destPitch);
#endif
}

BoxPackedRoutine FindBoxPackedRoutine(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return g_slotA8R8G8B8;
    case D3DFMT_X8R8G8B8:
        return g_slotX8R8G8B8;
    case D3DFMT_R5G6B5:
        return AveragePacked<uint16_t, F(11, 5), F(5, 6), F(0, 5)>;
    case D3DFMT_X1R5G5B5:
        return AveragePacked<uint16_t, F(10, 5), F(5, 5), F(0, 5)>;
    case D3DFMT_A1R5G5B5:
        // A 1-bit field averages to 1 when at least two of the four are set.
        return AveragePacked<uint16_t, F(15, 1), F(10, 5), F(5, 5), F(0, 5)>;
    case D3DFMT_A4R4G4B4:
        return AveragePacked<uint16_t, F(12, 4), F(8, 4), F(4, 4), F(0, 4)>;
    case D3DFMT_R3G3B2:
        return AveragePacked<uint8_t, F(5, 3), F(2, 3), F(0, 2)>;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return AveragePacked<uint8_t, F(0, 8)>;
    case D3DFMT_A8R3G3B2:
        return AveragePacked<uint16_t, F(8, 8), F(5, 3), F(2, 3), F(0, 2)>;
    case D3DFMT_X4R4G4B4:
        return AveragePacked<uint16_t, F(8, 4), F(4, 4), F(0, 4)>;
    case D3DFMT_A8L8:
        return AveragePacked<uint16_t, F(8, 8), F(0, 8)>;
    case D3DFMT_A4L4:
        return AveragePacked<uint8_t, F(4, 4), F(0, 4)>;
    default:
        return nullptr;
    }
}

void ResetBox32Slots(int (*mmxTest)()) {
    g_mmxTest = mmxTest ? mmxTest : TxIsMMXProcessor;
    g_slotA8R8G8B8 = SelectA8R8G8B8;
    g_slotX8R8G8B8 = SelectX8R8G8B8;
}
