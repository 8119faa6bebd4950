#include "UserObject.h"

#include <algorithm>

namespace {
unsigned char fold(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}
} // namespace

int CompareUserNames(const std::string &a, const std::string &b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = fold(a[i]);
        const unsigned char y = fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void ClearUserList(TUserList &list)
{
    while (list.Count() > 0)
        list.Delete(0);
}

void CopyUser(TUserObject &target, const TUserObject &source)
{
    target.UserId = source.UserId;
    target.UserName = source.UserName;
    target.UserDirectory = source.UserDirectory;
}
