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
