// The About box (template 100): the program's name and version, the maker's notice and OK.
#pragma once

#include "platform/dialog.h"
#include "ui/ui_services.h"

#include <memory>

class CAboutDlg : public platform::DialogClient {
public:
    explicit CAboutDlg(UiServices& services) : m_services(services) {}

    bool OnInitDialog(platform::DialogHost& host) override;
    void OnPaint(platform::Canvas& paint) override;
    int OnNcHitTest(int defaultResult, int, int) override { return defaultResult; }
    void PreTranslateKey(std::uint32_t&) override {}
    void OnCommand(int id, int notification) override;
    std::intptr_t WindowProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void OnClose() override;
    void OnDestroy() override;

private:
    UiServices& m_services;
    platform::DialogHost* m_pHost = nullptr;
    platform::CButton m_okState;
    std::unique_ptr<platform::Font> m_font;
};
