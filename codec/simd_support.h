// Vector instruction sets of the codecs beyond the build's baseline, chosen
// at run time.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define TX_CODEC_AVX2 1
// Marks a function that contains AVX2 code. Such functions are only called
// after UseAvx2() said yes, and each does a whole row (or a whole pixel
// search), so that the call costs nothing per pixel.
#define TX_TARGET_AVX2 __attribute__((target("avx2")))

// Whether the processor and the operating system run AVX2 code; asked once.
inline bool CpuHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// Switch for tests, so that the SSE2 paths can be compared with the others on
// a processor that has AVX2. On by default.
inline bool& Avx2AllowedForCodecs() {
    static bool allowed = true;
    return allowed;
}

inline bool UseAvx2() {
#if TX_CODEC_AVX2
    return Avx2AllowedForCodecs() && CpuHasAvx2();
#else
    return false;
#endif
}
