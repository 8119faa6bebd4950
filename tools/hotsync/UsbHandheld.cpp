#include "UsbHandheld.h"

#include "palmlink/LinkError.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#if GV_HAVE_LIBUSB
#include <libusb.h>
#endif

namespace hotsynctool {

using namespace palmlink;

#if GV_HAVE_LIBUSB

namespace {

// Palm OS handhelds that HotSync over USB: vendor and product (0: every
// product of a vendor that makes nothing else). Only these are opened: a
// claimed interface takes a device away from its own driver.
struct KnownDevice {
    std::uint16_t vendor, product;
};
constexpr KnownDevice kDevices[] = {
    {0x0830, 0},      {0x082d, 0},      {0x4766, 0},      {0x054c, 0x0038}, {0x054c, 0x0066}, {0x054c, 0x0095},
    {0x054c, 0x009a}, {0x054c, 0x00da}, {0x054c, 0x00e9}, {0x054c, 0x0144}, {0x054c, 0x0169}, {0x0502, 0x0001},
    {0x04e8, 0x8001}, {0x04e8, 0x6601}, {0x12ef, 0x0100}, {0x091e, 0x0004}, {0x115e, 0xf100}};

// The vendor requests (device to host, vendor, to an endpoint).
constexpr std::uint8_t kRequestType = 0xC2;
constexpr std::uint8_t kGetConnectionInfo = 0x03;    // older devices: one byte per port
constexpr std::uint8_t kGetExtConnectionInfo = 0x04; // newer devices: endpoints and function ids
constexpr std::uint8_t kHotSyncFunction = 0x02;      // port function of the older answer

std::string usbError(int code)
{
    return libusb_error_name(code);
}

class UsbStream : public ByteStream {
public:
    UsbStream(libusb_context *context, libusb_device_handle *handle, int interface, std::uint8_t in, std::uint8_t out)
        : context_(context), handle_(handle), interface_(interface), in_(in), out_(out)
    {
    }
    ~UsbStream() override { close(); }

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override
    {
        if (!handle_)
            throw ConnectionClosedError("the USB handheld is closed");
        // Whole USB packets: what the device sends beyond the buffer is
        // kept for the next read.
        if (pending_.empty()) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                throw TimeoutError("nothing arrived from the USB handheld in time");
            std::uint8_t chunk[4096];
            int got = 0;
            int rc = libusb_bulk_transfer(handle_, in_, chunk, sizeof chunk, &got, static_cast<unsigned>(left));
            if (rc == LIBUSB_ERROR_TIMEOUT && got == 0)
                throw TimeoutError("nothing arrived from the USB handheld in time");
            if (rc == LIBUSB_ERROR_NO_DEVICE)
                throw ConnectionClosedError("the USB handheld went away");
            if (rc != 0 && got == 0)
                throw LinkError("reading from the USB handheld failed: " + usbError(rc));
            pending_.assign(chunk, chunk + got);
        }
        std::size_t n = std::min(buffer.size(), pending_.size());
        std::memcpy(buffer.data(), pending_.data(), n);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }

    void write(std::span<const std::uint8_t> bytes) override
    {
        if (!handle_)
            throw ConnectionClosedError("the USB handheld is closed");
        std::size_t done = 0;
        while (done < bytes.size()) {
            int sent = 0;
            int rc = libusb_bulk_transfer(handle_, out_, const_cast<std::uint8_t *>(bytes.data() + done),
                                          static_cast<int>(bytes.size() - done), &sent, 30000);
            if (rc == LIBUSB_ERROR_NO_DEVICE)
                throw ConnectionClosedError("the USB handheld went away");
            if (rc != 0 && sent == 0)
                throw LinkError("writing to the USB handheld failed: " + usbError(rc));
            done += static_cast<std::size_t>(sent);
        }
    }

    void close() override
    {
        if (handle_) {
            libusb_release_interface(handle_, interface_);
            libusb_close(handle_);
            handle_ = nullptr;
        }
        if (context_) {
            libusb_exit(context_);
            context_ = nullptr;
        }
    }

private:
    libusb_context *context_;
    libusb_device_handle *handle_;
    int interface_;
    std::uint8_t in_, out_;
    std::vector<std::uint8_t> pending_;
};

bool knownDevice(const libusb_device_descriptor &d)
{
    for (const auto &k : kDevices)
        if (k.vendor == d.idVendor && (k.product == 0 || k.product == d.idProduct))
            return true;
    return false;
}

// Asks the device which endpoints carry the HotSync. The newer answer
// lists ports with a four-character function id and an endpoint byte
// (high nibble in, low nibble out); such devices speak Net Sync framing.
// The older answer lists ports by function code; those speak Serial Sync.
UsbHandheld openDevice(libusb_context *context, libusb_device *device, const libusb_device_descriptor &d)
{
    libusb_device_handle *handle = nullptr;
    int rc = libusb_open(device, &handle);
    if (rc != 0)
        throw LinkError("cannot open the USB handheld " + std::to_string(d.idVendor) + ":" +
                        std::to_string(d.idProduct) + ": " + usbError(rc) + " (see the udev rules in the README)");
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if ((rc = libusb_claim_interface(handle, 0)) != 0) {
        libusb_close(handle);
        throw LinkError("cannot claim the USB handheld's interface: " + usbError(rc));
    }
    std::uint8_t in = 0, out = 0;
    bool netSync = false;
    std::uint8_t answer[64] = {};
    rc = libusb_control_transfer(handle, kRequestType, kGetExtConnectionInfo, 0, 0, answer, sizeof answer, 2000);
    if (rc >= 4 && answer[0] > 0) {
        const int ports = std::min<int>(answer[0], (rc - 4) / 8);
        const bool different = answer[1] != 0;
        for (int i = 0; i < ports; ++i) {
            const std::uint8_t *p = answer + 4 + 8 * i;
            const std::string function(reinterpret_cast<const char *>(p), 4);
            if (function != "sync" && function != "cnys")
                continue;
            in = different ? static_cast<std::uint8_t>(p[5] >> 4) : p[4];
            out = different ? static_cast<std::uint8_t>(p[5] & 0x0F) : p[4];
            netSync = true;
            break;
        }
    }
    if (!netSync) {
        rc = libusb_control_transfer(handle, kRequestType, kGetConnectionInfo, 0, 0, answer, 18, 2000);
        if (rc >= 2) {
            const int ports = std::min<int>(answer[0] | (answer[1] << 8), (rc - 2) / 2);
            for (int i = 0; i < ports; ++i)
                if (answer[2 + 2 * i] == kHotSyncFunction)
                    in = out = answer[3 + 2 * i];
        }
    }
    if (in == 0 || out == 0) {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
        throw LinkError("the USB handheld named no HotSync endpoints");
    }
    UsbHandheld h;
    h.netSync = netSync;
    char text[96];
    std::snprintf(text, sizeof text, "USB %04x:%04x (endpoints %u in, %u out, %s)", d.idVendor, d.idProduct, in, out,
                  netSync ? "Net Sync" : "Serial Sync");
    h.description = text;
    h.stream = std::make_unique<UsbStream>(context, handle, 0, static_cast<std::uint8_t>(0x80 | in), out);
    return h;
}

} // namespace

bool usbAvailable()
{
    return true;
}

std::optional<UsbHandheld> waitForUsbHandheld(const std::function<bool()> &stop)
{
    while (!stop()) {
        libusb_context *context = nullptr;
        if (int rc = libusb_init(&context); rc != 0)
            throw LinkError("cannot use USB: " + usbError(rc));
        libusb_device **devices = nullptr;
        const ssize_t count = libusb_get_device_list(context, &devices);
        std::optional<UsbHandheld> found;
        std::string failure;
        for (ssize_t i = 0; i < count && !found; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(devices[i], &d) != 0 || !knownDevice(d))
                continue;
            try {
                found = openDevice(context, devices[i], d);
            } catch (const LinkError &e) {
                failure = e.what();
            }
        }
        if (devices)
            libusb_free_device_list(devices, 1);
        if (found)
            return found; // the stream owns the context now
        libusb_exit(context);
        if (!failure.empty())
            throw LinkError(failure);
        std::this_thread::sleep_for(milliseconds(250));
    }
    return std::nullopt;
}

#else

bool usbAvailable()
{
    return false;
}

std::optional<UsbHandheld> waitForUsbHandheld(const std::function<bool()> &)
{
    throw LinkError("this hotsync was built without USB support (libusb-1.0)");
}

#endif

} // namespace hotsynctool
