// The main window on the offscreen SDL host: no display, a frame read back pixel by pixel.
#pragma once

#include "link/esc_link.h"
#include "platform/sdl/sdl_dialog_host.h"
#include "platform/sdl/sdl_graphics.h"
#include "ui/program_link.h"
#include "ui/quelolink_app.h"
#include "ui/quelolink_dlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace ui_test {

// The program's resources, with some PNG images taken away or replaced.
class EditedResources final : public platform::ResourceSource {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) override {
        if (type == u"PNG") {
            if (const auto it = replaced.find(id); it != replaced.end())
                return std::span<const std::uint8_t>(it->second.data(), it->second.size());
        }
        return platform::ProgramResources().Find(type, id);
    }
    std::map<std::uint16_t, std::vector<std::uint8_t>> replaced;  // an empty entry: no such resource
};

// Runs the font families from "Arial.ttf" of `directory` (or none) for one test.
inline void LoadAppFontFrom(const std::filesystem::path& directory) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    theApp.LoadAppFont();
    std::filesystem::current_path(before);
}

inline std::filesystem::path DirectoryWithFont() { return QL_APP_DIR; }
inline std::filesystem::path DirectoryWithoutFont() { return std::filesystem::temp_directory_path(); }

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_token = platform::sdl::SdlGraphics().Startup();
        services.graphics = &platform::sdl::SdlGraphics();
        theApp.m_services.graphics = services.graphics;
        services.resources = &resources;
        services.createLink = [] { return std::unique_ptr<ESCLink>(); };
        LoadAppFontFrom(DirectoryWithFont());
    }

    void TearDown() override {
        if (dialog) host->Finish();
        dialog.reset();
        host.reset();
        theApp.FreeFontFamilies();
        platform::sdl::SdlGraphics().Shutdown(m_token);
    }

    void OpenWindow() {
        host = std::make_unique<platform::sdl::SdlDialogHost>(platform::sdl::SdlGraphics(),
                                                              platform::sdl::SdlDialogHost::Mode::Offscreen);
        dialog = std::make_unique<CQueloLinkDlg>(services);
        ASSERT_TRUE(host->Open(*dialog));
    }

    void Post(std::uintptr_t wParam, std::intptr_t lParam) {
        host->Handle().PostMessage(WM_LINK_STATE, wParam, lParam);
        host->Pump();
    }

    bool UpdateEnabled() const { return dialog->m_pUpdateButton->IsWindowEnabled(); }

    const platform::Canvas& Frame() { return host->PaintFrame(); }

    // Pumps until `done` holds, for at most a generous limit.
    template <typename Done>
    bool PumpUntil(Done done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            host->Pump();
            std::this_thread::yield();
        }
        return true;
    }

    EditedResources resources;
    UiServices services;
    std::unique_ptr<platform::sdl::SdlDialogHost> host;
    std::unique_ptr<CQueloLinkDlg> dialog;

private:
    std::uintptr_t m_token = 0;
};

}  // namespace ui_test
