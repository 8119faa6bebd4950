#include "ComServer.h"

#include "com/ComError.h"
#include "conduit/ConfigureForm.h"
#include "conduit/KLXClientNotify.h"
#include "registry/Registry.h"

#include <QApplication>

#include <atomic>
#include <dlfcn.h>
#include <filesystem>

using namespace com;

#define GV_EXPORT extern "C" __attribute__((visibility("default")))

namespace conduit {

namespace {

std::atomic<int> serverLocks{0};

// The class factory lives as long as the library is loaded.
class TKLXGVClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID &riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IUnknown::iid && riid != IClassFactory::iid)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    // The factory is a static object: references do not decide its life;
    // LockServer does keep the library loaded.
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }

    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return guarded([&] {
            // A new sync object for every request.
            ComPtr<palmsync::IPDClientNotify> object(new TKLXGVClientNotify);
            return object->QueryInterface(riid, ppv);
        });
    }

    HRESULT LockServer(bool lock) override
    {
        if (lock)
            ++serverLocks;
        else
            --serverLocks;
        return S_OK;
    }
};

TKLXGVClassFactory classFactory;

// The dialog needs a QApplication; a host without one gets one for the
// time the dialog is shown.
bool showConfigureDialog(const std::int32_t *initialAction, ConfigureChoice &choice)
{
    std::unique_ptr<QApplication> ownApp;
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "Tarnlink";
        static char *argv[] = {name, nullptr};
        ownApp = std::make_unique<QApplication>(argc, argv);
    }
    bool accepted = false;
    {
        TfrmConfigure dialog;
        if (initialAction)
            dialog.SetAction(*initialAction);
        dialog.exec();
        if (dialog.okPressed()) {
            choice.action = dialog.GetAction();
            choice.setAsDefault = dialog.GetSetAsDefault();
            accepted = true;
        }
    }
    return accepted;
}

struct DialogInstaller {
    DialogInstaller() { TKLXGVClientNotify::setConfigureDialog(showConfigureDialog); }
    ~DialogInstaller() { TKLXGVClientNotify::setConfigureDialog(nullptr); }
} dialogInstaller;

std::string clsidKey() { return "CLSID\\" + CLSID_KLXGVClientNotify.toString(); }

} // namespace

std::string libraryPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&libraryPath), &info) || !info.dli_fname)
        throw std::runtime_error("Cannot find the path of the conduit library");
    return std::filesystem::absolute(info.dli_fname).lexically_normal().string();
}

std::string progIdForLibrary(const std::string &path)
{
    return std::filesystem::path(path).stem().string() + "." + ClassName;
}

} // namespace conduit

using namespace conduit;

GV_EXPORT HRESULT DllRegisterServer()
{
    try {
        std::string path = libraryPath();
        std::string progId = progIdForLibrary(path);
        auto reg = registry::Registry::atDefaultRoot();
        const auto root = registry::Hive::ClassesRoot;
        reg.setString(root, clsidKey(), "", ClassDescription);
        // There are no short file names here: a path with blanks is stored as it is.
        reg.setString(root, clsidKey() + "\\InprocServer32", "", path);
        reg.setString(root, clsidKey() + "\\InprocServer32", "ThreadingModel", "Apartment");
        reg.setString(root, progId, "", ClassDescription);
        reg.setString(root, progId + "\\Clsid", "", CLSID_KLXGVClientNotify.toString());
        reg.setString(root, clsidKey() + "\\ProgID", "", progId);
        return S_OK;
    } catch (const std::exception &e) {
        return fail(E_FAIL, e.what());
    }
}

GV_EXPORT HRESULT DllUnregisterServer()
{
    try {
        std::string progId = progIdForLibrary(libraryPath());
        auto reg = registry::Registry::atDefaultRoot();
        const auto root = registry::Hive::ClassesRoot;
        for (const std::string &key : {clsidKey() + "\\ProgID", progId + "\\Clsid", progId,
                                       clsidKey() + "\\InprocServer32", clsidKey()}) {
            if (reg.deleteKey(root, key) == registry::DeleteKeyResult::HasSubkeys)
                return fail(E_FAIL, "Cannot delete registry key " + key + ": it has subkeys");
        }
        return S_OK;
    } catch (const std::exception &e) {
        return fail(E_FAIL, e.what());
    }
}

GV_EXPORT HRESULT DllGetClassObject(const CLSID *clsid, const IID *riid, void **ppv)
{
    if (!clsid || !riid || !ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (*clsid != CLSID_KLXGVClientNotify)
        return CLASS_E_CLASSNOTAVAILABLE;
    return classFactory.QueryInterface(*riid, ppv);
}

GV_EXPORT HRESULT DllCanUnloadNow()
{
    return TKLXGVClientNotify::liveObjects() > 0 || serverLocks > 0 ? S_FALSE : S_OK;
}
