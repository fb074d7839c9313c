// The rounding frame of the encoders.
#pragma once

#include <cfenv>

// Encoders store truncate(value x scale + threshold), and the multiply and the
// add must round toward zero as well, so that a stored field never depends on
// the caller's rounding mode. Switching the mode costs far more than one
// pixel, so it is switched once per row by this scope object, which restores
// the caller's mode when the row is done. The saved mode lives in the object,
// not in shared state, so encoders on different threads do not disturb each
// other.
//
// The arithmetic of a row reads its input from memory and writes its output to
// memory between the two calls, and the calls are opaque to the compiler, so
// the row cannot be moved outside the frame (the build adds -frounding-math so
// that nothing is folded under the wrong mode either).
class TruncatingRoundingScope {
public:
    TruncatingRoundingScope() : saved_(std::fegetround()) { std::fesetround(FE_TOWARDZERO); }
    ~TruncatingRoundingScope() { std::fesetround(saved_); }

    TruncatingRoundingScope(const TruncatingRoundingScope&) = delete;
    TruncatingRoundingScope& operator=(const TruncatingRoundingScope&) = delete;

private:
    int saved_;
};
