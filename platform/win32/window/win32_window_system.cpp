// The window layer on Win32: dialogs from the program's dialog template resources, the
// standard controls of common controls, drawing through GDI+.
#include "platform/window_system.h"

#include "platform/win32/window/gdiplus_graphics.h"
#include "platform/win32/window/win32_dialog_host.h"
#include "platform/win32/window/win32_headers.h"

#include <commctrl.h>

namespace platform {
namespace {

class Win32WindowSystem final : public WindowSystem {
public:
    bool Start() override {
        // The template's progress bar is a common control: its class is registered first.
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_PROGRESS_CLASS;
        if (::InitCommonControlsEx(&controls)) return true;
        m_lastError = "the common controls could not be registered";
        return false;
    }
    void Stop() override {}
    Graphics& GetGraphics() override { return win32::GdiplusGraphics(); }
    std::unique_ptr<DialogHost> CreateHost(int dialogTemplate, int childTemplate) override {
        return std::make_unique<win32::Win32DialogHost>(win32::GdiplusGraphics(), dialogTemplate, childTemplate,
                                                        nullptr, &m_lastError);
    }
    std::string LastError() const override { return m_lastError; }

private:
    std::string m_lastError;
};

}  // namespace

WindowSystem& SystemWindowSystem() {
    static Win32WindowSystem windows;
    return windows;
}

}  // namespace platform
