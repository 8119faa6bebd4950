#include "selbow/PalmInstallUtils.h"

#include "selbow/GetUsersForm.h"
#include "selbow/UserObject.h"

#include "palmcontrols/ControlFactory.h"
#include "palmcontrols/TConduitData.h"
#include "palmcontrols/TConduitManager.h"
#include "palmcontrols/THotSyncApi.h"
#include "palmcontrols/TUserData.h"

#include <stdexcept>

namespace selbow {

using namespace palmcontrols;

void RegisterConduit()
{
    auto manager = createControl<TConduitManager>();
    auto data = createControl<TConduitData>();

    const std::int32_t creator = manager->CreatorFromText(GearvaneCreator);
    std::int32_t r = manager->InstallConduit(creator, true);
    if (r < 0 && r != ConduitAlreadyInstalled)
        throw std::runtime_error("InstallConduit Failed with Error " + std::to_string(r));
    if (r >= 0) {
        r = data->AssignCreator(creator);
        if (r < 0)
            throw std::runtime_error("AssignCreator Failed with Error " + std::to_string(r));
        data->Set_ConduitName("ComConduit.dll");
        data->Set_Priority(2);
        data->Set_RemoteDb("MainDB-KLXC");
        data->Set_Directory("gearvane");
        data->Set_fileName("MainDB-KLXC.PDB");
        data->Set_Title("Gearvane");
        data->Set_CreatorValue("COMClient", "", "Tarnlink.KLXGVClientNotify");
    }
    HotSyncNotify();
}

void HotSyncNotify()
{
    createControl<THotSyncApi>()->HotSyncNotify(0);
}

void InstallForUsers(TclsUtils &utils, const std::string &fileName, bool hasDisplay)
{
    auto userData = createControl<TUserData>();
    TUserList users = PickUsers(utils, hasDisplay);
    struct Release {
        TUserList &list;
        ~Release() { ClearUserList(list); }
    } release{users};
    // A user whose file could not be queued would otherwise wait in vain for
    // it while the run reports success. One user's failure does not keep the
    // file from the others: every user is tried, and the failures are
    // reported together at the end.
    std::string failures;
    for (std::size_t i = 0; i < users.Count(); ++i) {
        const TUserObject &user = users.Object(i);
        std::string failure;
        try {
            std::int32_t r = userData->SelectUser(user.UserId);
            if (r < 0)
                failure = "SelectUser Failed with Error " + std::to_string(r) + " for user " + user.UserName;
            else if ((r = userData->QueueInstall(fileName)) < 0)
                failure = "QueueInstall Failed with Error " + std::to_string(r) + " for user " + user.UserName;
        } catch (const std::exception &e) {
            failure = std::string(e.what()) + " (user " + user.UserName + ")";
        }
        if (!failure.empty())
            failures += (failures.empty() ? "" : "\r") + failure;
    }
    if (!failures.empty())
        throw std::runtime_error(failures);
}

} // namespace selbow
