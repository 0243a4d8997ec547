// A resource table for tests: holds what a test puts in, nothing by default.
#pragma once

#include "platform/resources.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform::sim {

class FakeResources final : public ResourceSource {
public:
    // Adds resource `type`/`id`, replacing one of that type and number. The bytes a Find gave
    // for the replaced one are gone with it.
    void Put(std::u16string type, std::uint16_t id, std::vector<std::uint8_t> bytes);
    void Remove(std::u16string_view type, std::uint16_t id);
    // Every Find asked, in order, whether it found anything or not.
    std::vector<std::pair<std::u16string, std::uint16_t>> Lookups() const;

    // The bytes live until the resource is replaced or removed, or the fake is destroyed.
    std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) override;

private:
    using Key = std::pair<std::u16string, std::uint16_t>;

    mutable std::mutex m_lock;
    std::map<Key, std::vector<std::uint8_t>> m_resources;
    std::vector<Key> m_lookups;
};

}  // namespace platform::sim
