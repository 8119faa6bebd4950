#include "updater/UpdateFileName.h"

#include <stdexcept>

namespace updater {

void CheckUpdateFileName(const std::string &fileName)
{
    bool bad = fileName.empty() || fileName == "." || fileName == "..";
    for (const char c : fileName)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            bad = true;
    if (bad)
        throw std::runtime_error("The update file name \"" + fileName +
                                 "\" sent by the server is not a plain file name.  The transfer was refused.");
}

} // namespace updater
