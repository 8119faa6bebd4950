#include "palmlink/Trace.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace palmlink {

Trace parseTrace(const std::string &text)
{
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception &e) {
        throw DecodeError(std::string("recording: not JSON: ") + e.what());
    }
    if (!j.is_array())
        throw DecodeError("recording: not a JSON array");
    Trace trace;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const auto &e = j[i];
        const std::string where = "recording entry " + std::to_string(i);
        if (!e.is_object() || !e.contains("type") || !e.contains("data") || !e["type"].is_string() ||
            !e["data"].is_string())
            throw DecodeError(where + ": needs a \"type\" and a \"data\" text");
        TraceEntry entry;
        const std::string type = e["type"].get<std::string>();
        if (type == "read")
            entry.direction = TraceEntry::Direction::Read;
        else if (type == "write")
            entry.direction = TraceEntry::Direction::Write;
        else
            throw DecodeError(where + ": unknown type \"" + type + "\"");
        try {
            entry.data = fromHex(e["data"].get<std::string>());
        } catch (const DecodeError &err) {
            throw DecodeError(where + ": " + err.what());
        }
        trace.push_back(std::move(entry));
    }
    return trace;
}

std::string formatTrace(const Trace &trace)
{
    nlohmann::json j = nlohmann::json::array();
    for (const TraceEntry &e : trace)
        j.push_back({{"type", e.direction == TraceEntry::Direction::Read ? "read" : "write"}, {"data", toHex(e.data)}});
    return j.dump(2) + "\n";
}

Trace readTrace(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw LinkError("Cannot open " + file.string() + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw LinkError("Cannot read " + file.string());
    try {
        return parseTrace(text.str());
    } catch (const DecodeError &e) {
        throw DecodeError(file.string() + ": " + e.what());
    }
}

void writeTrace(const std::filesystem::path &file, const Trace &trace)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << formatTrace(trace);
    out.flush();
    if (!out)
        throw LinkError("Cannot write " + file.string());
}

std::optional<TraceKind> traceKindOf(const std::filesystem::path &file, const Trace &trace)
{
    const std::string name = file.filename().string();
    if (name.find(".serial-net") != std::string::npos)
        return TraceKind::SerialSync;
    if (name.find(".net") != std::string::npos)
        return TraceKind::NetSync;
    for (const TraceEntry &e : trace) {
        if (e.data.empty())
            continue;
        if (e.data[0] == 0xBE)
            return TraceKind::SerialSync;
        if (e.data[0] == 0x01)
            return TraceKind::NetSync;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace palmlink
