#include "CommandLine.h"

#include <algorithm>

namespace hotsynctool {

CommandLine::CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &valueOptions,
                         const std::vector<std::string> &repeatable)
{
    auto known = [&](const std::string &name) {
        return std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end() ||
               std::find(repeatable.begin(), repeatable.end(), name) != repeatable.end();
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            words_.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        if (!known(name))
            throw UsageError("unknown option --" + name);
        if (!value) {
            if (i + 1 >= args.size())
                throw UsageError("option --" + name + " needs a value");
            value = args[++i];
        }
        bool once = std::find(repeatable.begin(), repeatable.end(), name) == repeatable.end();
        if (once && options_.count(name))
            throw UsageError("option --" + name + " given twice");
        options_.emplace(name, *value);
    }
}

std::optional<std::string> CommandLine::option(const std::string &name) const
{
    auto it = options_.find(name);
    if (it == options_.end())
        return std::nullopt;
    return it->second;
}

std::string CommandLine::required(const std::string &name) const
{
    auto v = option(name);
    if (!v)
        throw UsageError("option --" + name + " is required");
    return *v;
}

std::vector<std::string> CommandLine::all(const std::string &name) const
{
    std::vector<std::string> values;
    auto [from, to] = options_.equal_range(name);
    for (auto it = from; it != to; ++it)
        values.push_back(it->second);
    return values;
}

std::optional<std::string> takeRootOption(std::vector<std::string> &args)
{
    std::optional<std::string> root;
    for (std::size_t i = 0; i < args.size();) {
        std::optional<std::string> value;
        std::size_t width = 0;
        if (args[i] == "--root") {
            if (i + 1 >= args.size())
                throw UsageError("option --root needs a value");
            value = args[i + 1];
            width = 2;
        } else if (args[i].rfind("--root=", 0) == 0) {
            value = args[i].substr(7);
            width = 1;
        }
        if (!value) {
            ++i;
            continue;
        }
        if (root)
            throw UsageError("option --root given twice");
        if (value->empty())
            throw UsageError("option --root needs a folder");
        root = value;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + width));
    }
    return root;
}

} // namespace hotsynctool
