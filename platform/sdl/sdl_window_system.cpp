// The window layer on SDL2: windows on the display SDL finds, drawing through SDL2_image,
// SDL2_ttf and fontconfig. Dialog templates are not resources here: the hosts draw everything.
#define SDL_MAIN_HANDLED
#include "platform/window_system.h"

#include "platform/sdl/sdl_dialog_host.h"
#include "platform/sdl/sdl_graphics.h"

namespace platform {
namespace {

class SdlWindowSystem final : public WindowSystem {
public:
    bool Start() override {
        // main() is the program's own; SDL needs no start-up code of its own before it.
        SDL_SetMainReady();
        return true;
    }
    void Stop() override { SDL_Quit(); }
    Graphics& GetGraphics() override { return sdl::SdlGraphics(); }
    std::unique_ptr<DialogHost> CreateHost(int, int) override {
        return std::make_unique<sdl::SdlDialogHost>(sdl::SdlGraphics(), sdl::SdlDialogHost::Mode::Window);
    }
    std::string LastError() const override { return SDL_GetError(); }
};

}  // namespace

WindowSystem& SystemWindowSystem() {
    static SdlWindowSystem windows;
    return windows;
}

}  // namespace platform
