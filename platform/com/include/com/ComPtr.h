#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/ComError.h"
#include "com/Unknown.h"

#include <utility>

namespace com {

// Owns one reference to an interface: AddRef on copy, Release on destruction.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit ComPtr(T *p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr &o) : ComPtr(o.p_) {}
    ComPtr(ComPtr &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr &operator=(const ComPtr &o)
    {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr &operator=(ComPtr &&o) noexcept
    {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ComPtr &operator=(std::nullptr_t)
    {
        reset();
        return *this;
    }

    // Adopts a reference the caller already owns (as an out parameter hands it over).
    static ComPtr attach(T *p)
    {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T *detach() { return std::exchange(p_, nullptr); }

    void reset()
    {
        if (T *p = std::exchange(p_, nullptr))
            p->Release();
    }
    void swap(ComPtr &o) noexcept { std::swap(p_, o.p_); }

    T *get() const { return p_; }
    T *operator->() const { return p_; }
    T &operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Receives an interface through a `void **` out parameter; the old one is released.
    void **put()
    {
        reset();
        return reinterpret_cast<void **>(&p_);
    }

    // QueryInterface for another interface; empty when the object lacks it.
    template <class U>
    ComPtr<U> as() const
    {
        ComPtr<U> r;
        if (p_)
            p_->QueryInterface(U::iid, r.put());
        return r;
    }

    // QueryInterface that raises the failure as a ComError.
    template <class U>
    ComPtr<U> query() const
    {
        if (!p_)
            throwError(E_POINTER);
        ComPtr<U> r;
        check(p_->QueryInterface(U::iid, r.put()));
        return r;
    }

    friend bool operator==(const ComPtr &a, const ComPtr &b) { return a.p_ == b.p_; }

private:
    T *p_ = nullptr;
};

} // namespace com

#pragma GCC visibility pop
