#include "VirtualHandheldProgram.h"

#include "VirtualHandheld.h"

#include "palmlink/CmpHandshake.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/PadpLink.h"
#include "palmlink/SerialPort.h"
#include "palmlink/TcpStream.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
#include <thread>

#ifndef GV_VERSION
#define GV_VERSION "unknown"
#endif

namespace virtualhandheld {

namespace {

using namespace palmlink;

constexpr const char *usageText =
    "Usage: virtual-handheld DIR (--net HOST:PORT | --serial-net HOST:PORT | --tty PATH)\n"
    "                        [--user NAME] [--timeout SECONDS]\n";

struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr const char *helpText =
    "Serves the Palm database files of DIR to a HotSync host as a handheld does: it connects to the host,\n"
    "answers its requests, and marks the records as the host settles them. For tests and demonstrations.\n"
    "\n"
    "  --net HOST:PORT         a network HotSync (Net Sync), as to \"hotsync listen --net\" (port 14238)\n"
    "  --serial-net HOST:PORT  Serial Sync carried over TCP, as to \"hotsync listen --serial-net\" (port 6416)\n"
    "  --tty PATH              Serial Sync on a serial line or pseudo-terminal\n"
    "  --user NAME             the handheld's user, when the folder has none yet\n"
    "  --timeout SECONDS       how long to wait for the host (default 60)\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n";

struct Options {
    bool help = false;
    bool version = false;
    std::filesystem::path folder;
    std::string transport; // "net", "serial-net", "tty"
    std::string target;
    std::optional<std::string> user;
    milliseconds timeout{60000};
};

Options parse(const std::vector<std::string> &args)
{
    Options o;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (!a.starts_with("--")) {
            words.push_back(a);
            continue;
        }
        if (a == "--help" || a == "--version") {
            (a == "--help" ? o.help : o.version) = true;
            return o;
        }
        if (i + 1 >= args.size())
            throw Usage(a + " needs a value");
        const std::string &v = args[++i];
        if (a == "--net" || a == "--serial-net" || a == "--tty") {
            if (!o.transport.empty())
                throw Usage("give one of --net, --serial-net and --tty");
            o.transport = a.substr(2);
            o.target = v;
        } else if (a == "--user") {
            o.user = v;
        } else if (a == "--timeout") {
            unsigned s = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), s);
            if (ec != std::errc() || p != v.data() + v.size() || s == 0)
                throw Usage("--timeout takes a whole number of seconds");
            o.timeout = milliseconds(s * 1000LL);
        } else {
            throw Usage("unknown option " + a);
        }
    }
    if (words.size() != 1)
        throw Usage("give one DIR");
    if (o.transport.empty())
        throw Usage("give one of --net, --serial-net and --tty");
    o.folder = words[0];
    return o;
}

// Connects, trying again while the host is not listening yet.
std::unique_ptr<TcpStream> connectWithin(const std::string &target, milliseconds timeout)
{
    auto [host, port] = splitHostPort(target);
    Deadline deadline = deadlineIn(timeout);
    for (;;) {
        try {
            return TcpStream::connect(host, port, timeout);
        } catch (const TimeoutError &) {
            throw;
        } catch (const LinkError &) {
            if (Clock::now() + milliseconds(100) >= deadline)
                throw;
            std::this_thread::sleep_for(milliseconds(100));
        }
    }
}

} // namespace

int runVirtualHandheld(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    Options o;
    try {
        o = parse(args);
        if (o.help) {
            out << usageText << "\n" << helpText;
            return 0;
        }
        if (o.version) {
            out << "virtual-handheld (Gearvane companion suite) " << GV_VERSION << "\n";
            return 0;
        }
        if (o.transport != "tty")
            splitHostPort(o.target);
    } catch (const std::exception &e) {
        err << "virtual-handheld: " << e.what() << "\n" << usageText;
        return 2;
    }
    std::optional<VirtualHandheld> handheld;
    try {
        if (!std::filesystem::is_directory(o.folder))
            throw std::runtime_error(o.folder.string() + " is not a folder");
        if (o.user) {
            HandheldUser u = HandheldUser::load(o.folder);
            if (u.name.empty()) {
                u.name = *o.user;
                u.save(o.folder);
            }
        }
        handheld.emplace(o.folder);
        std::uint16_t termination = 0;
        if (o.transport == "tty") {
            auto port = SerialPort::open(o.target);
            PadpLink link(*port);
            CmpAgreement a = openCmp(link, port.get(), 115200, o.timeout);
            out << "virtual-handheld: connected on " << o.target << " at " << a.baudRate << " baud\n";
            termination = serveDlp(link, *handheld, o.timeout);
        } else {
            auto stream = connectWithin(o.target, o.timeout);
            if (o.transport == "net") {
                NetSyncLink link(*stream);
                link.openHandshake(o.timeout);
                out << "virtual-handheld: connected to " << o.target << " over Net Sync\n";
                termination = serveDlp(link, *handheld, o.timeout);
            } else {
                PadpLink link(*stream);
                openCmp(link, nullptr, 115200, o.timeout);
                out << "virtual-handheld: connected to " << o.target << " over Serial Sync\n";
                termination = serveDlp(link, *handheld, o.timeout);
            }
        }
        handheld->closeAll();
        out << "virtual-handheld: the desktop ended the HotSync"
            << (termination ? " (termination code " + std::to_string(termination) + ")" : "") << "\n";
        return 0;
    } catch (const std::exception &e) {
        if (handheld) {
            try {
                handheld->closeAll(); // a device keeps what was written to it
            } catch (const std::exception &saveError) {
                err << "virtual-handheld: " << saveError.what() << "\n";
            }
        }
        err << "virtual-handheld: the HotSync failed: " << e.what() << "\n";
        return 1;
    }
}

} // namespace virtualhandheld
