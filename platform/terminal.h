// Whether a standard stream goes to a terminal: output that only makes sense on one, such as a
// progress bar redrawn in place, is left out when the stream goes to a file or a pipe.
#pragma once

namespace platform {

enum class StandardStream { Output, Error };

bool IsTerminal(StandardStream stream);

}  // namespace platform
