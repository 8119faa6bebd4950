#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace conduit {

// Text order ignoring case, as the sorted record lists compare their keys.
struct CaseInsensitiveLess {
    static unsigned char lower(char c)
    {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
    }
    bool operator()(const std::string &a, const std::string &b) const
    {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char x = lower(a[i]), y = lower(b[i]);
            if (x != y)
                return x < y;
        }
        return a.size() < b.size();
    }
};

// A list of owned objects kept sorted by key, equal keys accepted: an entry
// added under a key that entries already carry goes before them. Lookup
// finds the first entry carrying a key in logarithmic time.
template <class T>
class TKeyedList {
    using Map = std::multimap<std::string, std::unique_ptr<T>, CaseInsensitiveLess>;

public:
    using iterator = typename Map::iterator;

    T *add(const std::string &key, std::unique_ptr<T> object)
    {
        T *raw = object.get();
        entries_.emplace_hint(entries_.lower_bound(key), key, std::move(object));
        return raw;
    }

    // The object of the first entry carrying the key, or nullptr.
    T *find(const std::string &key) const
    {
        auto it = entries_.lower_bound(key);
        if (it == entries_.end() || CaseInsensitiveLess()(key, it->first))
            return nullptr;
        return it->second.get();
    }

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }

    // Removes the first entry and hands its object to the caller.
    std::unique_ptr<T> takeFirst()
    {
        auto it = entries_.begin();
        std::unique_ptr<T> object = std::move(it->second);
        entries_.erase(it);
        return object;
    }

private:
    Map entries_;
};

} // namespace conduit
