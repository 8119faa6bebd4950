#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One HotSync user.
struct TUserObject {
    std::int32_t UserId = 0;
    std::string UserName;
    std::string UserDirectory; // carried along; this program does not use it
};

// One row of the user picker: the user and whether the operator marked it.
struct TUserInfo {
    bool Selected = false;
    std::unique_ptr<TUserObject> User;
};

// Compares two user names as the user's locale sorts them, without regard
// to case (Unicode case folding): < 0, 0 or > 0.
int CompareUserNames(const std::string &a, const std::string &b);

// A list of named objects, kept sorted by name without regard to case, with
// duplicates allowed (a new item goes after those whose name equals its
// own). The list owns its objects.
template <class T> class TSortedNameList {
public:
    std::size_t Count() const { return items_.size(); }
    const std::string &Name(std::size_t index) const { return items_.at(index).first; }
    T &Object(std::size_t index) const { return *items_.at(index).second; }

    // Returns the position the item went to.
    std::size_t Add(std::string name, std::unique_ptr<T> object)
    {
        std::size_t at = 0;
        while (at < items_.size() && CompareUserNames(items_[at].first, name) <= 0)
            ++at;
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), {std::move(name), std::move(object)});
        return at;
    }
    // Releases the item's object and removes it.
    void Delete(std::size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index)); }

private:
    std::vector<std::pair<std::string, std::unique_ptr<T>>> items_;
};

using TUserList = TSortedNameList<TUserObject>;

// Releases every user record of the list and empties it.
void ClearUserList(TUserList &list);
// Copies every field of `source` into `target`.
void CopyUser(TUserObject &target, const TUserObject &source);
