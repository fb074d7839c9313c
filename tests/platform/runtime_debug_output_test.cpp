// The runtime's debug output: one line per failing call, switched by the
// program or the environment and muted by the "DebugSetMute" export.
#include <cstdlib>

#include "platform/runtime/debug_output.h"
#include "platform/win32_system.h"
#include "runtime_fixture.h"

namespace txtest {
namespace {

using RuntimeDebugOutputTest = RuntimeTest;

// Runs one failing and one succeeding call and returns what they printed.
std::string OutputOfCalls(IDirect3DDevice8* device) {
    StderrCapture capture;
    Ref<IDirect3DTexture8> texture;
    EXPECT_EQ(device->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Out(texture)),
              D3D_OK);
    return capture.Text();
}

TEST_F(RuntimeDebugOutputTest, EveryFailingCallWritesOneLineNamingCallAndReason) {
    txplatform::SetDebugOutput(true);
    const std::string text = OutputOfCalls(device_.get());
    EXPECT_EQ(text.rfind("d3d8: CreateTexture: ", 0), 0u) << text;
    EXPECT_NE(text.find("zero"), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "exactly one line: " << text;

    StderrCapture capture;
    D3DLOCKED_RECT locked{};
    Ref<IDirect3DSurface8> backBuffer;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, Out(backBuffer)), D3D_OK);
    EXPECT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(capture.Text().rfind("d3d8: LockRect: ", 0), 0u);

    txplatform::SetDebugOutput(false);
    EXPECT_EQ(OutputOfCalls(device_.get()), "");
}

TEST_F(RuntimeDebugOutputTest, TheEnvironmentTurnsItOnUntilTheProgramDecides) {
    const char* old = std::getenv("TX_D3D_DEBUG");
    const std::string saved = old ? old : "";
    struct Case {
        const char* value;
        bool on;
    };
    for (const Case& c :
         {Case{"1", true}, Case{"0", false}, Case{"yes", false}, Case{nullptr, false}}) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        if (c.value)
            setenv("TX_D3D_DEBUG", c.value, 1);
        else
            unsetenv("TX_D3D_DEBUG");
        txruntime::ResetDebugOutput();
        EXPECT_EQ(OutputOfCalls(device_.get()).empty(), !c.on);
    }
    setenv("TX_D3D_DEBUG", "1", 1);
    txruntime::ResetDebugOutput();
    txplatform::SetDebugOutput(false);
    EXPECT_EQ(OutputOfCalls(device_.get()), "");
    if (old)
        setenv("TX_D3D_DEBUG", saved.c_str(), 1);
    else
        unsetenv("TX_D3D_DEBUG");
}

TEST_F(RuntimeDebugOutputTest, MutingSilencesWithoutChangingTheSwitch) {
    txplatform::SetDebugOutput(true);
    auto mute = reinterpret_cast<void (*)(DWORD)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("d3d8.dll"), "DebugSetMute")));
    ASSERT_NE(mute, nullptr);
    mute(1);
    EXPECT_EQ(OutputOfCalls(device_.get()), "");
    // Turning output on again does not lift the mute.
    txplatform::SetDebugOutput(true);
    EXPECT_EQ(OutputOfCalls(device_.get()), "");
    mute(0);
    EXPECT_NE(OutputOfCalls(device_.get()), "");
}

} // namespace
} // namespace txtest
