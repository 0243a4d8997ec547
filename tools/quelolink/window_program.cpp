#define SDL_MAIN_HANDLED
#include "tools/quelolink/window_program.h"

#include "link/esc_link.h"
#include "platform/files.h"
#include "platform/sdl/sdl_dialog_host.h"
#include "platform/sdl/sdl_graphics.h"
#include "ui/quelolink_app.h"

#include <cstdio>

int RunWindowProgram(std::function<std::unique_ptr<ESCLink>()> createLink) {
    SDL_SetMainReady();
    platform::Graphics& graphics = platform::sdl::SdlGraphics();
    theApp.m_services.graphics = &graphics;
    theApp.m_services.resources = &platform::ProgramResources();
    theApp.m_services.files = &platform::SystemFiles();
    theApp.m_services.createHost = [&graphics]() -> std::unique_ptr<platform::DialogHost> {
        return std::make_unique<platform::sdl::SdlDialogHost>(graphics, platform::sdl::SdlDialogHost::Mode::Window);
    };
    theApp.m_services.createLink = std::move(createLink);
    theApp.InitInstance();
    int exitCode = theApp.ExitInstance();
    // The window could not be opened at all: say why, and fail.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || theApp.m_windowResult < 0) {
        std::fprintf(stderr, "quelolink: cannot open the window: %s\n", SDL_GetError());
        if (exitCode == 0) exitCode = 1;
    }
    SDL_Quit();
    return exitCode;
}
