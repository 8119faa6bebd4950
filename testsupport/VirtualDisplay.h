#pragma once

#include <string>
#include <sys/types.h>

namespace gvtest {

// A private X server (Xvfb) on a display number it picks itself, for the
// life of the object. name() is empty when Xvfb cannot be started.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    const std::string &name() const { return FDisplay; }

private:
    pid_t FPid = -1;
    std::string FDisplay;
};

} // namespace gvtest
