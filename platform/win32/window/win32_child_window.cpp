#include "platform/win32/window/win32_child_window.h"

#include "platform/win32/window/win32_headers.h"

#include <commctrl.h>

#include <string>

namespace platform::win32 {
namespace {

// The object behind a subclassed button, kept in a window property.
constexpr wchar_t kChildProperty[] = L"QueloLink.ChildWindow";

}  // namespace

Win32ChildWindow::Win32ChildWindow(HWND window, ChildKind kind, CWnd& state, ChildWindowClient* client, bool owned)
    : m_window(window), m_kind(kind), m_state(state), m_client(client), m_owned(owned) {
    if (m_kind == ChildKind::OwnerDrawButton && m_client != nullptr) {
        ::SetPropW(m_window, kChildProperty, this);
        m_buttonProc = ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProc));
    }
    Sync();
}

Win32ChildWindow::~Win32ChildWindow() {
    if (!::IsWindow(m_window)) return;
    if (m_buttonProc != 0) {
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, m_buttonProc);
        ::RemovePropW(m_window, kChildProperty);
    }
    if (m_owned) ::DestroyWindow(m_window);
}

LRESULT CALLBACK Win32ChildWindow::ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Win32ChildWindow*>(::GetPropW(window, kChildProperty));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    const auto buttonProc = reinterpret_cast<WNDPROC>(self->m_buttonProc);
    switch (message) {
    case WM_MOUSEMOVE:
        self->m_client->OnMouseMove();
        break;
    case WM_MOUSEHOVER:
        self->m_client->OnMouseHover();
        return 0;
    case WM_MOUSELEAVE:
        self->m_client->OnMouseLeave();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the owner draw paints all of the button
    default:
        break;
    }
    return ::CallWindowProcW(buttonProc, window, message, wParam, lParam);
}

Rect Win32ChildWindow::WindowRect() const {
    RECT rect{};
    ::GetWindowRect(m_window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(m_window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Rect Win32ChildWindow::ScreenRect() const {
    RECT rect{};
    ::GetWindowRect(m_window, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void Win32ChildWindow::MoveWindow(const Rect& rect) {
    ::SetWindowPos(m_window, nullptr, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(m_window, nullptr, TRUE);
}

void Win32ChildWindow::ShowWindow(bool show) { ::ShowWindow(m_window, show ? SW_SHOWNORMAL : SW_HIDE); }

bool Win32ChildWindow::IsVisible() const { return (::GetWindowLongPtrW(m_window, GWL_STYLE) & WS_VISIBLE) != 0; }

void Win32ChildWindow::Invalidate() { ::InvalidateRect(m_window, nullptr, FALSE); }

void Win32ChildWindow::SetFont(const Font* font) {
    m_font = font;
    Invalidate();
}

bool Win32ChildWindow::TrackMouse(std::uint32_t hoverMs) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = m_window;
    track.dwHoverTime = hoverMs;
    return ::TrackMouseEvent(&track) != FALSE;
}

void Win32ChildWindow::Sync() {
    const std::uint64_t revision = m_state.Revision();
    if (m_syncedRevision == revision) return;
    m_syncedRevision = revision;
    if (m_kind == ChildKind::ProgressBar) {
        if (auto* progress = dynamic_cast<CProgressCtrl*>(&m_state)) {
            ::SendMessageW(m_window, PBM_SETRANGE32, static_cast<WPARAM>(progress->GetRangeLower()),
                           static_cast<LPARAM>(progress->GetRangeUpper()));
            ::SendMessageW(m_window, PBM_SETPOS, static_cast<WPARAM>(progress->GetPos()), 0);
        }
        return;
    }
    const bool enabled = m_state.IsWindowEnabled();
    if ((::IsWindowEnabled(m_window) != FALSE) != enabled) ::EnableWindow(m_window, enabled ? TRUE : FALSE);
    // The label is drawn from the state holder; the control's own text follows it for the
    // system's use of the window (accessibility, the task list).
    const std::u16string text = m_state.GetWindowText();
    ::SetWindowTextW(m_window, reinterpret_cast<const wchar_t*>(text.c_str()));
    ::InvalidateRect(m_window, nullptr, FALSE);
}

}  // namespace platform::win32
