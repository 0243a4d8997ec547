// Image holders of the skin: a decoded bitmap, and one loaded from a PNG resource of the program.
#pragma once

#include "platform/graphics.h"
#include "platform/resources.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap();
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    std::unique_ptr<platform::Bitmap> m_pBitmap;  // the decoded image; null when nothing is loaded
};

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    CGdiPlusBitmapResource(platform::Graphics& graphics, platform::ResourceSource& resources);
    ~CGdiPlusBitmapResource() override;

    // Decodes the PNG resource `id`, releasing what was held first; true when m_pBitmap holds it.
    bool Load(std::uint16_t id);

    std::unique_ptr<std::uint8_t[]> m_hBuffer;  // the holder's copy of the PNG bytes; null when none
    std::size_t m_bufferSize = 0;

protected:
    // Memory for the copy of the PNG bytes; null when there is none.
    virtual std::unique_ptr<std::uint8_t[]> AllocateBuffer(std::size_t size);

private:
    void Release();

    platform::Graphics& m_graphics;
    platform::ResourceSource& m_resources;
};
