// A minimal owning COM pointer.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace qcd::win {

template <typename T>
class com_ptr {
public:
    com_ptr() = default;
    com_ptr(std::nullptr_t) {}
    // Takes a new reference.
    explicit com_ptr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    com_ptr(const com_ptr& o) : com_ptr(o.p_) {}
    com_ptr(com_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    com_ptr& operator=(com_ptr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~com_ptr() { reset(); }

    // Adopts a reference the caller already owns.
    static com_ptr attach(T* p) {
        com_ptr c;
        c.p_ = p;
        return c;
    }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }

    template <typename U>
    com_ptr<U> query(REFIID iid) const {
        com_ptr<U> out;
        if (p_) p_->QueryInterface(iid, out.put_void());
        return out;
    }

private:
    T* p_ = nullptr;
};

}  // namespace qcd::win
