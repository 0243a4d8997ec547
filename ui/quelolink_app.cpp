#include "ui/quelolink_app.h"

#include "ui/quelolink_dlg.h"

#include <new>

CQueloLinkApp theApp;

CQueloLinkApp::~CQueloLinkApp() = default;

bool CQueloLinkApp::InitInstance() {
    // Common controls, the framework's start-up and its registry key have no counterpart here:
    // the window host draws its own controls and nothing is stored.
    {
        CQueloLinkDlg dlg(m_services);
        if (m_services.graphics != nullptr) m_gdiplusToken = m_services.graphics->Startup();
        LoadAppFont();
        m_windowResult = dlg.DoModal();
    }
    return false;
}

int CQueloLinkApp::ExitInstance() {
    FreeFontFamilies();
    if (m_services.graphics != nullptr) m_services.graphics->Shutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    return 0;
}

void CQueloLinkApp::LoadAppFont() {
    FreeFontFamilies();
    if (m_services.graphics == nullptr) return;
    const auto families = m_services.graphics->PrivateFontFamilies(kAppFontFile);
    if (families.empty()) return;
    m_pFontFamilies.reset(new (std::nothrow) FontFamily[families.size()]);
    if (!m_pFontFamilies) return;
    for (std::size_t i = 0; i < families.size(); ++i) m_pFontFamilies[i] = FontFamily(families[i]);
}

void CQueloLinkApp::FreeFontFamilies() { m_pFontFamilies.reset(); }

std::u16string AppFontFamilyName() {
    if (!theApp.m_pFontFamilies) return {};
    return theApp.m_pFontFamilies[0].GetFamilyName();
}
