#include "selbow/SelbowProgram.h"

#include "selbow/PalmInstallUtils.h"

#include "utils/Utils.h"

#include <exception>

namespace selbow {

std::string ApplicationFileName(TclsUtils &utils, const std::string &programPath)
{
    const std::size_t slash = programPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    return (folder.empty() ? std::string("./") : utils.AddBackslash(folder)) + "Gearvane.prc";
}

int RunSelbow(TclsUtils &utils, const std::string &programPath)
{
    try {
        RegisterConduit();
        InstallForUsers(utils, ApplicationFileName(utils, programPath));
        return 0;
    } catch (const std::exception &e) {
        utils.ShowError(e.what());
    } catch (...) {
        utils.ShowError("Unknown error");
    }
    return 1;
}

} // namespace selbow
