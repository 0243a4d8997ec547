// The application object: prepares the drawing services and the application font family, runs
// the main window modally, and releases what it took when the window has closed.
#pragma once

#include "ui/ui_services.h"

#include <cstdint>
#include <memory>
#include <string>

// A family of the private font collection made from "Arial.ttf".
class FontFamily {
public:
    FontFamily() = default;
    explicit FontFamily(std::u16string name) : m_name(std::move(name)) {}
    const std::u16string& GetFamilyName() const { return m_name; }

private:
    std::u16string m_name;
};

// The font file the application font family comes from, looked for in the current directory.
inline constexpr char16_t kAppFontFile[] = u"Arial.ttf";

class CQueloLinkApp {
public:
    virtual ~CQueloLinkApp();

    // Runs the whole life of the main window; false, so that no message loop follows.
    virtual bool InitInstance();
    // Frees the font families and stops the drawing services; the exit code.
    virtual int ExitInstance();
    // Fills m_pFontFamilies from "Arial.ttf" in the current directory.
    void LoadAppFont();
    // Frees the font families.
    void FreeFontFamilies();

    std::uintptr_t m_gdiplusToken = 0;
    // The families found in "Arial.ttf"; null while there is none. When set, element 0 exists.
    std::unique_ptr<FontFamily[]> m_pFontFamilies;

    UiServices m_services;  // given by the program before InitInstance
    int m_windowResult = 0;  // what the main window's modal run returned; negative: it did not run
};

extern CQueloLinkApp theApp;

// The family name of the application font family, or empty when there is none.
std::u16string AppFontFamilyName();
