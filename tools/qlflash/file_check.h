// Checks an upgrade file before any port is opened, so a bad file is refused with the reason
// and nothing is sent.
#pragma once

#include "platform/files.h"

#include <optional>
#include <string>

namespace qlflash {

// Nothing when the file at `path` opens and has the layout of an upgrade file; else what is
// wrong with it, in a sentence that names the file.
std::optional<std::string> ProblemWithUpgradeFile(platform::FileSystem& files, const std::string& path);

}  // namespace qlflash
