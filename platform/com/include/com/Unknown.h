#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/Guid.h"
#include "com/HResult.h"

#include <cstdint>

namespace com {

// The root interface of every object: interface lookup and reference counts.
// Interfaces are abstract classes whose first base is IUnknown; each names
// its interface id as a static member `iid`.
class IUnknown {
public:
    static constexpr IID iid = guid("{00000000-0000-0000-C000-000000000046}");

    virtual HRESULT QueryInterface(const IID &riid, void **ppv) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    static constexpr IID iid = guid("{00000001-0000-0000-C000-000000000046}");

    virtual HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

} // namespace com

#pragma GCC visibility pop
