#include "CommandTable.h"
#include "UsbHandheld.h"

#include "hotsync/SyncRunner.h"
#include "hotsync/UserStore.h"
#include "palmlink/CmpHandshake.h"
#include "palmlink/DeviceHandheld.h"
#include "palmlink/DlpClient.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/PadpLink.h"
#include "palmlink/RecordingStream.h"
#include "palmlink/SerialPort.h"
#include "palmlink/TcpStream.h"

#include <atomic>
#include <charconv>
#include <csignal>
#include <ctime>
#include <optional>
#include <ostream>
#include <thread>

namespace hotsynctool {

using namespace palmlink;
using namespace hotsync;
namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t kNetSyncPort = 14238;
constexpr std::uint16_t kSerialNetPort = 6416;
constexpr std::uint32_t kMaxBaud = 115200;

// Set by SIGINT and SIGTERM: no new HotSync starts, and the running one
// meets a broken link.
std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int)
{
    stopRequested = true;
}

bool stopping()
{
    return stopRequested.load();
}

// Passes a stream through, but gives up a read as soon as a stop is asked
// for, as if the line had been cut.
class StoppableStream : public ByteStream {
public:
    explicit StoppableStream(ByteStream &inner) : inner_(inner) {}

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override
    {
        for (;;) {
            if (stopping())
                throw ConnectionClosedError("the HotSync was interrupted on the desktop");
            const Deadline slice = std::min(deadline, Clock::now() + milliseconds(200));
            try {
                return inner_.readSome(buffer, slice);
            } catch (const TimeoutError &) {
                if (slice >= deadline)
                    throw;
            }
        }
    }
    void write(std::span<const std::uint8_t> bytes) override
    {
        if (stopping())
            throw ConnectionClosedError("the HotSync was interrupted on the desktop");
        inner_.write(bytes);
    }
    void close() override { inner_.close(); }

private:
    ByteStream &inner_;
};

enum class Transport { Net, SerialNet, Serial, Usb };

struct ListenOptions {
    Transport transport = Transport::Net;
    std::string device; // --serial
    std::string address = "0.0.0.0";
    std::uint16_t port = 0;
    bool once = false;
    bool createUser = false;
    std::optional<fs::path> trace;
    milliseconds timeout{30000};
};

std::uint32_t parseNumber(const std::string &text, const std::string &what, std::uint32_t low, std::uint32_t high)
{
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        throw UsageError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return v;
}

ListenOptions parseOptions(const Arguments &args)
{
    ListenOptions o;
    const bool net = args.flag("net"), serialNet = args.flag("serial-net"), usb = args.flag("usb");
    o.once = args.flag("once");
    o.createUser = args.flag("create-user");
    const auto serial = args.value("serial");
    if (int(net) + int(serialNet) + int(usb) + int(serial.has_value()) != 1)
        throw UsageError("listen needs one of --net, --serial-net, --serial DEVICE and --usb");
    if (serialNet)
        o.transport = Transport::SerialNet;
    else if (serial) {
        o.transport = Transport::Serial;
        o.device = *serial;
    } else if (usb) {
        o.transport = Transport::Usb;
    }
    o.port = o.transport == Transport::SerialNet ? kSerialNetPort : kNetSyncPort;
    if (auto p = args.value("port")) {
        if (o.transport != Transport::Net && o.transport != Transport::SerialNet)
            throw UsageError("--port goes with --net or --serial-net");
        o.port = static_cast<std::uint16_t>(parseNumber(*p, "--port", 0, 65535));
    }
    if (auto a = args.value("address"))
        o.address = *a;
    if (auto t = args.value("trace"))
        o.trace = *t;
    if (auto t = args.value("timeout"))
        o.timeout = milliseconds(1000LL * parseNumber(*t, "--timeout", 1, 3600));
    return o;
}

std::string stamp()
{
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

class Listener {
public:
    Listener(HostRoot root, ListenOptions options, std::ostream &out)
        : root_(std::move(root)), o_(std::move(options)), out_(out)
    {
    }

    int run()
    {
        std::optional<TcpListener> tcp;
        if (o_.transport == Transport::Net || o_.transport == Transport::SerialNet) {
            tcp.emplace(o_.address, o_.port);
            say("Listening for HotSyncs over " +
                std::string(o_.transport == Transport::Net ? "Net Sync" : "Serial Sync") + " on " + o_.address +
                " port " + std::to_string(tcp->port()));
        } else if (o_.transport == Transport::Serial) {
            say("Listening for HotSyncs on the serial line " + o_.device);
        } else {
            say("Listening for HotSyncs on USB");
        }
        while (!stopping()) {
            int status = -1;
            try {
                status = serveNext(tcp ? &*tcp : nullptr);
            } catch (const std::exception &e) {
                say("ERROR (HotSync): " + std::string(e.what()));
                status = 1;
                if (o_.transport == Transport::Serial || o_.transport == Transport::Usb) {
                    // A line that cannot be opened does not fix itself at once.
                    for (int i = 0; i < 10 && !stopping(); ++i)
                        std::this_thread::sleep_for(milliseconds(100));
                }
            }
            if (status < 0)
                break; // stopped while waiting
            if (o_.once)
                return status;
            say("Waiting for the next HotSync");
        }
        say("Stopped listening");
        // Stopped on purpose; with --once before any HotSync ran.
        return o_.once ? 1 : 0;
    }

private:
    void say(const std::string &line)
    {
        out_ << stamp() << " " << line << "\n";
        out_.flush();
    }

    // One HotSync; -1 when a stop came before any handheld did.
    int serveNext(TcpListener *tcp)
    {
        std::unique_ptr<ByteStream> transport;
        SerialPort *serial = nullptr;
        bool netSync = o_.transport == Transport::Net;
        std::string where;
        if (tcp) {
            while (!transport) {
                if (stopping())
                    return -1;
                try {
                    transport = tcp->accept(deadlineIn(milliseconds(250)));
                } catch (const TimeoutError &) {
                }
            }
            where = o_.transport == Transport::Net ? "Net Sync" : "Serial Sync over TCP";
        } else if (o_.transport == Transport::Serial) {
            auto port = SerialPort::open(o_.device);
            while (!waitForFd(port->fd(), false, deadlineIn(milliseconds(250))))
                if (stopping())
                    return -1;
            serial = port.get();
            transport = std::move(port);
            where = "Serial Sync on " + o_.device;
        } else {
            auto usb = waitForUsbHandheld(stopping);
            if (!usb)
                return -1;
            netSync = usb->netSync;
            where = usb->description;
            transport = std::move(usb->stream);
        }

        std::optional<RecordingStream> recording;
        ByteStream *raw = transport.get();
        if (o_.trace)
            raw = &recording.emplace(*transport);
        StoppableStream stream(*raw);
        int status = 1;
        try {
            status = hotSync(stream, serial, netSync, where);
        } catch (const std::exception &e) {
            say("ERROR (HotSync): the HotSync over " + where + " failed: " + e.what());
        }
        transport->close();
        if (recording) {
            try {
                writeTrace(*o_.trace, recording->trace());
                say("Recorded the session's bytes in " + o_.trace->string());
            } catch (const std::exception &e) {
                say("ERROR (HotSync): cannot write the recording: " + std::string(e.what()));
            }
        }
        return status;
    }

    int hotSync(ByteStream &stream, SerialPort *serial, bool netSync, const std::string &where)
    {
        std::unique_ptr<MessageLink> link;
        if (netSync) {
            auto n = std::make_unique<NetSyncLink>(stream);
            n->acceptHandshake(o_.timeout);
            link = std::move(n);
        } else {
            auto p = std::make_unique<PadpLink>(stream);
            CmpAgreement a = acceptCmp(*p, serial, kMaxBaud, o_.timeout);
            p->setLongForm(a.longPackets);
            link = std::move(p);
        }
        say("A handheld connected over " + where);
        DlpClient client(*link, o_.timeout);
        const auto user = client.readUserInfo();
        const std::string name = user.name();
        UserStore users(root_);
        auto known = users.findByName(name);
        std::optional<User> hotSyncUser;
        if (known.size() == 1) {
            hotSyncUser = known.front();
        } else if (known.empty() && o_.createUser && !name.empty()) {
            hotSyncUser = users.add(name);
            say("Created the HotSync user " + name + " (id " + std::to_string(hotSyncUser->id) + ")");
        }
        if (!hotSyncUser) {
            const std::string why =
                name.empty() ? std::string("the handheld has no user name yet")
                : known.empty()
                    ? "the handheld's user \"" + name +
                          "\" is no HotSync user here (add it with hotsync users add, or listen with --create-user)"
                    : "several HotSync users are named \"" + name + "\"";
            say("ERROR (HotSync): HotSync refused: " + why);
            client.addSyncLogEntry("HotSync refused by the desktop: " + why + "\n");
            client.endOfSync(dlp::EndOfSyncRequest::kOther);
            return 1;
        }

        say("HotSync of " + hotSyncUser->name + " started");
        auto device = std::make_shared<DeviceHandheld>(client, "a handheld over " + where,
                                                       root_.userDataFolder(hotSyncUser->id) / "device-staged");
        SyncOptions options;
        options.userId = hotSyncUser->id;
        options.device = device;
        SyncReport report = SyncRunner(root_).run(options, [&](const std::string &line) { say("  " + line); });
        try {
            device->end(report.success);
        } catch (const std::exception &e) {
            if (!device->broken())
                say("ERROR (HotSync): " + std::string(e.what()));
        }
        if (device->broken())
            say("HotSync of " + hotSyncUser->name + " failed: the link was lost; the next HotSync completes the work");
        else
            say("HotSync of " + hotSyncUser->name + (report.success ? " completed" : " completed with errors") + " (" +
                std::to_string(client.roundTrips()) + " requests)");
        return report.busy ? 75 : report.success && !device->broken() ? 0 : 1;
    }

    HostRoot root_;
    ListenOptions o_;
    std::ostream &out_;
};

} // namespace

static int listen(const HostRoot &root, const Arguments &args, std::ostream &out)
{
    ListenOptions options = parseOptions(args);
    if (options.transport == Transport::Usb && !usbAvailable())
        throw UsageError("this hotsync was built without USB support");
    stopRequested = false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {
    }, oldTerm{};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    // A handheld that hangs up must not kill the listener.
    std::signal(SIGPIPE, SIG_IGN);
    int status = 1;
    try {
        status = Listener(root, std::move(options), out).run();
    } catch (...) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        throw;
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    return status;
}

std::vector<CommandEntry> listenCommands()
{
    return {
        {"listen",
         "Wait for handhelds to start a HotSync",
         "listen (--net | --serial-net | --serial DEVICE | --usb) [--port N] [--address ADDR] [--once] "
         "[--create-user] [--trace FILE] [--timeout SECONDS]",
         "Waits for a handheld to start a HotSync and runs it as \"hotsync sync\" does with a folder: the user "
         "whose name the handheld gives, that user's backups, install queue and conduits. A live handheld "
         "cannot be staged like a folder: its records are marked synced only after the desktop has committed, "
         "so that a broken link leaves at worst a record sent twice, never one lost.\n\n"
         "--net listens for network HotSyncs on TCP port 14238; --serial-net for an emulator's serial port "
         "carried over TCP (port 6416); --serial for a serial line such as /dev/ttyS0 or /dev/ttyUSB0 (the "
         "group dialout may open it); --usb for a handheld on USB (the package's udev rules let the group "
         "plugdev open it). After each HotSync it waits for the next one until it is "
         "stopped with Ctrl-C or SIGTERM, or ends after one with --once (exit status 0 when that HotSync "
         "completed, 1 otherwise).",
         {{"net", nullptr, "Net Sync over TCP (port 14238)"},
          {"serial-net", nullptr, "Serial Sync carried over TCP, as emulators offer it (port 6416)"},
          {"serial", "DEVICE", "Serial Sync on a serial line"},
          {"usb", nullptr, "a handheld on USB"},
          {"port", "N", "the TCP port to listen on (0: any free one, which is printed)"},
          {"address", "ADDR", "the address to listen on (default 0.0.0.0)"},
          {"once", nullptr, "end after one HotSync"},
          {"create-user", nullptr, "add the handheld's user when the root does not know it"},
          {"trace", "FILE", "record the session's bytes into FILE (see \"hotsync trace\")"},
          {"timeout", "SECONDS", "how long the handheld may stay silent before the link counts as broken (default 30)"}},
         {},
         "hotsync listen --net --once",
         RootUse::Existing,
         [](Invocation &inv) { return listen(inv.hostRoot(), inv.args, inv.out); }},
    };
}

} // namespace hotsynctool
