#include "platform/sim/fake_resources.h"

namespace platform::sim {

void FakeResources::Put(std::u16string type, std::uint16_t id, std::vector<std::uint8_t> bytes) {
    std::lock_guard guard(m_lock);
    m_resources[{std::move(type), id}] = std::move(bytes);
}

void FakeResources::Remove(std::u16string_view type, std::uint16_t id) {
    std::lock_guard guard(m_lock);
    m_resources.erase({std::u16string(type), id});
}

std::vector<std::pair<std::u16string, std::uint16_t>> FakeResources::Lookups() const {
    std::lock_guard guard(m_lock);
    return m_lookups;
}

std::optional<std::span<const std::uint8_t>> FakeResources::Find(std::u16string_view type, std::uint16_t id) {
    std::lock_guard guard(m_lock);
    Key key{std::u16string(type), id};
    const auto found = m_resources.find(key);
    m_lookups.push_back(std::move(key));
    if (found == m_resources.end()) return std::nullopt;
    return std::span<const std::uint8_t>(found->second);
}

}  // namespace platform::sim
