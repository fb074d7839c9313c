// Processor detection: the operating-system rules for SSE state, the feature
// bits, and the "DisableMMX" switch with the process-wide MMX flag.
#include "mathlib/processor.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "mathlib/processor_internal.h"
#include "platform/win32_system.h"
#include "support/test_support.h"

namespace {

const char kD3dKey[] = "Software\\Direct3D";
constexpr DWORD kSse = 6, k3dNow = 7, kSse2 = 10;

constexpr txplatform::ProcessorOverride kEverything{true, true, true, true, false};
constexpr txplatform::ProcessorOverride kNothing{false, false, false, false, false};
constexpr txplatform::ProcessorOverride kFaulting{true, true, true, true, true};

// Starts every test from "not tested" with an empty registry, and puts the
// real system back afterwards.
class ProcessorDetectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* file = std::getenv("TX_REGISTRY_FILE");
        hadFile_ = file != nullptr;
        if (hadFile_) file_ = file;
        unsetenv("TX_REGISTRY_FILE");
        txplatform::RegistryReset();
        txmath::ResetProcessorDetection();
    }
    void TearDown() override {
        txplatform::ClearVersionOverride();
        txplatform::ClearProcessorOverride();
        if (hadFile_) {
            setenv("TX_REGISTRY_FILE", file_.c_str(), 1);
        } else {
            unsetenv("TX_REGISTRY_FILE");
        }
        txplatform::RegistryReset();
        txmath::ResetProcessorDetection();
    }

private:
    bool hadFile_ = false;
    std::string file_;
};

struct SystemCase {
    const char* what;
    DWORD platform, major, minor, build;
    txplatform::ProcessorOverride processor;
    int sse, amd3dNow, sse2; // expected answers for features 6, 7, 10
};

TEST_F(ProcessorDetectionTest, FeaturesFollowProcessorAndSystem) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, w9x = VER_PLATFORM_WIN32_WINDOWS;
    const SystemCase cases[] = {
        {"NT, everything", nt, 5, 1, 2600, kEverything, 1, 1, 1},
        {"NT, nothing", nt, 5, 1, 2600, kNothing, 0, 0, 0},
        {"NT 4, SSE only", nt, 4, 0, 1381, {true, true, false, false, false}, 1, 0, 0},
        {"NT, SSE2 and 3DNow!", nt, 5, 0, 2195, {true, false, true, true, false}, 0, 1, 1},
        {"9x 4.10.1998", w9x, 4, 10, 1998, kEverything, 1, 1, 1},
        {"9x 4.10.1373, first build that keeps SSE state", w9x, 4, 10, 1373, kEverything, 1, 1, 1},
        {"9x 4.10.1372", w9x, 4, 10, 1372, kEverything, 0, 1, 0},
        {"9x 4.0.950", w9x, 4, 0, 950, kEverything, 0, 1, 0},
        {"9x 4.0 with a large build", w9x, 4, 0, 2000, kEverything, 0, 1, 0},
        {"9x 4.90.3000", w9x, 4, 90, 3000, kEverything, 1, 1, 1},
        {"9x 5.0.0", w9x, 5, 0, 0, kEverything, 1, 1, 1},
        // The build's high word carries the version; only the low word counts.
        {"9x 4.10, build 1998 with version high word", w9x, 4, 10, 0x040A07CE, kEverything, 1, 1,
         1},
        {"9x 4.10, build 1372 with version high word", w9x, 4, 10, 0x040A055C, kEverything, 0, 1,
         0},
        {"9x 4.10.1998, SSE but no SSE2",
         w9x,
         4,
         10,
         1998,
         {true, true, false, false, false},
         1,
         0,
         0},
        {"9x 4.10.1998, nothing", w9x, 4, 10, 1998, kNothing, 0, 0, 0},
        {"Win32s", VER_PLATFORM_WIN32s, 3, 10, 0, kEverything, 0, 0, 0},
        {"unknown platform", 3, 6, 0, 0, kEverything, 0, 0, 0},
        {"NT, faulting identification", nt, 5, 1, 2600, kFaulting, 0, 0, 0},
        {"9x, faulting identification", w9x, 4, 10, 2222, kFaulting, 0, 0, 0},
    };
    for (const SystemCase& c : cases) {
        txplatform::SetVersionOverride(c.platform, c.major, c.minor, c.build);
        txplatform::SetProcessorOverride(c.processor);
        EXPECT_EQ(TxProcessorFeature(kSse) != 0, c.sse != 0) << c.what;
        EXPECT_EQ(TxProcessorFeature(k3dNow) != 0, c.amd3dNow != 0) << c.what;
        EXPECT_EQ(TxProcessorFeature(kSse2) != 0, c.sse2 != 0) << c.what;
    }
}

TEST_F(ProcessorDetectionTest, OtherFeatureNumbersAreNeverReported) {
    txplatform::SetProcessorOverride(kEverything);
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        txplatform::SetVersionOverride(platform, 5, 1, 2600);
        for (DWORD feature : {0u, 2u, 3u, 8u, 9u, 11u, 0xFFFFFFFFu})
            EXPECT_EQ(TxProcessorFeature(feature), 0) << platform << " feature " << feature;
    }
}

TEST_F(ProcessorDetectionTest, MmxIsDetectedOnceAndKept) {
    txplatform::SetProcessorOverride(kEverything);
    EXPECT_EQ(TxIsMMXProcessor(), 1);
    // The answer is kept for the process: a later change of processor (as
    // only a test can make) is not seen.
    txplatform::SetProcessorOverride(kNothing);
    EXPECT_EQ(TxIsMMXProcessor(), 1);

    txmath::ResetProcessorDetection();
    EXPECT_EQ(TxIsMMXProcessor(), 0);
    txplatform::SetProcessorOverride(kEverything);
    EXPECT_EQ(TxIsMMXProcessor(), 0);

    txmath::ResetProcessorDetection();
    txplatform::SetProcessorOverride(kFaulting);
    EXPECT_EQ(TxIsMMXProcessor(), 0);
}

TEST_F(ProcessorDetectionTest, DisableMmxWinsOnEveryCall) {
    txplatform::SetProcessorOverride(kEverything);
    ASSERT_EQ(TxIsMMXProcessor(), 1);

    txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX", 1);
    EXPECT_EQ(TxIsMMXProcessor(), 0);
    // Switching it off again does not bring MMX back in this process.
    txplatform::RegistryRemoveValue(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX");
    EXPECT_EQ(TxIsMMXProcessor(), 0);
}

TEST_F(ProcessorDetectionTest, OnlyANonZeroDwordDisablesMmx) {
    txplatform::SetProcessorOverride(kEverything);
    const struct {
        const char* what;
        void (*store)();
        int expected;
    } cases[] = {
        {"absent", [] {}, 1},
        {"zero", [] { txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX", 0); },
         1},
        {"two", [] { txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX", 2); },
         0},
        {"other case",
         [] {
             txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\DIRECT3D", "disablemmx",
                                          1);
         },
         0},
        {"a string",
         [] { txplatform::RegistrySetString(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX", "1"); }, 1},
        {"another key",
         [] { txplatform::RegistrySetDword(HKEY_CURRENT_USER, kD3dKey, "DisableMMX", 1); }, 1},
    };
    for (const auto& c : cases) {
        txplatform::RegistryReset();
        txmath::ResetProcessorDetection();
        c.store();
        EXPECT_EQ(TxIsMMXProcessor(), c.expected) << c.what;
    }
}

TEST_F(ProcessorDetectionTest, DisableMmxFromTheRegistryFile) {
    txtest::TempDir dir;
    const std::string text = "[HKEY_LOCAL_MACHINE\\Software\\Direct3D]\n"
                             "\"DisableMMX\"=dword:00000001\n";
    const std::string path = dir.File("registry.txt");
    ASSERT_TRUE(txtest::WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
    setenv("TX_REGISTRY_FILE", path.c_str(), 1);
    txplatform::RegistryReset();
    txplatform::SetProcessorOverride(kEverything);
    EXPECT_EQ(TxIsMMXProcessor(), 0);
}

#if defined(__x86_64__)
TEST_F(ProcessorDetectionTest, RealX8664ProcessorHasMmxSseAndSse2) {
    // No overrides: what an NT-family host with a real processor reports.
    EXPECT_EQ(TxIsMMXProcessor(), 1);
    EXPECT_NE(TxProcessorFeature(kSse), 0);
    EXPECT_NE(TxProcessorFeature(kSse2), 0);
}
#endif

} // namespace
