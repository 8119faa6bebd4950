#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/Unknown.h"

#include <atomic>
#include <tuple>
#include <type_traits>

namespace com {

// Reference counting and interface lookup for an object implementing the
// interfaces Itfs (each an abstract class deriving from IUnknown, with a
// static `iid`). The object deletes itself when the last reference goes.
// Objects start with a count of 0; the creator takes the first reference.
template <class... Itfs>
class ComObject : public Itfs... {
    static_assert(sizeof...(Itfs) > 0);

public:
    HRESULT QueryInterface(const IID &riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IUnknown::iid) {
            *ppv = static_cast<IUnknown *>(static_cast<First *>(this));
        } else {
            (void)((riid == Itfs::iid ? (*ppv = static_cast<Itfs *>(this), true) : false) || ...);
        }
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    std::uint32_t AddRef() override { return ++refs_; }

    std::uint32_t Release() override
    {
        std::uint32_t n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    using First = std::tuple_element_t<0, std::tuple<Itfs...>>;
    std::atomic<std::uint32_t> refs_{0};
};

} // namespace com

#pragma GCC visibility pop
