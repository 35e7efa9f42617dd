#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vel {

// Which stored items go when a byte budget is exceeded: the least recently
// used first. It keeps keys and sizes only; the caller drops what it says.
class LruBytes {
public:
    explicit LruBytes(std::uint64_t capacity)
        : m_capacity(capacity)
    {}

    // Records `key` as used now with `size` bytes (replacing its earlier
    // size) and returns the keys to drop to stay within the budget, least
    // recently used first. An item larger than the whole budget is itself
    // dropped at once.
    std::vector<std::string> put(const std::string& key, std::uint64_t size);
    // Marks `key` as used now; false when it is not stored.
    bool touch(const std::string& key);
    void erase(const std::string& key);
    bool contains(const std::string& key) const { return m_where.count(key) > 0; }

    std::uint64_t total() const { return m_total; }
    std::uint64_t capacity() const { return m_capacity; }

private:
    using Order = std::list<std::pair<std::string, std::uint64_t>>;  // most recent first

    std::uint64_t m_capacity;
    std::uint64_t m_total = 0;
    Order m_order;
    std::unordered_map<std::string, Order::iterator> m_where;
};

}  // namespace vel
