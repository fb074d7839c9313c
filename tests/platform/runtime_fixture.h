// Shared pieces of the runtime tests: owning references, an off-screen
// device on a chosen adapter profile, and a capture of standard error.
#pragma once

#include <memory>
#include <string>

#include "platform/direct3d8.h"
#include "platform/runtime_control.h"
#include "support/test_support.h"

namespace txtest {

struct ReleaseReference {
    void operator()(IUnknown* object) const {
        if (object) object->Release();
    }
};
// One reference, given back when the holder goes.
template <class T>
using Ref = std::unique_ptr<T, ReleaseReference>;

// Receives a reference from a creating call: `Out(holder)` passes a T** and
// stores what the call wrote once the call returns.
template <class T>
class OutRef {
public:
    explicit OutRef(Ref<T>& holder) : holder_(holder) { holder_.reset(); }
    ~OutRef() { holder_.reset(raw_); }
    OutRef(const OutRef&) = delete;
    OutRef& operator=(const OutRef&) = delete;
    operator T**() { return &raw_; }
    operator void**() { return reinterpret_cast<void**>(&raw_); }

private:
    Ref<T>& holder_;
    T* raw_ = nullptr;
};
template <class T>
OutRef<T> Out(Ref<T>& holder) {
    return OutRef<T>(holder);
}

// Parameters of a windowed device without window: the back buffer has the
// given size and the desktop's format, with a D16 depth buffer.
D3DPRESENT_PARAMETERS OffscreenParameters(UINT width = 64, UINT height = 64);

// A test with a Direct3D object and an off-screen device on the "default"
// profile (or another one chosen with UseProfile), that fails when it leaves
// runtime objects alive. Debug output is off unless a test turns it on.
class RuntimeTest : public LiveObjectTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the Direct3D object and device by ones on profile `name`.
    void UseProfile(const char* name);

    Ref<IDirect3D8> d3d_;
    Ref<IDirect3DDevice8> device_;
};

// Collects what is written on standard error while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Stops capturing (if still capturing) and gives the text.
    std::string Text();

private:
    void Stop();
    int savedFd_ = -1;
    std::FILE* file_ = nullptr;
    std::string text_;
};

} // namespace txtest
