// quelolink: the window, on this machine's serial ports and HID link adapters.
#include "link/esc_link.h"
#include "tools/quelolink/window_program.h"

#include <new>

int main() {
    return RunWindowProgram([] { return std::unique_ptr<ESCLink>(new (std::nothrow) ESCLink()); });
}
