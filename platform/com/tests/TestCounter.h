#pragma once

// The interface of the test server's class, shared by the server and the
// tests as a real interface header is.
#include "com/Unknown.h"

namespace comtest {

constexpr com::CLSID clsidCounter = com::guid("{11111111-2222-3333-4444-555555555555}");

class ICounter : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{11111111-2222-3333-4444-666666666666}");
    virtual int next() = 0;

protected:
    ~ICounter() = default;
};

} // namespace comtest
