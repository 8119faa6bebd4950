#include "palmlink/DlpCommands.h"

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

namespace palmlink::dlp {

namespace {

std::string upToZero(const std::string &s)
{
    return s.substr(0, s.find('\0'));
}

std::string withZero(const std::string &name, std::size_t limit, const char *what)
{
    if (name.size() + 1 > limit)
        throw std::length_error(std::string(what) + " \"" + name + "\" is too long");
    return name + std::string(1, '\0');
}

struct Layout {
    std::function<void(std::span<const std::uint8_t>, std::string &, int)> describe;
    std::function<Bytes(std::span<const std::uint8_t>)> reencode;
};

using Key = std::tuple<std::uint8_t, bool, std::uint8_t>; // function, response, argument id

template <class T> Layout layoutOf()
{
    return {[](std::span<const std::uint8_t> data, std::string &out, int indent) {
                T value = decodeArgument<T>(data);
                FieldPrinter printer(out, indent);
                value.visit(printer);
            },
            [](std::span<const std::uint8_t> data) { return encodeArgument(decodeArgument<T>(data)); }};
}

template <class T> void add(std::map<Key, Layout> &m, bool response)
{
    m[{static_cast<std::uint8_t>(T::function), response, T::argId}] = layoutOf<T>();
}

template <class T> void addAs(std::map<Key, Layout> &m, Function f, bool response)
{
    m[{static_cast<std::uint8_t>(f), response, T::argId}] = layoutOf<T>();
}

const std::map<Key, Layout> &layouts()
{
    static const std::map<Key, Layout> m = [] {
        std::map<Key, Layout> m;
        const bool req = false, resp = true;
        add<UserInfo>(m, resp);
        add<WriteUserInfoRequest>(m, req);
        add<ReadSysInfoRequest>(m, req);
        add<SysInfo>(m, resp);
        add<SysInfoVersions>(m, resp);
        add<SysDateTime>(m, resp);
        add<SetSysDateTimeRequest>(m, req);
        add<ReadStorageInfoRequest>(m, req);
        add<StorageInfo>(m, resp);
        add<StorageInfoEx>(m, resp);
        add<ReadDBListRequest>(m, req);
        add<DBList>(m, resp);
        add<OpenDBRequest>(m, req);
        add<OpenDBResponse>(m, resp);
        add<CreateDBRequest>(m, req);
        add<CreateDBResponse>(m, resp);
        add<CloseDBRequest>(m, req);
        add<CloseAllDBRequest>(m, req);
        add<CloseDBExRequest>(m, req);
        add<DeleteDBRequest>(m, req);
        add<ReadAppBlockRequest>(m, req);
        add<AppBlock>(m, resp);
        add<WriteAppBlockRequest>(m, req);
        add<ReadSortBlockRequest>(m, req);
        add<SortBlock>(m, resp);
        add<WriteSortBlockRequest>(m, req);
        add<ReadNextModifiedRecRequest>(m, req);
        addAs<RecordData>(m, Function::ReadNextModifiedRec, resp);
        add<ReadRecordByIdRequest>(m, req);
        add<ReadRecordByIndexRequest>(m, req);
        add<RecordData>(m, resp);
        add<WriteRecordRequest>(m, req);
        add<WriteRecordResponse>(m, resp);
        add<DeleteRecordRequest>(m, req);
        add<ReadResourceByIndexRequest>(m, req);
        add<ReadResourceByTypeRequest>(m, req);
        add<ResourceData>(m, resp);
        add<WriteResourceRequest>(m, req);
        add<DeleteResourceRequest>(m, req);
        add<CleanUpDatabaseRequest>(m, req);
        add<ResetSyncFlagsRequest>(m, req);
        add<CallApplicationV10Request>(m, req);
        add<CallApplicationRequest>(m, req);
        add<CallApplicationV10Response>(m, resp);
        add<CallApplicationResponse>(m, resp);
        add<AddSyncLogEntryRequest>(m, req);
        add<ReadOpenDBInfoRequest>(m, req);
        add<OpenDBInfo>(m, resp);
        add<MoveCategoryRequest>(m, req);
        add<EndOfSyncRequest>(m, req);
        add<ResetRecordIndexRequest>(m, req);
        add<ReadRecordIDListRequest>(m, req);
        add<RecordIDList>(m, resp);
        add<ReadNextRecInCategoryRequest>(m, req);
        addAs<RecordData>(m, Function::ReadNextRecInCategory, resp);
        add<ReadNextModifiedRecInCategoryRequest>(m, req);
        addAs<RecordData>(m, Function::ReadNextModifiedRecInCategory, resp);
        add<ReadAppPreferenceRequest>(m, req);
        add<AppPreference>(m, resp);
        add<WriteAppPreferenceRequest>(m, req);
        add<NetSyncInfo>(m, resp);
        add<WriteNetSyncInfoRequest>(m, req);
        add<ReadFeatureRequest>(m, req);
        add<Feature>(m, resp);
        add<FindDBByNameRequest>(m, req);
        add<FindDBByHandleRequest>(m, req);
        add<FindDBByTypeCreatorRequest>(m, req);
        add<FoundDB>(m, resp);
        add<FoundDBSize>(m, resp);
        return m;
    }();
    return m;
}

const Layout *findLayout(std::uint8_t function, bool response, std::uint8_t argId)
{
    auto it = layouts().find({function, response, argId});
    return it == layouts().end() ? nullptr : &it->second;
}

std::string argumentHeading(const Argument &a)
{
    char buf[48];
    static const char *forms[] = {"tiny", "small", "long"};
    std::snprintf(buf, sizeof buf, "  arg 0x%02X (%s, %zu bytes):", a.id, forms[static_cast<int>(a.form)],
                  a.data.size());
    return buf;
}

std::string describeArguments(std::uint8_t function, bool response, const std::vector<Argument> &args)
{
    std::string out;
    for (const Argument &a : args) {
        out += "\n" + argumentHeading(a);
        if (const Layout *l = findLayout(function, response, a.id)) {
            try {
                l->describe(a.data, out, 4);
            } catch (const DecodeError &e) {
                char id[8];
                std::snprintf(id, sizeof id, "0x%02X", a.id);
                throw DecodeError(functionName(function) + (response ? " response" : " request") + " argument " + id +
                                  ": " + e.what());
            }
        } else {
            FieldPrinter printer(out, 4);
            printer.rest("data", a.data);
        }
    }
    return out;
}

std::string mismatch(std::uint8_t function, bool response, const std::vector<Argument> &args)
{
    for (const Argument &a : args) {
        if (const Layout *l = findLayout(function, response, a.id)) {
            Bytes again = l->reencode(a.data);
            if (again != a.data) {
                char id[8];
                std::snprintf(id, sizeof id, "0x%02X", a.id);
                return functionName(function) + (response ? " response" : " request") + " argument " + id +
                       ": decoded " + toHex(a.data) + ", encoded again " + toHex(again);
            }
        }
    }
    return {};
}

} // namespace

std::string UserInfo::name() const
{
    return upToZero(userName);
}

void UserInfo::setName(const std::string &name)
{
    userName = name.empty() ? std::string() : withZero(name, 41, "user name");
    userNameLength = static_cast<std::uint8_t>(userName.size());
}

std::string WriteUserInfoRequest::name() const
{
    return upToZero(userName);
}

void WriteUserInfoRequest::setName(const std::string &name)
{
    userName = name.empty() ? std::string() : withZero(name, 41, "user name");
    userNameLength = static_cast<std::uint8_t>(userName.size());
}

void CardInfo::setNames(const std::string &name, const std::string &maker)
{
    cardName = name;
    manufacturer = maker;
    if (name.size() > 100 || maker.size() > 100)
        throw std::length_error("card names are too long");
    cardNameSize = static_cast<std::uint8_t>(name.size());
    manufacturerSize = static_cast<std::uint8_t>(maker.size());
    std::size_t size = 26 + name.size() + maker.size();
    padding.assign(size % 2, 0);
    totalSize = static_cast<std::uint8_t>(size + padding.size());
}

std::string DbInfo::name() const
{
    std::string s(nameBytes.begin(), nameBytes.end());
    return upToZero(s);
}

void DbInfo::setName(const std::string &name)
{
    std::string z = withZero(name, 32, "database name");
    nameBytes.assign(z.begin(), z.end());
    if (nameBytes.size() % 2)
        nameBytes.push_back(0);
    totalSize = static_cast<std::uint8_t>(kHeaderSize + nameBytes.size());
}

bool hasLayout(std::uint8_t function, bool response, std::uint8_t argId)
{
    return findLayout(function, response, argId) != nullptr;
}

std::string describe(const Request &request)
{
    return functionName(request.function) + " request" + describeArguments(request.function, false, request.args);
}

std::string describe(const Response &response)
{
    return functionName(response.function) + " response, " + errorName(response.errorCode) +
           describeArguments(response.function, true, response.args);
}

std::string reencodeMismatch(const Request &request)
{
    return mismatch(request.function, false, request.args);
}

std::string reencodeMismatch(const Response &response)
{
    return mismatch(response.function, true, response.args);
}

} // namespace palmlink::dlp
