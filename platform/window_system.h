// The window layer of a build: its drawing services, hosts for the program's dialogs, and why a
// window could not be opened. One backend provides it (sdl, win32/window); CMake picks which.
#pragma once

#include "platform/dialog.h"
#include "platform/graphics.h"

#include <memory>
#include <string>

namespace platform {

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // Makes the window layer ready for this process, before its first use; false when it
    // cannot be (LastError says why).
    virtual bool Start() = 0;
    // Releases what Start took, after the last window has closed.
    virtual void Stop() = 0;
    virtual Graphics& GetGraphics() = 0;
    // A host for the dialog of template `dialogTemplate`; the dialogs it runs over itself
    // (RunChildModal) come from template `childTemplate`. Null when none can be made.
    virtual std::unique_ptr<DialogHost> CreateHost(int dialogTemplate, int childTemplate) = 0;
    // Why the layer could not start or the last window could not be opened, for the user.
    virtual std::string LastError() const = 0;
};

// The window layer of this build.
WindowSystem& SystemWindowSystem();

}  // namespace platform
