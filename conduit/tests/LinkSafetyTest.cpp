// The conduit against a device on the HotSync link (the virtual handheld,
// over Net Sync and Serial Sync on TCP and on a pty): the same tables and
// the same databases as a HotSync of the same folder; and a link cut at
// any moment loses nothing: after the next complete HotSync both sides
// agree and hold every record of an uninterrupted run, at worst a record
// twice (a new record the device stored before the desktop could commit).
#include "SyncFixture.h"

#include "VirtualHandheld.h"
#include "com/ComPtr.h"
#include "conduit/ConduitUtils.h"
#include "conduit/KLXClientNotify.h"
#include "desktopdb/Table.h"
#include "palmlink/CmpHandshake.h"
#include "palmlink/DeviceHandheld.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/PtyPair.h"
#include "palmlink/SerialPort.h"
#include "palmlink/TcpStream.h"
#include "palmsync/HotSyncSession.h"

#include <random>
#include <set>
#include <thread>

using namespace conduittest;
using namespace palmlink;
namespace fs = std::filesystem;

namespace {

enum class Line { NetSync, SerialTcp, SerialPty };

const char *lineName(Line l)
{
    return l == Line::NetSync ? "Net Sync" : l == Line::SerialTcp ? "Serial Sync on TCP" : "Serial Sync on a pty";
}

// The desktop's end of the line: counts the bytes both ways and cuts the
// line (both ends see it closed) once `cutAfter` have passed.
class CuttingStream : public ByteStream {
public:
    CuttingStream(ByteStream &inner, std::size_t cutAfter) : inner_(inner), cutAfter_(cutAfter) {}

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override
    {
        check(0);
        std::size_t n = inner_.readSome(buffer.first(std::min(buffer.size(), room())), deadline);
        bytes += n;
        return n;
    }
    void write(std::span<const std::uint8_t> data) override
    {
        check(0);
        const std::size_t n = std::min(data.size(), room());
        inner_.write(data.first(n));
        bytes += n;
        check(data.size() - n);
    }
    void close() override { inner_.close(); }

    std::size_t bytes = 0;
    bool cut = false;

private:
    std::size_t room() const { return cutAfter_ > bytes ? cutAfter_ - bytes : 0; }
    void check(std::size_t leftOver)
    {
        if (!cut && bytes >= cutAfter_ && (leftOver > 0 || bytes == cutAfter_)) {
            cut = true;
            inner_.close();
        }
        if (cut)
            throw ConnectionClosedError("the line was cut");
    }
    ByteStream &inner_;
    std::size_t cutAfter_;
};

// Both sides described by content: references resolved to names, so that
// a record written twice or a reference left pointing nowhere shows.
struct View {
    std::map<std::string, std::multiset<std::string>> tables;
    std::vector<std::string> faults;
};

std::string refName(const std::map<std::int64_t, std::string> &names, std::int64_t id, const char *what,
                    std::vector<std::string> &faults)
{
    if (id == 0)
        return "-";
    if (auto it = names.find(id); it != names.end())
        return it->second;
    faults.push_back(std::string("dangling ") + what + " reference " + std::to_string(id));
    return "?";
}

struct LinkRun {
    std::vector<std::string> log;
    std::size_t bytes = 0;
    bool cut = false;
};

class LinkSafety : public HotSyncFixture {
protected:
    LinkSafety()
    {
        build();
        pristine = {handheldDir, conduitDir};
    }

    struct Sides {
        fs::path handheld, desktop;
    };

    void use(const Sides &s)
    {
        handheldDir = s.handheld;
        conduitDir = s.desktop;
        pathName = conduitDir.string();
        staging = s.desktop.parent_path() / "device-staged";
    }

    Sides copyOfPristine(const std::string &name)
    {
        Sides s{temp / name / "handheld", temp / name / "conduit"};
        fs::create_directories(s.handheld.parent_path());
        fs::copy(pristine.handheld, s.handheld, fs::copy_options::recursive);
        fs::copy(pristine.desktop, s.desktop, fs::copy_options::recursive);
        return s;
    }

    static MainRecord entry(std::int32_t vehicle, std::int32_t vendor, std::int32_t mileage, const std::string &notes)
    {
        MainRecord m;
        m.vehicleId = vehicle;
        m.vendorId = vendor;
        m.mileage = mileage;
        m.type = "FU";
        m.date[3] = 1 + static_cast<std::uint16_t>(mileage % 28);
        m.date[4] = 3;
        m.date[5] = 2003;
        m.costWhole = 20;
        m.qtyWhole = 10;
        m.notes = notes;
        return m;
    }

    // A handheld and a desktop in step, then work waiting on both sides:
    // new, changed and deleted records, a conflict, and new desktop rows
    // that refer to each other by ids the handheld has not given yet.
    void build()
    {
        setRecords(kOilGradeDB, {palmRecord(11, oilGradeBytes({4, 50, "5W30", ""}))});
        setRecords(kSupplierDB, {palmRecord(21, supplierBytes({1, "Shell", "", ""})),
                                 palmRecord(22, supplierBytes({2, "Esso", "", ""}))});
        setRecords(kVehicleDB, {palmRecord(31, vehicleBytes({11, 1998, 9000, "Truck", "", "MAN", "TGL", "", ""}))});
        std::vector<palmsync::PalmRecord> entries;
        for (int i = 0; i < 12; ++i)
            entries.push_back(palmRecord(static_cast<std::uint32_t>(100 + i),
                                         mainBytes(entry(31, i % 2 ? 21 : 22, 1000 + i, "first"))));
        setRecords(kMainDB, entries);
        ASSERT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

        auto vehicles = records(kVehicleDB);
        vehicles.push_back(palmRecord(33, vehicleBytes({11, 2020, 3000, "Bike", "", "BMW", "R", "", ""}), 0x40));
        setRecords(kVehicleDB, vehicles);
        auto main = records(kMainDB);
        for (auto &r : main) {
            MainRecord m = readMain(r.data);
            if (m.mileage == 1000 || m.mileage == 1001) {
                m.notes = "changed on the handheld";
                r.data = mainBytes(m);
                r.attributes = 0x40;
            } else if (m.mileage == 1003) {
                r.attributes = 0x80;
            }
        }
        for (int i = 0; i < 3; ++i)
            main.push_back(palmRecord(static_cast<std::uint32_t>(200 + i),
                                      mainBytes(entry(33, 21, 2000 + i, "new on the handheld")), 0x40));
        setRecords(kMainDB, main);

        addRow("OILGRADE", syncColumns(-1, false) + Row{{"Name", "15W50"}, {"ItemCost", 9.5}});
        addRow("VEHICLE",
               syncColumns(-2, false) +
                   Row{{"Name", "Camper"}, {"OilGradeId", std::int64_t{-1}}, {"ModelYear", std::int64_t{1985}}});
        for (int i = 0; i < 3; ++i)
            addRow("MAIN", syncColumns(-5 - i, false) + Row{{"VehicleId", std::int64_t{-2}},
                                                            {"VendorId", std::int64_t{21}},
                                                            {"Mileage", std::int64_t{3000 + i}},
                                                            {"Type", "SV"},
                                                            {"TranDate", conduit::EncodeDate(2004, 2, 1 + i)},
                                                            {"Notes", "new on the desktop"}});
        desktopdb::Table t;
        t.setDatabaseName(conduitDir.string());
        t.setTableName("MAIN");
        t.open();
        for (t.first(); !t.eof(); t.next()) {
            const auto mileage = t.fieldByName("Mileage").asInteger();
            if (mileage != 1001 && mileage != 1005 && mileage != 1006)
                continue;
            t.edit();
            if (mileage == 1006) {
                t.fieldByName("Deleted").setAsBoolean(true);
            } else {
                t.fieldByName("Notes").setAsString("changed on the desktop");
                t.fieldByName("Modified").setAsBoolean(true);
            }
            t.post();
        }
    }

    View handheldView() const
    {
        View v;
        std::map<std::int64_t, std::string> oil, suppliers, vehicles;
        for (const auto &r : records(kOilGradeDB))
            v.tables["OILGRADE"].insert(oil[r.uniqueId] = readOilGrade(r.data).name);
        for (const auto &r : records(kSupplierDB))
            v.tables["SUPPLIER"].insert(suppliers[r.uniqueId] = readSupplier(r.data).name);
        for (const auto &r : records(kVehicleDB)) {
            VehicleRecord x = readVehicle(r.data);
            vehicles[r.uniqueId] = x.name;
            v.tables["VEHICLE"].insert(x.name + "|" + std::to_string(x.modelYear) + "|" +
                                       refName(oil, x.oilGradeId, "oil grade", v.faults));
        }
        for (const auto &r : records(kMainDB)) {
            MainRecord x = readMain(r.data);
            v.tables["MAIN"].insert(std::to_string(x.mileage) + "|" + x.notes + "|" +
                                    refName(vehicles, x.vehicleId, "vehicle", v.faults) + "|" +
                                    refName(suppliers, x.vendorId, "supplier", v.faults));
        }
        for (const std::string &db : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB})
            for (const auto &r : records(db))
                if (r.attributes != 0)
                    v.faults.push_back(db + " record " + std::to_string(r.uniqueId) + " keeps attributes " +
                                       std::to_string(r.attributes));
        std::error_code ec;
        if (fs::exists(staging, ec) && !fs::is_empty(staging, ec))
            v.faults.push_back("flag changes left staged on the host");
        return v;
    }

    View desktopView() const
    {
        View v;
        auto names = [&](const char *table) {
            std::map<std::int64_t, std::string> n;
            for (const auto &row : rows(table))
                n[intOf(row, "DBID")] = textOf(row, "Name");
            return n;
        };
        auto oil = names("OILGRADE"), suppliers = names("SUPPLIER"), vehicles = names("VEHICLE");
        for (const std::string table : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"}) {
            for (const auto &row : rows(table)) {
                if (!boolOf(row, "Synced") || boolOf(row, "Modified") || boolOf(row, "Deleted"))
                    v.faults.push_back(table + " row " + std::to_string(intOf(row, "DBID")) + " keeps a flag");
                std::string text;
                if (table == "OILGRADE" || table == "SUPPLIER")
                    text = textOf(row, "Name");
                else if (table == "VEHICLE")
                    text = textOf(row, "Name") + "|" + std::to_string(intOf(row, "ModelYear")) + "|" +
                           refName(oil, intOf(row, "OilGradeId"), "oil grade", v.faults);
                else
                    text = std::to_string(intOf(row, "Mileage")) + "|" + textOf(row, "Notes") + "|" +
                           refName(vehicles, intOf(row, "VehicleId"), "vehicle", v.faults) + "|" +
                           refName(suppliers, intOf(row, "VendorId"), "supplier", v.faults);
                v.tables[table].insert(text);
            }
        }
        return v;
    }

    // One HotSync of the conduit with the virtual handheld serving the
    // handheld folder over the line; the line is cut after `cutAfter` bytes.
    LinkRun runOverLink(std::int32_t syncType, Line line, std::size_t cutAfter = SIZE_MAX)
    {
        const milliseconds timeout(5000);
        std::unique_ptr<ByteStream> desktopEnd;
        std::thread device;
        const fs::path folder = handheldDir;
        auto serve = [folder, timeout](MessageLink &link) {
            virtualhandheld::VirtualHandheld handheld(folder);
            try {
                serveDlp(link, handheld, timeout);
            } catch (const std::exception &) {
            }
            handheld.closeAll(); // a device keeps what was written to it
        };
        std::optional<TcpListener> listener;
        std::optional<PtyPair> pty;
        if (line == Line::SerialPty) {
            pty.emplace();
            device = std::thread([path = pty->slavePath(), serve, timeout] {
                try {
                    auto port = SerialPort::open(path);
                    PadpLink link(*port);
                    openCmp(link, port.get(), 115200, timeout);
                    serve(link);
                } catch (const std::exception &) {
                }
            });
            desktopEnd = pty->takeMaster();
        } else {
            listener.emplace("127.0.0.1", 0);
            device = std::thread([port = listener->port(), line, serve, timeout] {
                try {
                    auto stream = TcpStream::connect("127.0.0.1", port, timeout);
                    if (line == Line::NetSync) {
                        NetSyncLink link(*stream);
                        link.openHandshake(timeout);
                        serve(link);
                    } else {
                        PadpLink link(*stream);
                        openCmp(link, nullptr, 115200, timeout);
                        serve(link);
                    }
                } catch (const std::exception &) {
                }
            });
            desktopEnd = listener->accept(deadlineIn(timeout));
        }

        CuttingStream stream(*desktopEnd, cutAfter);
        LinkRun run;
        try {
            std::unique_ptr<MessageLink> link;
            if (line == Line::NetSync) {
                auto n = std::make_unique<NetSyncLink>(stream);
                n->acceptHandshake(timeout);
                link = std::move(n);
            } else {
                auto p = std::make_unique<PadpLink>(stream);
                acceptCmp(*p, nullptr, 115200, timeout);
                link = std::move(p);
            }
            DlpClient client(*link, timeout);
            auto handheld = std::make_shared<DeviceHandheld>(client, "the virtual handheld", staging);
            {
                palmsync::HotSyncSession session({userName, pathName, syncType, {}}, handheld);
                {
                    com::ComPtr<conduit::TKLXGVClientNotify> notify(new conduit::TKLXGVClientNotify);
                    std::int16_t result = -1;
                    EXPECT_EQ(notify->BeginProcess(&result), com::S_OK);
                }
                try {
                    session.end();
                } catch (const std::exception &) {
                }
                run.log = session.logLines();
            }
            try {
                handheld->closeAll();
                client.endOfSync();
            } catch (const std::exception &) {
            }
        } catch (const LinkError &) {
            // Cut before the HotSync began.
        }
        run.bytes = stream.bytes;
        run.cut = stream.cut;
        stream.close();
        device.join();
        return run;
    }

    // An uninterrupted HotSync of the folder, for comparison.
    struct Clean {
        std::map<std::string, std::vector<palmsync::PalmRecord>> records;
        std::map<std::string, std::vector<Row>> rows;
        View view;
    };
    const Clean &clean(std::int32_t syncType)
    {
        if (auto it = clean_.find(syncType); it != clean_.end())
            return it->second;
        use(copyOfPristine("clean-" + std::to_string(syncType)));
        EXPECT_EQ(runHotSync(syncType), std::vector<std::string>{"OK Gearvane"});
        Clean c;
        for (const std::string &db : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB})
            c.records[db] = records(db);
        for (const char *table : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"})
            c.rows[table] = rows(table);
        c.view = handheldView();
        EXPECT_EQ(c.view.faults, std::vector<std::string>{});
        EXPECT_EQ(c.view.tables, desktopView().tables);
        return clean_[syncType] = c;
    }

    // After a cut and one complete HotSync over the link: both sides agree,
    // hold every record of the clean run, and any more are copies of them.
    void expectNothingLost(std::int32_t syncType, const std::string &what)
    {
        SCOPED_TRACE(what);
        LinkRun again = runOverLink(syncType, Line::NetSync);
        ASSERT_FALSE(again.cut);
        EXPECT_EQ(again.log, std::vector<std::string>{"OK Gearvane"});
        View handheld = handheldView(), desktop = desktopView();
        EXPECT_EQ(handheld.faults, std::vector<std::string>{});
        EXPECT_EQ(desktop.faults, std::vector<std::string>{});
        EXPECT_EQ(handheld.tables, desktop.tables);
        for (const auto &[table, expected] : clean(syncType).view.tables) {
            const auto &got = handheld.tables[table];
            for (const auto &record : std::set<std::string>(expected.begin(), expected.end()))
                EXPECT_GE(got.count(record), expected.count(record)) << table << " lost " << record;
            for (const auto &record : got)
                EXPECT_TRUE(expected.count(record)) << table << " holds " << record << ", which is no copy";
        }
    }

    Sides pristine;
    fs::path staging;
    std::map<std::int32_t, Clean> clean_;
};

TEST_F(LinkSafety, EveryLineGivesTheTablesAndDatabasesOfAFolderHotSync)
{
    const struct {
        Line line;
        std::int32_t syncType;
    } cases[] = {
        {Line::NetSync, 0}, {Line::SerialTcp, 0}, {Line::SerialPty, 0}, {Line::NetSync, 2}, {Line::NetSync, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(lineName(c.line)) + ", sync type " + std::to_string(c.syncType));
        const Clean &expected = clean(c.syncType);
        use(copyOfPristine(std::string("line-") + std::to_string(int(c.line)) + "-" + std::to_string(c.syncType)));
        LinkRun run = runOverLink(c.syncType, c.line);
        ASSERT_EQ(run.log, std::vector<std::string>{"OK Gearvane"});
        for (const auto &[db, recs] : expected.records)
            EXPECT_EQ(records(db), recs) << db;
        for (const auto &[table, rs] : expected.rows)
            EXPECT_EQ(rows(table), rs) << table;
    }
}

// The line cut after chosen byte counts spread over the whole HotSync, and
// at random ones; each cut is proven by the byte count and the failed run.
TEST_F(LinkSafety, ACutLineLosesNothing)
{
    std::mt19937 random(20240517);
    for (std::int32_t syncType : {0, 3}) {
        clean(syncType);
        use(copyOfPristine("measure-" + std::to_string(syncType)));
        const std::size_t total = runOverLink(syncType, Line::NetSync).bytes;
        ASSERT_GT(total, 1000u);
        std::vector<std::size_t> cuts;
        const int chosen = syncType == 0 ? 16 : 8;
        for (int i = 0; i < chosen; ++i)
            cuts.push_back(total * static_cast<std::size_t>(i) / chosen + 7);
        for (int i = 0; i < (syncType == 0 ? 8 : 4); ++i)
            cuts.push_back(random() % total);
        for (std::size_t at : cuts) {
            const std::string name = "cut-" + std::to_string(syncType) + "-" + std::to_string(at);
            use(copyOfPristine(name));
            LinkRun cut = runOverLink(syncType, Line::NetSync, at);
            ASSERT_TRUE(cut.cut) << name;
            EXPECT_EQ(cut.bytes, at) << name;
            EXPECT_NE(cut.log, std::vector<std::string>{"OK Gearvane"}) << name << ": a cut HotSync cannot succeed";
            expectNothingLost(syncType, name);
        }
    }
}

} // namespace
