// The program's own resources: data files built into the executable, found by type and number.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

class ResourceSource {
public:
    virtual ~ResourceSource() = default;
    // The bytes of resource `type`/`id`, which live as long as the program; nullopt when the
    // program has no such resource.
    virtual std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) = 0;
};

// The resources built into this program.
ResourceSource& ProgramResources();

}  // namespace platform
