#include "runtime_fixture.h"

#include <unistd.h>

#include <cstdio>

#include "platform/runtime/adapter_profile.h"
#include "platform/runtime/debug_output.h"

namespace txtest {

D3DPRESENT_PARAMETERS OffscreenParameters(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    return p;
}

void RuntimeTest::SetUp() {
    LiveObjectTest::SetUp();
    txplatform::SetDebugOutput(false);
    UseProfile("default");
}

void RuntimeTest::TearDown() {
    device_.reset();
    d3d_.reset();
    txruntime::ResetAdapterProfileSelection();
    txplatform::SetDebugOutput(false);
    txruntime::SetDebugMuted(false);
    LiveObjectTest::TearDown();
}

void RuntimeTest::UseProfile(const char* name) {
    device_.reset();
    d3d_.reset();
    ASSERT_TRUE(txplatform::SelectAdapterProfile(name)) << name;
    d3d_.reset(Direct3DCreate8(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    D3DPRESENT_PARAMETERS p = OffscreenParameters();
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, Out(device_)),
              D3D_OK);
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    savedFd_ = dup(fileno(stderr));
    if (file_ && savedFd_ >= 0) dup2(fileno(file_), fileno(stderr));
}

StderrCapture::~StderrCapture() {
    Stop();
    if (file_) std::fclose(file_);
}

void StderrCapture::Stop() {
    if (savedFd_ < 0) return;
    std::fflush(stderr);
    dup2(savedFd_, fileno(stderr));
    close(savedFd_);
    savedFd_ = -1;
    if (!file_) return;
    std::rewind(file_);
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
        text_.append(buffer, got);
}

std::string StderrCapture::Text() {
    Stop();
    return text_;
}

} // namespace txtest
