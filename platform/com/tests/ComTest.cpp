#include "com/ClassTable.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "com/InprocServer.h"
#include "TestCounter.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

using namespace com;

namespace {

class IAlpha : public IUnknown {
public:
    static constexpr IID iid = guid("{A0000000-0000-0000-0000-000000000001}");
    virtual int alpha() = 0;

protected:
    ~IAlpha() = default;
};

class IBeta : public IUnknown {
public:
    static constexpr IID iid = guid("{B0000000-0000-0000-0000-000000000002}");
    virtual int beta() = 0;

protected:
    ~IBeta() = default;
};

int destroyed = 0;

class AlphaBeta : public ComObject<IAlpha, IBeta> {
public:
    ~AlphaBeta() override { ++destroyed; }
    int alpha() override { return 1; }
    int beta() override { return 2; }
};

TEST(Guid, ParsesAndFormatsRegistryForm)
{
    auto g = GUID::parse("{3f8e5b8f-e4a8-4db3-8954-efc40f888f1a}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->toString(), "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}");
    EXPECT_EQ(*g, guid("{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}"));
    EXPECT_EQ(GUID::parse("3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A"), g);
    EXPECT_EQ(g->Data1, 0x3F8E5B8Fu);
    EXPECT_EQ(g->Data4[7], 0x1A);
}

TEST(Guid, RejectsMalformedText)
{
    for (const char *bad : {"", "{}", "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1}", "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1AX",
                            "{3F8E5B8F+E4A8-4DB3-8954-EFC40F888F1A}", "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888G1A}"})
        EXPECT_FALSE(GUID::parse(bad)) << bad;
}

TEST(ComObject, CountsReferencesAndFindsInterfaces)
{
    destroyed = 0;
    {
        ComPtr<IAlpha> a(new AlphaBeta);
        EXPECT_EQ(a->alpha(), 1);
        ComPtr<IBeta> b = a.as<IBeta>();
        ASSERT_TRUE(b);
        EXPECT_EQ(b->beta(), 2);

        ComPtr<IUnknown> u1 = a.as<IUnknown>();
        ComPtr<IUnknown> u2 = b.as<IUnknown>();
        EXPECT_EQ(u1.get(), u2.get()) << "IUnknown identity must not depend on the path";

        ComPtr<IClassFactory> none = a.as<IClassFactory>();
        EXPECT_FALSE(none);
        void *raw = reinterpret_cast<void *>(1);
        EXPECT_EQ(a->QueryInterface(IClassFactory::iid, &raw), E_NOINTERFACE);
        EXPECT_EQ(raw, nullptr);
        EXPECT_EQ(a->QueryInterface(IAlpha::iid, nullptr), E_POINTER);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ComObject, QueryRaisesWithMessage)
{
    ComPtr<IAlpha> a(new AlphaBeta);
    try {
        a.query<IClassFactory>();
        FAIL() << "expected a ComError";
    } catch (const ComError &e) {
        EXPECT_EQ(e.code(), E_NOINTERFACE);
        EXPECT_STREQ(e.what(), "No such interface supported");
    }
}

TEST(ComError, CheckUsesCalleeMessageOnce)
{
    HRESULT hr = fail(E_FAIL, "database not found");
    try {
        check(hr);
        FAIL();
    } catch (const ComError &e) {
        EXPECT_STREQ(e.what(), "database not found");
    }
    // The slot is consumed: a second failure without text gets the system text.
    EXPECT_THROW(
        {
            try {
                check(E_FAIL);
            } catch (const ComError &e) {
                EXPECT_STREQ(e.what(), "Unspecified error");
                throw;
            }
        },
        ComError);
    EXPECT_NO_THROW(check(S_FALSE));
}

TEST(ComError, GuardedTurnsExceptionsIntoStatus)
{
    HRESULT hr = guarded([]() -> HRESULT { throw std::runtime_error("boom"); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(TakeErrorInfo(), "boom");
    EXPECT_EQ(guarded([] { return S_FALSE; }), S_FALSE);
}

class AlphaFactory : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ComPtr<IAlpha> obj(new AlphaBeta);
        return obj->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(bool) override { return S_OK; }
};

TEST(ClassTable, RegistersCreatesAndRevokes)
{
    constexpr CLSID clsid = guid("{C0000000-0000-0000-0000-000000000003}");
    ComPtr<IClassFactory> factory(new AlphaFactory);
    ASSERT_EQ(CoRegisterClassObject(clsid, factory.get()), S_OK);
    EXPECT_EQ(CoRegisterClassObject(clsid, factory.get()), E_FAIL);
    TakeErrorInfo();

    auto beta = createInstance<IBeta>(clsid);
    EXPECT_EQ(beta->beta(), 2);

    ASSERT_EQ(CoRevokeClassObject(clsid), S_OK);
    try {
        createInstance<IBeta>(clsid);
        FAIL();
    } catch (const ComError &e) {
        EXPECT_EQ(e.code(), REGDB_E_CLASSNOTREG);
    }
}

using comtest::ICounter;

TEST(InprocServer, LoadsLibraryAndCreatesObjects)
{
    InprocServer server((gvtest::binaryDir() / "gv_com_testserver.so").string());
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    {
        auto counter = server.createInstance<ICounter>(comtest::clsidCounter);
        EXPECT_EQ(counter->next(), 1);
        EXPECT_EQ(counter->next(), 2);
        EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    EXPECT_EQ(server.registerServer(), S_OK);
    EXPECT_EQ(server.unregisterServer(), E_FAIL);
    EXPECT_EQ(TakeErrorInfo(), "refused");

    void *obj = nullptr;
    EXPECT_EQ(server.getClassObject(guid("{99999999-2222-3333-4444-555555555555}"), IClassFactory::iid, &obj),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST(InprocServer, MissingLibraryRaises)
{
    try {
        InprocServer server("/nonexistent/folder/lib.so");
        FAIL();
    } catch (const ComError &e) {
        EXPECT_EQ(e.code(), CO_E_DLLNOTFOUND);
        EXPECT_NE(std::string(e.what()).find("/nonexistent/folder/lib.so"), std::string::npos);
    }
}

} // namespace
