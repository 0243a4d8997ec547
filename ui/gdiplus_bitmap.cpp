#include "ui/gdiplus_bitmap.h"

#include <cstring>
#include <new>

CGdiPlusBitmap::~CGdiPlusBitmap() { m_pBitmap.reset(); }

CGdiPlusBitmapResource::CGdiPlusBitmapResource(platform::Graphics& graphics, platform::ResourceSource& resources)
    : m_graphics(graphics), m_resources(resources) {}

CGdiPlusBitmapResource::~CGdiPlusBitmapResource() { Release(); }

void CGdiPlusBitmapResource::Release() {
    m_pBitmap.reset();
    m_hBuffer.reset();
    m_bufferSize = 0;
}

std::unique_ptr<std::uint8_t[]> CGdiPlusBitmapResource::AllocateBuffer(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

bool CGdiPlusBitmapResource::Load(std::uint16_t id) {
    Release();
    const auto resource = m_resources.Find(u"PNG", id);
    if (!resource) return false;
    if (resource->empty()) return false;
    m_hBuffer = AllocateBuffer(resource->size());
    if (!m_hBuffer) return false;
    m_bufferSize = resource->size();
    std::memcpy(m_hBuffer.get(), resource->data(), resource->size());
    m_pBitmap = m_graphics.DecodePng({m_hBuffer.get(), m_bufferSize});
    if (m_pBitmap) return true;
    Release();
    return false;
}
