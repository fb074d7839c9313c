// Module lookup: the process's module, the runtime's two modules and their
// "DebugSetMute" export.
#include "platform/runtime/debug_output.h"
#include "platform/win32_system.h"
#include "runtime_fixture.h"

namespace txtest {
namespace {

typedef void (*DebugSetMuteFunction)(DWORD);

class ModuleLookupTest : public ::testing::Test {
protected:
    void TearDown() override {
        txplatform::SetModulePresent("d3d8.dll", true);
        txplatform::SetModulePresent("d3d8d.dll", false);
        txruntime::SetDebugMuted(false);
        txplatform::SetDebugOutput(false);
    }
};

TEST_F(ModuleLookupTest, ModulesAreFoundByNameWithoutCase) {
    const HMODULE process = GetModuleHandleA(nullptr);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), process);
    const HMODULE runtime = GetModuleHandleA("d3d8.dll");
    ASSERT_NE(runtime, nullptr);
    EXPECT_NE(runtime, process);
    for (const char* name : {"D3D8.DLL", "D3d8.Dll", "d3d8"})
        EXPECT_EQ(GetModuleHandleA(name), runtime) << name;
    for (const char* name : {"d3d8d.dll", "d3d8.dl", "d3d8.dll ", "kernel32.dll", "", "d3d"})
        EXPECT_EQ(GetModuleHandleA(name), nullptr) << name;
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("d3d8d.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

    txplatform::SetModulePresent("D3D8D.DLL", true);
    const HMODULE debug = GetModuleHandleA("d3d8d.dll");
    ASSERT_NE(debug, nullptr);
    EXPECT_NE(debug, runtime);
    EXPECT_EQ(LoadLibraryA("d3d8d.dll"), debug);
    EXPECT_EQ(LoadLibraryA("d3d8.dll"), runtime);
    EXPECT_EQ(FreeLibrary(debug), TRUE);
    EXPECT_EQ(FreeLibrary(runtime), TRUE);
    EXPECT_EQ(FreeLibrary(runtime), FALSE) << "more frees than loads";
    EXPECT_EQ(FreeLibrary(process), FALSE);

    txplatform::SetModulePresent("d3d8.dll", false);
    EXPECT_EQ(GetModuleHandleA("d3d8.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("d3d8.dll"), nullptr);
    // A module that is gone exports nothing, even through an old handle.
    EXPECT_EQ(GetProcAddress(runtime, "DebugSetMute"), nullptr);
}

TEST_F(ModuleLookupTest, ExportsAreFoundByExactName) {
    const HMODULE runtime = GetModuleHandleA("d3d8.dll");
    EXPECT_NE(GetProcAddress(runtime, "DebugSetMute"), nullptr);
    EXPECT_EQ(reinterpret_cast<IDirect3D8* (*)(UINT)>(
                  reinterpret_cast<void (*)()>(GetProcAddress(runtime, "Direct3DCreate8"))),
              &Direct3DCreate8);
    for (const char* name : {"debugsetmute", "DebugSetMute2", "", "GetProcAddress"})
        EXPECT_EQ(GetProcAddress(runtime, name), nullptr) << name;
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(runtime, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(runtime, reinterpret_cast<LPCSTR>(1)), nullptr) << "ordinal";
    EXPECT_EQ(GetProcAddress(nullptr, "DebugSetMute"), nullptr);
    EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "DebugSetMute"), nullptr);
}

TEST_F(ModuleLookupTest, EachModulesDebugSetMuteCountsItsCallsAndMutesTheRuntime) {
    txplatform::SetModulePresent("d3d8d.dll", true);
    txplatform::SetDebugOutput(true);
    for (const char* module : {"d3d8.dll", "d3d8d.dll"}) {
        SCOPED_TRACE(module);
        const char* other = std::string(module) == "d3d8.dll" ? "d3d8d.dll" : "d3d8.dll";
        auto mute = reinterpret_cast<DebugSetMuteFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(module), "DebugSetMute")));
        ASSERT_NE(mute, nullptr);
        const unsigned calls = txplatform::DebugSetMuteCallCount(module);
        const unsigned otherCalls = txplatform::DebugSetMuteCallCount(other);

        mute(1);
        EXPECT_EQ(txplatform::DebugSetMuteCallCount(module), calls + 1);
        EXPECT_EQ(txplatform::DebugSetMuteLastValue(module), 1u);
        EXPECT_EQ(txplatform::DebugSetMuteCallCount(other), otherCalls);
        {
            StderrCapture capture;
            EXPECT_EQ(Direct3DCreate8(1), nullptr);
            EXPECT_EQ(capture.Text(), "");
        }
        mute(0);
        EXPECT_EQ(txplatform::DebugSetMuteCallCount(module), calls + 2);
        EXPECT_EQ(txplatform::DebugSetMuteLastValue(module), 0u);
        {
            StderrCapture capture;
            EXPECT_EQ(Direct3DCreate8(1), nullptr);
            EXPECT_NE(capture.Text(), "");
        }
    }
    EXPECT_EQ(txplatform::DebugSetMuteCallCount("other.dll"), 0u);
    EXPECT_EQ(txplatform::DebugSetMuteLastValue(nullptr), 0u);
}

} // namespace
} // namespace txtest
