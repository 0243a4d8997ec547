// Standard streams on a terminal, through isatty.
#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool IsTerminal(StandardStream stream) {
    return isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

}  // namespace platform
