// The processor identification instruction, the processor-feature query and
// the processor a test can present instead of the real one.
#include <mutex>

#include "platform/win32_system.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define TX_HAVE_CPUID 1
#else
#define TX_HAVE_CPUID 0
#endif

namespace {

constexpr uint32_t kTscBit = 1u << 4;
constexpr uint32_t kCmpxchg8bBit = 1u << 8;
constexpr uint32_t kMmxBit = 1u << 23;
constexpr uint32_t kSseBit = 1u << 25;
constexpr uint32_t kSse2Bit = 1u << 26;
constexpr uint32_t k3dNowBit = 1u << 31;

constexpr uint32_t kExtendedBase = 0x80000000u;
constexpr uint32_t kExtendedFeatures = 0x80000001u;

std::mutex& OverrideMutex() {
    static std::mutex mutex;
    return mutex;
}

bool gOverridden = false;
txplatform::ProcessorOverride gOverride{};

bool RealCpuid(uint32_t leaf, txplatform::CpuidRegisters* r) {
#if TX_HAVE_CPUID
    // __get_cpuid checks that the leaf is within the range the processor
    // reports (and, on 32-bit hosts, that the instruction exists at all).
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(leaf, &a, &b, &c, &d)) return false;
    *r = {a, b, c, d};
    return true;
#else
    (void)leaf;
    (void)r;
    return false;
#endif
}

uint32_t WithBit(uint32_t word, uint32_t bit, bool on) {
    return on ? (word | bit) : (word & ~bit);
}

// Under an override the presented processor must be able to show the
// overridden bits even where the real one has no such leaf (or no
// identification instruction at all): the two range leaves then reach at
// least the feature leaves, and the feature leaves start from zero.
bool OverriddenCpuid(const txplatform::ProcessorOverride& o, uint32_t leaf,
                     txplatform::CpuidRegisters* r) {
    if (o.identificationFaults) return false;
    const bool real = RealCpuid(leaf, r);
    switch (leaf) {
    case 0:
        if (!real) *r = {};
        if (r->eax < 1) r->eax = 1;
        return true;
    case 1:
        if (!real) *r = {};
        r->edx = WithBit(r->edx, kMmxBit, o.mmx);
        r->edx = WithBit(r->edx, kSseBit, o.sse);
        r->edx = WithBit(r->edx, kSse2Bit, o.sse2);
        return true;
    case kExtendedBase:
        if (!real) *r = {};
        if (r->eax < kExtendedFeatures) r->eax = kExtendedFeatures;
        return true;
    case kExtendedFeatures:
        if (!real) *r = {};
        r->edx = WithBit(r->edx, k3dNowBit, o.amd3dNow);
        return true;
    default:
        return real;
    }
}

bool FeatureWord(uint32_t leaf, uint32_t* edx) {
    txplatform::CpuidRegisters r{};
    txplatform::CpuidRegisters range{};
    const uint32_t rangeLeaf = leaf >= kExtendedBase ? kExtendedBase : 0;
    if (!txplatform::Cpuid(rangeLeaf, &range) || range.eax < leaf) return false;
    if (!txplatform::Cpuid(leaf, &r)) return false;
    *edx = r.edx;
    return true;
}

} // namespace

namespace txplatform {

bool Cpuid(uint32_t leaf, CpuidRegisters* registers) {
    if (registers == nullptr) return false;
    ProcessorOverride presented{};
    bool overridden;
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        overridden = gOverridden;
        presented = gOverride;
    }
    return overridden ? OverriddenCpuid(presented, leaf, registers) : RealCpuid(leaf, registers);
}

void SetProcessorOverride(const ProcessorOverride& processor) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    gOverride = processor;
    gOverridden = true;
}

void ClearProcessorOverride() {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    gOverridden = false;
}

} // namespace txplatform

BOOL IsProcessorFeaturePresent(DWORD processorFeature) {
    uint32_t bit = 0;
    uint32_t leaf = 1;
    switch (processorFeature) {
    case PF_MMX_INSTRUCTIONS_AVAILABLE:
        bit = kMmxBit;
        break;
    case PF_XMMI_INSTRUCTIONS_AVAILABLE:
        bit = kSseBit;
        break;
    case PF_XMMI64_INSTRUCTIONS_AVAILABLE:
        bit = kSse2Bit;
        break;
    case PF_RDTSC_INSTRUCTION_AVAILABLE:
        bit = kTscBit;
        break;
    case PF_COMPARE_EXCHANGE_DOUBLE:
        bit = kCmpxchg8bBit;
        break;
    case PF_3DNOW_INSTRUCTIONS_AVAILABLE:
        bit = k3dNowBit;
        leaf = kExtendedFeatures;
        break;
    default:
        // No floating-point errata and no emulation on any host we run on;
        // features we do not know are reported absent.
        return FALSE;
    }
    uint32_t edx = 0;
    return FeatureWord(leaf, &edx) && (edx & bit) != 0 ? TRUE : FALSE;
}
