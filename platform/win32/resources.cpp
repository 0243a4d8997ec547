// The program's resources from its own executable, compiled in from the .rc the build writes:
// custom types (FW, PNG) by name, and the icon group, whose 32 x 32 image (stored as PNG) is
// what the "ICON" resource of that number gives.
#include "platform/resources.h"

#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {
namespace {

constexpr int kIconSize = 32;

std::optional<std::span<const std::uint8_t>> ResourceBytes(const wchar_t* type, const wchar_t* name) {
    HRSRC found = ::FindResourceW(nullptr, name, type);
    if (found == nullptr) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const DWORD size = ::SizeofResource(nullptr, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return std::nullopt;
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size);
}

// Resource type names are matched without regard to case by Windows, and the build writes
// them as they are listed (capitals, digits, '_'); other spellings are not this program's.
bool IsListedTypeName(std::u16string_view type) {
    if (type.empty()) return false;
    for (char16_t c : type)
        if (!((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_')) return false;
    return true;
}

class ExecutableResources final : public ResourceSource {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) override {
        if (!IsListedTypeName(type)) return std::nullopt;
        if (type == u"ICON") return IconImage(id);
        std::wstring wideType;
        if (!win32::ToWide(type, wideType)) return std::nullopt;
        return ResourceBytes(wideType.c_str(), MAKEINTRESOURCEW(id));
    }

private:
    static std::optional<std::span<const std::uint8_t>> IconImage(std::uint16_t id) {
        const auto group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(id));
        if (!group) return std::nullopt;
        const int image = ::LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group->data()), TRUE, kIconSize,
                                                        kIconSize, LR_DEFAULTCOLOR);
        if (image == 0) return std::nullopt;
        return ResourceBytes(RT_ICON, MAKEINTRESOURCEW(image));
    }
};

}  // namespace

ResourceSource& ProgramResources() {
    static ExecutableResources resources;
    return resources;
}

}  // namespace platform
