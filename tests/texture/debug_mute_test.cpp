// TxDebugMute: the "DebugSetMute" exports of the runtime and of its debug
// variant, found once among the modules already loaded.
#include <gtest/gtest.h>

#include "platform/win32_system.h"
#include "texture/debug_mute.h"

namespace {

using txplatform::DebugSetMuteCallCount;
using txplatform::DebugSetMuteLastValue;
using txplatform::SetModulePresent;

constexpr const char* kRuntime = "d3d8.dll";
constexpr const char* kDebugRuntime = "d3d8d.dll";

// Each test starts with nothing resolved and leaves the modules as the
// process has them: the runtime loaded, its debug variant not.
class DebugMute : public ::testing::Test {
protected:
    void SetUp() override { ResetDebugMuteEntryPoints(); }
    void TearDown() override {
        SetModulePresent(kRuntime, true);
        SetModulePresent(kDebugRuntime, false);
        ResetDebugMuteEntryPoints();
        TxDebugMute(FALSE);
        ResetDebugMuteEntryPoints();
    }

    // Calls of each export since the test began.
    unsigned RuntimeCalls() const { return DebugSetMuteCallCount(kRuntime) - runtimeAtStart_; }
    unsigned DebugRuntimeCalls() const {
        return DebugSetMuteCallCount(kDebugRuntime) - debugRuntimeAtStart_;
    }

private:
    unsigned runtimeAtStart_ = DebugSetMuteCallCount(kRuntime);
    unsigned debugRuntimeAtStart_ = DebugSetMuteCallCount(kDebugRuntime);
};

TEST_F(DebugMute, PassesTheArgumentToTheExportOfEachLoadedRuntime) {
    SetModulePresent(kDebugRuntime, true);
    TxDebugMute(TRUE);
    EXPECT_EQ(RuntimeCalls(), 1u);
    EXPECT_EQ(DebugRuntimeCalls(), 1u);
    EXPECT_EQ(DebugSetMuteLastValue(kRuntime), 1u);
    EXPECT_EQ(DebugSetMuteLastValue(kDebugRuntime), 1u);

    TxDebugMute(FALSE);
    EXPECT_EQ(RuntimeCalls(), 2u);
    EXPECT_EQ(DebugRuntimeCalls(), 2u);
    EXPECT_EQ(DebugSetMuteLastValue(kRuntime), 0u);
    EXPECT_EQ(DebugSetMuteLastValue(kDebugRuntime), 0u);
}

// Neither module loaded: every call looks again and does nothing else, so a
// runtime loaded later is found by the next call.
TEST_F(DebugMute, WithNeitherModuleLoadedLooksAgainOnEveryCall) {
    SetModulePresent(kRuntime, false);
    TxDebugMute(TRUE);
    TxDebugMute(FALSE);
    EXPECT_EQ(RuntimeCalls(), 0u);
    EXPECT_EQ(DebugRuntimeCalls(), 0u);

    SetModulePresent(kRuntime, true);
    TxDebugMute(TRUE);
    EXPECT_EQ(RuntimeCalls(), 1u);
    EXPECT_EQ(DebugSetMuteLastValue(kRuntime), 1u);
}

// Once an export is found the two entry points are kept: a debug runtime
// loaded afterwards is not looked for, and the runtime's export stays in use
// (the library holds a reference to its module).
TEST_F(DebugMute, KeepsTheEntryPointsOnceOneIsFound) {
    TxDebugMute(TRUE);
    EXPECT_EQ(RuntimeCalls(), 1u);
    EXPECT_EQ(DebugRuntimeCalls(), 0u);

    SetModulePresent(kDebugRuntime, true);
    TxDebugMute(FALSE);
    EXPECT_EQ(RuntimeCalls(), 2u);
    EXPECT_EQ(DebugRuntimeCalls(), 0u);

    SetModulePresent(kRuntime, false);
    TxDebugMute(TRUE);
    EXPECT_EQ(RuntimeCalls(), 3u);
}

// The debug runtime alone is enough.
TEST_F(DebugMute, UsesTheDebugRuntimeAlone) {
    SetModulePresent(kRuntime, false);
    SetModulePresent(kDebugRuntime, true);
    TxDebugMute(TRUE);
    EXPECT_EQ(RuntimeCalls(), 0u);
    EXPECT_EQ(DebugRuntimeCalls(), 1u);
    EXPECT_EQ(DebugSetMuteLastValue(kDebugRuntime), 1u);
}

} // namespace
