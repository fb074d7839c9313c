// One counted reference of a runtime interface, given back when the holder
// goes, so that every exit of an operation releases what it took.
#pragma once

#include <utility>

template <typename T>
class ComRef {
public:
    ComRef() = default;
    // Takes over a reference that the caller already holds.
    explicit ComRef(T* object) : object_(object) {}
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : object_(other.Detach()) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // For calls that hand out a reference through a pointer argument: gives
    // back the one held before.
    T** Receive() {
        Reset();
        return &object_;
    }

    // Hands the reference to the caller.
    T* Detach() { return std::exchange(object_, nullptr); }

    void Reset(T* object = nullptr) {
        T* old = std::exchange(object_, object);
        if (old) old->Release();
    }

private:
    T* object_ = nullptr;
};
