// The firmware image: reading an upgrade file into it, and loading the image built into the
// program through a temporary file beside the executable.
#include "link/esc_link.h"
#include "link/link_text.h"
#include "link/memory_file.h"
#include "link/upgrade_file.h"

#include <array>

namespace {

constexpr char16_t kBuiltInFileName[] = u"Korva_PCU_A16.qfu";
constexpr char16_t kFirmwareResourceType[] = u"FW";
constexpr std::uint16_t kFirmwareResourceId = 136;
constexpr std::size_t kPathChars = 512;

// Reads exactly `size` bytes; false on a short read.
bool ReadExactly(platform::File& file, std::uint8_t* buffer, std::uint32_t size) {
    return file.Read(buffer, size) == size;
}

bool SkipExactly(platform::File& file, std::uint32_t size) {
    std::array<std::uint8_t, 256> scratch{};
    while (size > 0) {
        const auto chunk = std::min<std::uint32_t>(size, scratch.size());
        if (!ReadExactly(file, scratch.data(), chunk)) return false;
        size -= chunk;
    }
    return true;
}

}  // namespace

bool ESCLink::ReadUpgradeFile(platform::File* file) {
    std::lock_guard guard(m_linkLock);
    if (file == nullptr) {
        AppendStatus(u"Upgrade file select fail.", m_pStatusLog);
        return false;
    }
    // Replacing the image while its blocks are being written would mix two images in the device.
    if (m_blocksLeft > 0 || m_blockInHand || m_mode.load() == ModeWrite) {
        AppendStatus(u"Upgrade file select fail.", m_pStatusLog);
        return false;
    }
    std::uint64_t size = 0;
    if (!file->Size(size)) return false;
    std::array<std::uint8_t, kFixedHeaderLength> head{};
    const auto headSize = file->Read(head.data(), static_cast<std::uint32_t>(head.size()));
    const auto layout = CheckUpgradeFile(size, head.data(), headSize);
    if (layout.check != UpgradeFileCheck::Valid) return false;

    // The blocks go into a new buffer; the image in force is replaced only once all arrived.
    auto image = AllocateBuffer(layout.imageLength);
    if (!image) {
        AppendStatus(u"Upgrade file select fail.", m_pStatusLog);
        return false;
    }
    if (!SkipExactly(*file, layout.headerLength - kFixedHeaderLength)) return false;
    if (!ReadExactly(*file, image.get(), layout.imageLength)) return false;

    m_pImage = std::move(image);
    m_blockSize = layout.blockSize;
    m_imageLength = static_cast<std::uint16_t>(layout.imageLength);
    m_pImageCursor = m_pImage.get();
    const auto mode = m_mode.load();
    if ((mode == ModeReady || mode == ModeKeepAlive) && m_hMainWnd != nullptr) PostLinkState(1, 0);
    AppendStatus(u"Upgrade file selected.", m_pStatusLog);
    return true;
}

void ESCLink::LoadBuiltInImage() {
    const char16_t separator = m_pFiles->PathSeparator();
    std::array<char16_t, kPathChars> directory{};
    CopyText(directory, m_pFiles->ModulePath());
    for (std::size_t i = TextOf(directory).size(); i-- > 0;) {
        if (directory[i] == separator) {
            directory[i] = u'\0';
            break;
        }
    }
    std::array<char16_t, kPathChars> tempName{};
    CopyText(tempName, std::u16string(TextOf(directory)) + separator + kBuiltInFileName);
    const auto tempPath = TextOf(tempName);

    const auto resource = m_pResources->Find(kFirmwareResourceType, kFirmwareResourceId);
    bool written = false;
    if (resource) {
        if (auto out = m_pFiles->CreateForWriting(tempPath)) {
            written = out->Write(resource->data(), static_cast<std::uint32_t>(resource->size())) == resource->size();
        }
    }
    if (resource && !written) {
        // The executable's directory may not be writable (an installed program): take the
        // image straight from the program instead of leaving it without one.
        MemoryFile in(*resource);
        ReadUpgradeFile(&in);
    } else if (auto in = m_pFiles->OpenForReading(tempPath)) {
        ReadUpgradeFile(in.get());
    }
    m_pFiles->Delete(tempPath);
}
