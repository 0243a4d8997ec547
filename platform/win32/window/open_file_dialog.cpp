#include "platform/win32/window/open_file_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include <array>

namespace platform::win32 {

std::u16string ShowOpenFileDialog(HWND owner, std::u16string_view filterName, std::u16string_view pattern,
                                  std::u16string_view defaultExtension) {
    // The filter: name, NUL, pattern, NUL, and a closing NUL.
    std::wstring filter(filterName.begin(), filterName.end());
    filter.push_back(L'\0');
    filter.append(pattern.begin(), pattern.end());
    filter.push_back(L'\0');
    const std::wstring extension(defaultExtension.begin(), defaultExtension.end());
    std::array<wchar_t, MAX_PATH> path{};

    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();  // ends in two NULs with the string's own
    request.nFilterIndex = 1;
    request.lpstrFile = path.data();
    request.nMaxFile = static_cast<DWORD>(path.size());
    request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    // A path that does not fit the buffer fails with FNERR_BUFFERTOOSMALL: refused like a cancel.
    if (!::GetOpenFileNameW(&request)) return {};
    return std::u16string(path.data(), path.data() + wcsnlen(path.data(), path.size()));
}

}  // namespace platform::win32
