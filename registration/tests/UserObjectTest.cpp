#include "UserObject.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::pair<std::string, std::int32_t>> contents(const TUserList &list)
{
    std::vector<std::pair<std::string, std::int32_t>> items;
    for (std::size_t i = 0; i < list.Count(); ++i)
        items.emplace_back(list.Name(i), list.Object(i).UserId);
    return items;
}

std::unique_ptr<TUserObject> user(std::int32_t id, const std::string &name)
{
    auto u = std::make_unique<TUserObject>();
    u->UserId = id;
    u->UserName = name;
    return u;
}
} // namespace

TEST(UserList, SortsByNameWithoutRegardToCaseAndKeepsDuplicatesInArrivalOrder)
{
    TUserList list;
    list.Add("bob", user(1, "bob"));
    list.Add("Alice", user(2, "Alice"));
    list.Add("BOB", user(3, "BOB"));
    list.Add("alice", user(4, "alice"));
    list.Add("Al", user(5, "Al"));
    using Items = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(contents(list), (Items{{"Al", 5}, {"Alice", 2}, {"alice", 4}, {"bob", 1}, {"BOB", 3}}));

    ClearUserList(list);
    EXPECT_EQ(list.Count(), 0u);
}

struct NameOrderCase {
    const char *name;
    std::vector<std::string> added;
    std::vector<std::string> listed;
};

class NameOrder : public ::testing::TestWithParam<NameOrderCase> {};

TEST_P(NameOrder, FollowsTheCollationWithoutRegardToCase)
{
    TUserList list;
    std::int32_t id = 0;
    for (const auto &name : GetParam().added)
        list.Add(name, user(++id, name));
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < list.Count(); ++i)
        listed.push_back(list.Name(i));
    EXPECT_EQ(listed, GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameOrder,
    ::testing::Values(NameOrderCase{"AccentedCapitalBeforeLaterLetters", {"zed", "Émile", "Eve"}, {"Émile", "Eve", "zed"}},
                      NameOrderCase{"AccentOnlyAfterThePlainLetter", {"Émile", "emile"}, {"emile", "Émile"}},
                      NameOrderCase{"NonAsciiCaseIsIgnored", {"Otto", "ÖSTEN", "östen"}, {"ÖSTEN", "östen", "Otto"}},
                      NameOrderCase{"GermanSharpS", {"Strauß", "Strand"}, {"Strand", "Strauß"}}),
    [](const auto &info) { return std::string(info.param.name); });
