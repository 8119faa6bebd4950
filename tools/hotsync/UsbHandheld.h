#pragma once

// A Palm OS handheld on USB, through libusb: the vendor request that tells
// which endpoints carry the HotSync and which stack (Net Sync or Serial
// Sync) it speaks, and a byte stream over those bulk endpoints.

#include "palmlink/ByteStream.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace hotsynctool {

struct UsbHandheld {
    std::unique_ptr<palmlink::ByteStream> stream;
    bool netSync = false;    // else Serial Sync (PADP) without the baud-rate step
    std::string description; // vendor and product ids, endpoints
};

// True when this program was built with USB support.
bool usbAvailable();

// Waits for a handheld of a known vendor to appear on USB (a HotSync button
// pressed on the cradle) and opens it; `stop` is asked every quarter
// second and ends the wait with nothing. Raises palmlink::LinkError when a
// handheld appeared but cannot be opened (permissions: see the udev rules).
std::optional<UsbHandheld> waitForUsbHandheld(const std::function<bool()> &stop);

} // namespace hotsynctool
