#include "tools/quelolink/window_program.h"

#include "link/esc_link.h"
#include "platform/files.h"
#include "platform/window_system.h"
#include "ui/dialog_templates.h"
#include "ui/quelolink_app.h"

#include <cstdio>

int RunWindowProgram(std::function<std::unique_ptr<ESCLink>()> createLink) {
    platform::WindowSystem& windows = platform::SystemWindowSystem();
    if (!windows.Start()) {
        std::fprintf(stderr, "quelolink: cannot start the window layer: %s\n", windows.LastError().c_str());
        return 1;
    }
    platform::Graphics& graphics = windows.GetGraphics();
    theApp.m_services.graphics = &graphics;
    theApp.m_services.resources = &platform::ProgramResources();
    theApp.m_services.files = &platform::SystemFiles();
    theApp.m_services.createHost = [&windows] { return windows.CreateHost(IDD_QUELOLINK_DIALOG, IDD_ABOUTBOX); };
    theApp.m_services.createLink = std::move(createLink);
    theApp.InitInstance();
    int exitCode = theApp.ExitInstance();
    // The window could not be opened at all: say why, and fail.
    if (theApp.m_windowResult < 0) {
        std::fprintf(stderr, "quelolink: cannot open the window: %s\n", windows.LastError().c_str());
        if (exitCode == 0) exitCode = 1;
    }
    windows.Stop();
    return exitCode;
}
