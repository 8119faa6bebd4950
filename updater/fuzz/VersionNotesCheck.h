#pragma once

// The check shared by the version notes fuzzer and its replay test: any
// text is read as the update server's version description, every value the
// update checker uses is taken from it (the "Info00".. lines until the first
// empty one, the sizes, the file names, which are checked to be plain
// names), and nothing may crash or throw.

#include "updater/IniFile.h"
#include "updater/UpdateFileName.h"

#include <cstdio>
#include <exception>
#include <string>

namespace updater::fuzz {

inline void checkVersionNotes(const std::string &text)
{
    const TIniFile ini = TIniFile::fromText(text);
    for (const char *section : {"GEARVANE", "BRENHOLT"}) {
        (void)ini.SectionExists(section);
        for (const char *key : {"AppName", "Version", "FileName", "FullFileName", "Host", "Directory", "User"})
            try {
                CheckUpdateFileName(ini.ReadString(section, key, ""));
            } catch (const std::exception &) {
                // Refused as a file name: what the checker must do with it.
            }
        for (const char *key : {"FileSize", "FullFileSize", "Port"})
            (void)ini.ReadInteger(section, key, 0);
        for (int n = 0; n < 100; ++n) {
            char key[8];
            std::snprintf(key, sizeof key, "Info%02d", n);
            if (ini.ReadString(section, key, "").empty())
                break;
        }
    }
}

} // namespace updater::fuzz
