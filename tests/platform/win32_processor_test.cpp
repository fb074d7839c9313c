// The version query, the processor identification instruction and the
// processor-feature query, with the test overrides.
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32_system.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26, k3dNow = 1u << 31;

// Restores the real version and processor whatever a test presented.
class PresentedSystemTest : public ::testing::Test {
protected:
    void TearDown() override {
        txplatform::ClearVersionOverride();
        txplatform::ClearProcessorOverride();
    }
};

OSVERSIONINFOA QueryVersion(BOOL* ok) {
    OSVERSIONINFOA info;
    std::memset(&info, 0xCD, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    *ok = GetVersionExA(&info);
    return info;
}

TEST_F(PresentedSystemTest, VersionIsNtUnlessOverridden) {
    BOOL ok = FALSE;
    OSVERSIONINFOA info = QueryVersion(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_EQ(info.szCSDVersion[0], '\0');

    txplatform::SetVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A07CE);
    info = QueryVersion(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber, 0x040A07CEu);

    txplatform::ClearVersionOverride();
    info = QueryVersion(&ok);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
}

TEST(Version, WrongRecordSizeIsRefused) {
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the size callers pass");
    for (DWORD size : {0u, 147u, 149u, 156u}) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = size;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(GetVersionExA(&info)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << size;
        EXPECT_EQ(info.dwPlatformId, 0u) << "filled in despite the refusal";
    }
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(PresentedSystemTest, OverrideReplacesOnlyTheFourFeatureBits) {
    txplatform::CpuidRegisters real1{}, realExt{};
    const bool haveReal1 = txplatform::Cpuid(1, &real1);
    const bool haveRealExt = txplatform::Cpuid(0x80000001u, &realExt);

    const txplatform::ProcessorOverride processors[] = {
        {false, false, false, false, false}, {true, false, false, false, false},
        {true, true, false, false, false},   {true, true, true, false, false},
        {true, false, false, true, false},   {false, false, true, true, false},
    };
    for (const auto& p : processors) {
        txplatform::SetProcessorOverride(p);
        const std::string row =
            testing::PrintToString(std::vector<bool>{p.mmx, p.sse, p.sse2, p.amd3dNow});

        txplatform::CpuidRegisters r{};
        ASSERT_TRUE(txplatform::Cpuid(0, &r)) << row;
        EXPECT_GE(r.eax, 1u) << row;
        ASSERT_TRUE(txplatform::Cpuid(1, &r)) << row;
        EXPECT_EQ((r.edx & kMmx) != 0, p.mmx) << row;
        EXPECT_EQ((r.edx & kSse) != 0, p.sse) << row;
        EXPECT_EQ((r.edx & kSse2) != 0, p.sse2) << row;
        if (haveReal1) {
            EXPECT_EQ(r.edx & ~(kMmx | kSse | kSse2), real1.edx & ~(kMmx | kSse | kSse2)) << row;
            EXPECT_EQ(r.ecx, real1.ecx) << row;
        }
        ASSERT_TRUE(txplatform::Cpuid(0x80000000u, &r)) << row;
        EXPECT_GE(r.eax, 0x80000001u) << row;
        ASSERT_TRUE(txplatform::Cpuid(0x80000001u, &r)) << row;
        EXPECT_EQ((r.edx & k3dNow) != 0, p.amd3dNow) << row;
        if (haveRealExt) {
            EXPECT_EQ(r.edx & ~k3dNow, realExt.edx & ~k3dNow) << row;
        }

        EXPECT_EQ(IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE) != 0, p.mmx) << row;
        EXPECT_EQ(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0, p.sse) << row;
        EXPECT_EQ(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0, p.sse2) << row;
        EXPECT_EQ(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE) != 0, p.amd3dNow)
            << row;
    }
}

TEST_F(PresentedSystemTest, FaultingIdentificationMeansNoFeatures) {
    txplatform::SetProcessorOverride({true, true, true, true, true});
    txplatform::CpuidRegisters r{};
    for (uint32_t leaf : {0u, 1u, 0x80000000u, 0x80000001u})
        EXPECT_FALSE(txplatform::Cpuid(leaf, &r)) << leaf;
    for (DWORD feature : {PF_MMX_INSTRUCTIONS_AVAILABLE, PF_XMMI_INSTRUCTIONS_AVAILABLE,
                          PF_XMMI64_INSTRUCTIONS_AVAILABLE, PF_3DNOW_INSTRUCTIONS_AVAILABLE,
                          PF_RDTSC_INSTRUCTION_AVAILABLE, PF_COMPARE_EXCHANGE_DOUBLE})
        EXPECT_FALSE(IsProcessorFeaturePresent(feature)) << feature;
}

TEST(Processor, RealFeaturesFollowTheHost) {
    txplatform::CpuidRegisters r{};
    EXPECT_FALSE(txplatform::Cpuid(0, nullptr));
#if defined(__x86_64__)
    // Every x86-64 processor has these.
    ASSERT_TRUE(txplatform::Cpuid(1, &r));
    for (DWORD feature : {PF_MMX_INSTRUCTIONS_AVAILABLE, PF_XMMI_INSTRUCTIONS_AVAILABLE,
                          PF_XMMI64_INSTRUCTIONS_AVAILABLE, PF_RDTSC_INSTRUCTION_AVAILABLE,
                          PF_COMPARE_EXCHANGE_DOUBLE})
        EXPECT_TRUE(IsProcessorFeaturePresent(feature)) << feature;
    txplatform::CpuidRegisters ext{};
    const bool has3dNow = txplatform::Cpuid(0x80000001u, &ext) && (ext.edx & k3dNow) != 0;
    EXPECT_EQ(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE) != 0, has3dNow);
#elif !defined(__i386__)
    EXPECT_FALSE(txplatform::Cpuid(1, &r));
    EXPECT_FALSE(IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE));
#endif
    // Questions without an answer here read as "absent".
    for (DWORD feature : {PF_FLOATING_POINT_PRECISION_ERRATA, PF_FLOATING_POINT_EMULATED, 4u, 5u,
                          9u, 99u, 0xFFFFFFFFu})
        EXPECT_FALSE(IsProcessorFeaturePresent(feature)) << feature;
}

} // namespace
