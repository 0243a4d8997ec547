// The system's Open file dialog, in a file of its own: <commdlg.h> renames GetOpenFileName,
// which the dialog host declares as a member.
#pragma once

#include <string>
#include <string_view>

struct HWND__;

namespace platform::win32 {

// The path of an existing file the user chose, of files matching `pattern` (shown as
// `filterName`), with `defaultExtension` added to a name typed without one; empty when
// cancelled, and when the path is longer than MAX_PATH characters.
std::u16string ShowOpenFileDialog(HWND__* owner, std::u16string_view filterName, std::u16string_view pattern,
                                  std::u16string_view defaultExtension);

}  // namespace platform::win32
