#pragma once

#include "hotsync/CreatorId.h"
#include "hotsync/HostRoot.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

// The conduit module name that marks a COM conduit: the host creates the
// sync object named by the creator value "COMClient".
inline constexpr const char *comConduitModule = "ComConduit.dll";
inline constexpr const char *comClientValue = "COMClient";

// A named value of a creator's registration, addressed by a name and a
// second index (usually empty); both compare without regard to case.
struct CreatorValue {
    std::string name;
    std::string index;
    std::string value;
};

// What the HotSync Manager knows about one conduit.
struct ConduitRegistration {
    CreatorId creator = CreatorId::fromText("    ");
    std::string conduitName;   // the conduit module
    std::int32_t priority = 2; // lower runs earlier
    std::string remoteDb;
    std::string directory; // folder of the conduit's data inside the user's folder
    std::string fileName;
    std::string title;
    std::vector<CreatorValue> creatorValues;

    std::optional<std::string> creatorValue(const std::string &name, const std::string &index = {}) const;
    void setCreatorValue(const std::string &name, const std::string &index, const std::string &value);
    bool isComConduit() const;
    // The conduit's data folder inside a user's folder (the user's folder
    // itself when the conduit names none). Raises a HostError when the
    // directory is absolute or climbs out with "..".
    std::filesystem::path folderIn(const std::filesystem::path &userDirectory) const;
};

// The conduit registrations, one per creator.
class ConduitStore {
public:
    // Result of install() for a creator that is registered already.
    static constexpr std::int32_t alreadyRegistered = -1005;

    explicit ConduitStore(HostRoot root);

    // Registers a creator with empty settings: 0, or alreadyRegistered
    // (and nothing changes) when it is known.
    std::int32_t install(CreatorId creator);
    // Edits a registration under the lock; raises a HostError when the
    // creator is not registered. Nothing is written when `change` raises.
    void update(CreatorId creator, const std::function<void(ConduitRegistration &)> &change);
    bool remove(CreatorId creator);

    std::optional<ConduitRegistration> find(CreatorId creator) const;
    // In the order the conduits run: by priority, then creator.
    std::vector<ConduitRegistration> list() const;

private:
    std::vector<ConduitRegistration> load() const;
    void save(const std::vector<ConduitRegistration> &all) const;

    HostRoot root_;
};

} // namespace hotsync
