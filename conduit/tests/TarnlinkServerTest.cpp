// The conduit library as the host sees it: registration keys, class
// factory, unload rule and conduit information, through the real plug-in.
#include "TempDir.h"
#include "TestPaths.h"
#include "com/InprocServer.h"
#include "palmsync/SyncSuite.h"
#include "registry/Registry.h"
#include "utils/VersionInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace com;
using registry::Hive;

namespace {

const std::string clsidText = "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}";

class TarnlinkServer : public ::testing::Test {
protected:
    void SetUp() override { setenv("HOTSYNC_ROOT", root.str().c_str(), 1); }
    void TearDown() override { unsetenv("HOTSYNC_ROOT"); }

    // A copy of the built plug-in under another name or folder.
    std::string copyLibrary(const std::string &relative)
    {
        auto target = root.path() / relative;
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(gvtest::binaryDir() / "Tarnlink.so", target);
        return target.string();
    }

    registry::Registry reg() { return registry::Registry(root.path()); }
    std::optional<std::string> value(const std::string &key, const std::string &name = "")
    {
        return reg().stringValue(Hive::ClassesRoot, key, name);
    }

    gvtest::TempDir root;
};

TEST_F(TarnlinkServer, RegistersClassAndProgIdKeys)
{
    std::string path = copyLibrary("lib/Tarnlink.so");
    InprocServer server(path);
    ASSERT_EQ(server.registerServer(), S_OK);

    const std::string clsidKey = "CLSID\\" + clsidText;
    EXPECT_EQ(value(clsidKey), "KLX Gearvane Conduit");
    EXPECT_EQ(value(clsidKey + "\\InprocServer32"), path);
    EXPECT_EQ(value(clsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(value(clsidKey + "\\ProgID"), "Tarnlink.KLXGVClientNotify");
    EXPECT_EQ(value("Tarnlink.KLXGVClientNotify"), "KLX Gearvane Conduit");
    EXPECT_EQ(value("tarnlink.klxgvclientnotify\\CLSID"), clsidText) << "key names ignore case";

    ASSERT_EQ(server.unregisterServer(), S_OK);
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, clsidKey));
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "CLSID")) << "only the class's own keys go";
}

TEST_F(TarnlinkServer, RenamedCopyInFolderWithBlanksRegistersItsOwnProgId)
{
    std::string path = copyLibrary("Program Files/Gear vane/Other.so");
    InprocServer server(path);
    ASSERT_EQ(server.registerServer(), S_OK);
    EXPECT_EQ(value("CLSID\\" + clsidText + "\\InprocServer32"), path);
    EXPECT_EQ(value("CLSID\\" + clsidText + "\\ProgID"), "Other.KLXGVClientNotify");
    EXPECT_EQ(value("Other.KLXGVClientNotify\\Clsid"), clsidText);
    EXPECT_FALSE(value("Tarnlink.KLXGVClientNotify"));
}

TEST_F(TarnlinkServer, UnregisterDeletesInOrderAndStopsAtAKeyWithSubkeys)
{
    InprocServer server(copyLibrary("Tarnlink.so"));
    ASSERT_EQ(server.registerServer(), S_OK);
    // Someone else's key below InprocServer32 makes its deletion fail; the
    // keys deleted before it (ProgID side) are gone, the later ones stay.
    reg().createKey(Hive::ClassesRoot, "CLSID\\" + clsidText + "\\InprocServer32\\Extra");
    EXPECT_EQ(server.unregisterServer(), E_FAIL);
    TakeErrorInfo();
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "CLSID\\" + clsidText + "\\ProgID"));
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "CLSID\\" + clsidText + "\\InprocServer32"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "CLSID\\" + clsidText));
}

TEST_F(TarnlinkServer, RegistrationFailsWhenTheRegistryCannotBeWritten)
{
    auto locked = root.path() / "locked";
    std::filesystem::create_directories(locked / "registry");
    // A file where the hive's folder should be makes every write fail.
    std::filesystem::remove_all(locked / "registry");
    gvtest::writeFileText(locked / "registry", "not a folder");
    setenv("HOTSYNC_ROOT", locked.c_str(), 1);
    InprocServer server(copyLibrary("Tarnlink.so"));
    EXPECT_EQ(server.registerServer(), E_FAIL);
    EXPECT_FALSE(TakeErrorInfo().empty());
}

TEST_F(TarnlinkServer, ClassFactoryAndUnloadRule)
{
    InprocServer server(copyLibrary("Tarnlink.so"));
    constexpr CLSID clsid = guid("{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}");
    void *raw = nullptr;
    EXPECT_EQ(server.getClassObject(guid("{00000000-1111-2222-3333-444444444444}"), IClassFactory::iid, &raw),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(server.getClassObject(clsid, palmsync::IPDClientNotify::iid, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(server.canUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.getClassObject(clsid, IClassFactory::iid, factory.put()), S_OK);
    {
        ComPtr<palmsync::IPDClientNotify> a, b;
        ASSERT_EQ(factory->CreateInstance(nullptr, palmsync::IPDClientNotify::iid, a.put()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, palmsync::IPDClientNotify::iid, b.put()), S_OK);
        EXPECT_NE(a.get(), b.get()) << "a new sync object per request";
        EXPECT_EQ(server.canUnloadNow(), S_FALSE);
        b = nullptr;
        EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    ASSERT_EQ(factory->LockServer(true), S_OK);
    EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(false), S_OK);
    EXPECT_EQ(server.canUnloadNow(), S_OK);

    void *unknown = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, guid("{00000000-1111-2222-3333-444444444444}"), &unknown),
              E_NOINTERFACE);
    EXPECT_EQ(server.canUnloadNow(), S_OK) << "a refused request leaves no object behind";
}

TEST_F(TarnlinkServer, ConduitInfoByKind)
{
    InprocServer server(copyLibrary("Tarnlink.so"));
    auto notify = server.createInstance<palmsync::IPDClientNotify>(guid("{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}"));
    struct Case {
        int kind;
        Variant expected;
    };
    const Case cases[] = {{0, std::string("Gearvane")}, {1, std::int32_t(268435456)}, {2, std::int32_t(0)},
                          {3, std::int32_t(1)},         {4, std::monostate{}},       {-1, std::monostate{}}};
    for (const auto &c : cases) {
        Variant value = std::string("stale");
        ASSERT_EQ(notify->GetConduitInfo(c.kind, 0, 0, "", &value), S_OK);
        EXPECT_EQ(value, c.expected) << "kind " << c.kind;
    }
}

TEST(TarnlinkLibrary, CarriesItsVersionInformationAndTypeLibrary)
{
    const auto library = gvtest::binaryDir() / "Tarnlink.so";
    auto note = gvutils::readVersionNote(library.string());
    ASSERT_TRUE(note);
    EXPECT_EQ(gvutils::versionText(note->fileVersion), "2.5.0.0");
    EXPECT_EQ(gvutils::versionText(note->productVersion), "1.0.0.0");
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(note->strings, (std::vector<Pair>{{"FileDescription", "Conduit for Gearvane"},
                                                {"CompanyName", "Brenholt"},
                                                {"ProductName", "Gearvane"}}));

    const std::string bytes = gvtest::readFileText(library);
    EXPECT_NE(bytes.find("library GVConLib"), std::string::npos);
    EXPECT_NE(bytes.find("uuid(9596A9EF-C7ED-439E-9084-F8F77DBD1443)"), std::string::npos);
    EXPECT_NE(bytes.find("coclass KLXGVConduit"), std::string::npos);
}

} // namespace
