// One skin layer: an image drawn at a place of the main window, in table order.
#pragma once

#include "ui/gdiplus_bitmap.h"

#include <array>
#include <cstdint>

// True when the byte at `flag` equals `value`.
bool TestFlag(const std::uint8_t* flag, std::uint8_t value);

struct _tag_UI_ImageStruct {
    CGdiPlusBitmapResource* pImage = nullptr;  // owned by the window that holds the layers
    std::int32_t resourceId = 0;               // PNG resource, used as a 16-bit identifier
    std::int32_t x = 0;                        // top-left corner in client pixels
    std::int32_t y = 0;
    std::uint8_t* pFlag = nullptr;             // display flag the layer depends on, or null
    std::uint8_t flagValue = 0;
    bool (*pfnTest)(const std::uint8_t*, std::uint8_t) = nullptr;
    std::int32_t reserved1 = 0;
    std::int32_t reserved2 = 0;
    std::int32_t reserved3 = 0;
};

// The lamp's two images: on (green) and off (red).
inline constexpr std::int32_t kLampOnImage = 150;
inline constexpr std::int32_t kLampOffImage = 151;
