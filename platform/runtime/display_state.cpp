#include "platform/runtime/display_state.h"

namespace txruntime {

namespace {
const void* holder = nullptr;
D3DDISPLAYMODE heldMode{};
} // namespace

bool ClaimDisplay(const void* owner, const D3DDISPLAYMODE& mode) {
    if (holder && holder != owner) return false;
    holder = owner;
    heldMode = mode;
    return true;
}

void ReleaseDisplay(const void* owner) {
    if (holder == owner) holder = nullptr;
}

bool HeldDisplayMode(D3DDISPLAYMODE* mode) {
    if (!holder) return false;
    *mode = heldMode;
    return true;
}

} // namespace txruntime
