#include "Command.h"

#include "hotsync/ActionStore.h"
#include "hotsync/HostError.h"

#include <charconv>

namespace hotsynctool {

using namespace hotsync;

std::optional<std::string> Arguments::value(const std::string &name) const
{
    auto it = values_.find(name);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

std::string Arguments::required(const std::string &name) const
{
    auto v = value(name);
    if (!v)
        throw UsageError("option --" + name + " is required");
    return *v;
}

std::vector<std::string> Arguments::all(const std::string &name) const
{
    std::vector<std::string> result;
    auto [from, to] = values_.equal_range(name);
    for (auto it = from; it != to; ++it)
        result.push_back(it->second);
    return result;
}

const HostRoot &Invocation::hostRoot() const
{
    if (!root)
        throw CommandFailure("Cannot find the HotSync root folder: give --root, or set HOTSYNC_ROOT or HOME");
    return *root;
}

std::vector<OptionEntry> userOptions()
{
    return {{"user", "NAME", "the HotSync user of that name"},
            {"user-id", "ID", "the HotSync user of that id (where several share a name)"}};
}

User selectUser(const HostRoot &root, const Arguments &args)
{
    auto name = args.value("user");
    auto id = args.value("user-id");
    if (name && id)
        throw UsageError("give --user or --user-id, not both");
    if (!name && !id)
        throw UsageError("option --user is required");
    UserStore users(root);
    return id ? users.require(parseInt(*id, "--user-id")) : users.requireByName(*name);
}

std::int32_t parseInt(const std::string &text, const std::string &what)
{
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw UsageError(what + " must be a whole number, not \"" + text + "\"");
    return v;
}

CreatorId parseCreator(const std::string &text)
{
    try {
        return CreatorId::fromText(text);
    } catch (const HostError &e) {
        throw UsageError(e.what());
    }
}

std::int32_t parseAction(const std::string &text)
{
    if (text == "synchronize")
        return syncaction::synchronize;
    if (text == "handheld-overwrites")
        return syncaction::handheldOverwrites;
    if (text == "desktop-overwrites")
        return syncaction::desktopOverwrites;
    if (text == "nothing")
        return syncaction::doNothing;
    throw UsageError("unknown action \"" + text + "\": give " + actionWords);
}

std::string actionName(std::optional<std::int32_t> code)
{
    if (!code)
        return "none";
    switch (*code) {
    case 0:
    case 1:
        return "synchronize";
    case 2:
        return "handheld-overwrites";
    case 3:
        return "desktop-overwrites";
    case 6:
        return "nothing";
    default:
        return "code " + std::to_string(*code);
    }
}

} // namespace hotsynctool
