#include "core/pictures/lru_bytes.h"

namespace vel {

std::vector<std::string> LruBytes::put(const std::string& key, std::uint64_t size)
{
    erase(key);
    // Never pushes out the rest for what cannot be kept anyway.
    if (size > m_capacity)
        return {key};
    m_order.emplace_front(key, size);
    m_where[key] = m_order.begin();
    m_total += size;
    std::vector<std::string> dropped;
    while (m_total > m_capacity && !m_order.empty()) {
        auto& [oldest, bytes] = m_order.back();
        m_total -= bytes;
        m_where.erase(oldest);
        dropped.push_back(std::move(oldest));
        m_order.pop_back();
    }
    return dropped;
}

bool LruBytes::touch(const std::string& key)
{
    const auto found = m_where.find(key);
    if (found == m_where.end())
        return false;
    m_order.splice(m_order.begin(), m_order, found->second);
    return true;
}

void LruBytes::erase(const std::string& key)
{
    const auto found = m_where.find(key);
    if (found == m_where.end())
        return;
    m_total -= found->second->second;
    m_order.erase(found->second);
    m_where.erase(found);
}

}  // namespace vel
