#pragma once

// The check shared by the host store fuzzer and its replay test: the first
// byte of an input picks a store file of the HotSync host (users, conduit
// registrations, conduit actions, install queue, a backup's manifest), the
// rest becomes that file, and the store reads it: refused with an error
// derived from std::exception, or read. Anything else is a finding.

#include "hotsync/ActionStore.h"
#include "hotsync/BackupStore.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/CreatorId.h"
#include "hotsync/HostRoot.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>

namespace hotsync::fuzz {

// `root` is an existing, otherwise empty folder that the check may fill.
inline void checkStore(const std::filesystem::path &root, std::span<const std::uint8_t> input)
{
    if (input.empty())
        return;
    const HostRoot host(root);
    const int store = input[0] % 5;
    std::filesystem::path file;
    switch (store) {
    case 0: file = host.usersFile(); break;
    case 1: file = host.conduitsFile(); break;
    case 2: file = host.actionsFile(1); break;
    case 3: file = host.installQueueFile(1); break;
    default: file = host.userDataFolder(1) / "backups" / "1-20260101-000000" / "manifest"; break;
    }
    std::filesystem::create_directories(file.parent_path());
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(input.data() + 1), static_cast<std::streamsize>(input.size() - 1));
    }
    try {
        switch (store) {
        case 0: (void)UserStore(host).list(); break;
        case 1: (void)ConduitStore(host).list(); break;
        case 2: (void)ActionStore(host).get(1, CreatorId::fromText("KLXC")); break;
        case 3: (void)InstallQueue(host).list(1); break;
        default:
            for (const auto &backup : BackupStore(host, 1).list())
                (void)backup.handheld.size();
            break;
        }
    } catch (const std::exception &) {
        // Refused with a message: what a damaged store file must give.
    }
    std::filesystem::remove(file);
}

} // namespace hotsync::fuzz
