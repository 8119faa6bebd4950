#include "selbow/SelbowProgram.h"

#include "selbow/PalmInstallUtils.h"

#include "utils/Utils.h"

#include <cstdio>
#include <exception>

namespace selbow {

std::string ApplicationFileName(TclsUtils &utils, const std::string &programPath)
{
    const std::size_t slash = programPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    return (folder.empty() ? std::string("./") : utils.AddBackslash(folder)) + "Gearvane.prc";
}

int RunSelbow(TclsUtils &utils, const std::string &programPath, bool hasDisplay)
{
    auto report = [&](const std::string &text) {
        if (hasDisplay)
            utils.ShowError(text);
        else
            std::fprintf(stderr, "Selbow: %s\n", text.c_str());
    };
    try {
        RegisterConduit();
        InstallForUsers(utils, ApplicationFileName(utils, programPath), hasDisplay);
        return 0;
    } catch (const std::exception &e) {
        report(e.what());
    } catch (...) {
        report("Unknown error");
    }
    return 1;
}

} // namespace selbow
