// Standard streams on a console: a handle whose console mode can be read is a console.
#include "platform/terminal.h"

#include <windows.h>

namespace platform {

bool IsTerminal(StandardStream stream) {
    const HANDLE handle = ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace platform
