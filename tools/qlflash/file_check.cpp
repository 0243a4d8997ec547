#include "tools/qlflash/file_check.h"

#include "link/upgrade_file.h"
#include "platform/text.h"

#include <algorithm>
#include <array>

namespace qlflash {

std::optional<std::string> ProblemWithUpgradeFile(platform::FileSystem& files, const std::string& path) {
    auto file = files.OpenForReading(platform::FromUtf8(path));
    if (!file) return "cannot open " + path;
    std::uint64_t size = 0;
    if (!file->Size(size)) return "cannot read the size of " + path;
    std::array<std::uint8_t, kFixedHeaderLength> head{};
    const auto headSize = file->Read(head.data(), static_cast<std::uint32_t>(head.size()));
    // Fewer bytes than the file has (a directory, a read error) is no statement about its layout.
    if (headSize < std::min<std::uint64_t>(size, head.size())) return "cannot read " + path;
    const auto layout = CheckUpgradeFile(size, head.data(), headSize);
    if (layout.check == UpgradeFileCheck::Valid) return std::nullopt;
    return path + " is not an upgrade file: " + platform::ToUtf8(DescribeUpgradeFileCheck(layout.check));
}

}  // namespace qlflash
