// The main window's skin: the ten layers in drawing order and the three image buttons.
#include "ui/dialog_templates.h"
#include "ui/quelolink_dlg.h"

#include <array>

namespace {

struct LayerRow {
    std::int32_t resourceId;
    std::int32_t x;
    std::int32_t y;
    bool lampFlag;        // the layer depends on m_connected
    std::uint8_t flagValue;
};

// Drawing order: the borders and the title bar, the panel, the lamp, the logos and the wordmark.
constexpr std::array<LayerRow, 10> kLayerTable{{
    {145, 8, 352, false, 0},   // bottom border
    {143, 0, 40, false, 0},    // left border
    {144, 532, 40, false, 0},  // right border
    {142, 0, 0, false, 0},     // title bar
    {141, 8, 40, false, 0},    // main panel
    {kLampOnImage, 32, 298, true, 1},
    {kLampOffImage, 32, 298, true, 0},
    {154, 32, 9, false, 0},    // brand logo on the title bar
    {155, 408, 64, false, 0},  // small white brand logo on the panel
    {156, 160, 145, false, 0}, // PCU wordmark on the yellow field
}};

struct ButtonRow {
    int command;
    int x;
    int y;
    std::uint16_t normal, pressed, disabled, hover;
};

constexpr ButtonRow kCloseButton{IDC_SKIN_CLOSE, 492, 4, 146, 147, 146, 147};
constexpr ButtonRow kMinimizeButton{IDC_SKIN_MINIMIZE, 460, 4, 148, 149, 148, 149};
constexpr ButtonRow kUpdateButton{IDC_SKIN_UPDATE, 396, 296, 152, 153, 152, 153};

}  // namespace

bool TestFlag(const std::uint8_t* flag, std::uint8_t value) { return flag != nullptr && *flag == value; }

void CQueloLinkDlg::LoadLayers() {
    if (m_services.graphics == nullptr || m_services.resources == nullptr) return;
    for (const auto& row : kLayerTable) {
        _tag_UI_ImageStruct layer;
        layer.pImage = new CGdiPlusBitmapResource(*m_services.graphics, *m_services.resources);
        layer.resourceId = row.resourceId;
        layer.x = row.x;
        layer.y = row.y;
        if (row.lampFlag) {
            layer.pFlag = &m_connected;
            layer.flagValue = row.flagValue;
            layer.pfnTest = &TestFlag;
        }
        layer.pImage->Load(static_cast<std::uint16_t>(row.resourceId));
        m_layers.push_back(layer);
    }
}

void CQueloLinkDlg::BuildSkin() {
    LoadLayers();
    if (m_pHost == nullptr || m_services.graphics == nullptr || m_services.resources == nullptr) return;
    auto make = [&](const ButtonRow& row) {
        return CreateSkinButton(row.x, row.y, *m_pHost, row.command, row.normal, row.pressed, row.disabled, row.hover,
                                *m_services.graphics, *m_services.resources);
    };
    m_pCloseButton = make(kCloseButton);
    m_pMinimizeButton = make(kMinimizeButton);
    m_pUpdateButton = make(kUpdateButton);
    m_pUpdateButton->ShowWindow(true);
}
