#include "platform/win32/window/win32_dialog_host.h"

#include "platform/text.h"
#include "platform/win32/window/gdiplus_graphics.h"
#include "platform/win32/window/open_file_dialog.h"
#include "platform/win32/window/win32_child_window.h"
#include "platform/win32/window/win32_headers.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

namespace platform::win32 {
namespace {

// Wakes the dialog for the messages queued by PostMessage; the application's own range, so no
// dialog-manager message (DM_GETDEFID is WM_USER, DM_SETDEFID is WM_USER + 1) is ever mistaken
// for a posted one.
constexpr UINT kWakeMessage = WM_APP + 1;
// How often the children's state holders are compared with what the controls show.
constexpr UINT_PTR kSyncTimer = 1;
constexpr UINT kSyncIntervalMs = 15;

constexpr COLORREF ToColorRef(Color color) { return RGB(color.r, color.g, color.b); }

// The innermost dialog of this thread that is running, whose keys the message filter hands to
// its logic before the dialog manager sees them, and the filter while one is installed.
thread_local Win32DialogHost* t_keyHost = nullptr;
thread_local HHOOK t_keyHook = nullptr;

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (buffer != nullptr) {
        text.assign(buffer, buffer + length);
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
    if (text.empty()) return "error " + std::to_string(code);
    return ToUtf8(text);
}

// Centres the window over its owner, or on the screen's work area when it has none.
void CentreWindow(HWND window, HWND owner) {
    RECT area{};
    if (owner != nullptr)
        ::GetWindowRect(owner, &area);
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int x = area.left + ((area.right - area.left) - (rect.right - rect.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (rect.bottom - rect.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetResult(HWND window, LONG_PTR result) { ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result); }

}  // namespace

Win32DialogHost::Win32DialogHost(Graphics& graphics, int dialogTemplate, int childTemplate, HWND owner,
                                 std::string* lastError)
    : m_graphics(graphics), m_template(dialogTemplate), m_childTemplate(childTemplate), m_owner(owner),
      m_lastError(lastError) {}

Win32DialogHost::~Win32DialogHost() {
    m_children.clear();
    if (m_icon != nullptr) ::DestroyIcon(m_icon);
}

HWND Win32DialogHost::Window() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_window;
}

int Win32DialogHost::RunModal(DialogClient& client) {
    m_client = &client;
    m_ending = false;
    m_framePainted = false;
    Win32DialogHost* const outer = t_keyHost;
    if (t_keyHook == nullptr)
        t_keyHook = ::SetWindowsHookExW(WH_MSGFILTER, reinterpret_cast<HOOKPROC>(&KeyFilter), nullptr,
                                        ::GetCurrentThreadId());
    t_keyHost = this;
    ::SetLastError(ERROR_SUCCESS);
    const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template), m_owner,
                                             reinterpret_cast<DLGPROC>(&DialogProc), reinterpret_cast<LPARAM>(this));
    const DWORD error = ::GetLastError();
    t_keyHost = outer;
    if (outer == nullptr && t_keyHook != nullptr) {
        ::UnhookWindowsHookEx(t_keyHook);
        t_keyHook = nullptr;
    }
    const bool ran = m_client == nullptr;  // the run's WM_DESTROY let go of it
    m_client = nullptr;
    if (m_icon != nullptr) {
        ::DestroyIcon(m_icon);
        m_icon = nullptr;
    }
    if (result == -1 || !ran) {
        if (m_lastError != nullptr)
            *m_lastError = "dialog template " + std::to_string(m_template) + ": " + SystemErrorText(error);
        return -1;
    }
    return static_cast<int>(result);
}

INT_PTR CALLBACK Win32DialogHost::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32DialogHost*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        {
            std::lock_guard<std::mutex> hold(self->m_lock);
            self->m_window = window;
        }
        return self->InitDialog() ? TRUE : FALSE;
    }
    auto* self = reinterpret_cast<Win32DialogHost*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr || self->m_client == nullptr) return FALSE;
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK Win32DialogHost::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    // Keys reach the dialog's logic first, which may change them, then the dialog manager
    // (Enter: the default button or IDOK, Escape: IDCANCEL, Tab: the next control).
    Win32DialogHost* host = t_keyHost;
    if (code == MSGF_DIALOGBOX && host != nullptr && host->m_client != nullptr) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        const HWND window = host->Window();
        if (message->message == WM_KEYDOWN && window != nullptr &&
            (message->hwnd == window || ::IsChild(window, message->hwnd))) {
            auto key = static_cast<std::uint32_t>(message->wParam);
            host->m_client->PreTranslateKey(key);
            message->wParam = key;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Win32DialogHost::InitDialog() {
    const HWND window = m_window;
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    if (m_owner == nullptr) {
        // The skinned main window: no caption bar, the system menu kept (the taskbar shows it);
        // the frame follows at the next move. The children are not painted over by the face.
        ::SetWindowLongPtrW(window, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_SYSMENU | WS_CLIPCHILDREN);
        if (HMENU menu = ::GetSystemMenu(window, FALSE)) {
            ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
            ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
        }
    } else {
        // A dialog over the main window is painted by its logic: the template's controls give way.
        for (HWND control = ::GetWindow(window, GW_CHILD); control != nullptr; control = ::GetWindow(control, GW_HWNDNEXT))
            ::ShowWindow(control, SW_HIDE);
        if (m_childSize.width > 0 && m_childSize.height > 0) {
            RECT outer{0, 0, m_childSize.width, m_childSize.height};
            ::AdjustWindowRectEx(&outer, static_cast<DWORD>(style), FALSE,
                                 static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)));
            ::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    RECT before{};
    ::GetWindowRect(window, &before);
    const bool setFocus = m_client->OnInitDialog(*this);
    // A dialog its initialisation did not move opens centred (over its owner, or on the screen).
    RECT after{};
    ::GetWindowRect(window, &after);
    if (after.left == before.left && after.top == before.top) CentreWindow(window, m_owner);
    ::SetTimer(window, kSyncTimer, kSyncIntervalMs, nullptr);
    SyncChildren();
    // Messages posted before the window existed woke nothing: they are woken for here.
    if (!m_posted.Empty()) ::PostMessageW(window, kWakeMessage, 0, 0);
    return setFocus;
}

INT_PTR Win32DialogHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = m_window;
    switch (message) {
    case WM_PAINT:
        PaintWindow();
        return TRUE;
    case WM_ERASEBKGND:
        SetResult(window, 1);  // the paint covers the whole client area
        return TRUE;
    case WM_NCHITTEST: {
        const auto found = static_cast<int>(::DefWindowProcW(window, message, wParam, lParam));
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        SetResult(window, m_client->OnNcHitTest(found, x, y));
        return TRUE;
    }
    case WM_DRAWITEM:
        DrawChild(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        SetResult(window, TRUE);
        return TRUE;
    case WM_COMMAND:
        m_client->OnCommand(LOWORD(wParam), HIWORD(wParam));
        SyncChildren();
        return TRUE;
    case WM_SYSCOMMAND:
        // The logic sees every system command; the system's own handling follows.
        m_client->WindowProc(WM_SYSCOMMAND, wParam, lParam);
        SyncChildren();
        return FALSE;
    case WM_CLOSE:
        m_client->OnClose();
        return TRUE;
    case WM_TIMER:
        if (wParam != kSyncTimer) return FALSE;
        SyncChildren();
        return TRUE;
    case kWakeMessage:
        DispatchPosted();
        SyncChildren();
        return TRUE;
    case WM_QUERYDRAGICON:
        if (m_icon == nullptr) return FALSE;
        SetResult(window, reinterpret_cast<LONG_PTR>(m_icon));
        return TRUE;
    case WM_DESTROY:
        Destroyed();
        return FALSE;
    default:
        return FALSE;
    }
}

void Win32DialogHost::Destroyed() {
    ::KillTimer(m_window, kSyncTimer);
    DialogClient* client = m_client;
    client->OnDestroy();
    m_children.clear();
    m_frame.reset();
    m_framePainted = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_window = nullptr;
    }
    m_posted.Clear();
    m_client = nullptr;
}

void Win32DialogHost::EndDialog(int result) {
    m_ending = true;
    if (m_window != nullptr) ::EndDialog(m_window, result);
}

void Win32DialogHost::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    // Queued first, then the window read: a window that is made meanwhile sees the message
    // when its initialisation looks at the queue.
    m_posted.Push(message, wParam, lParam);
    const HWND window = Window();
    // Before the dialog exists the message waits; its initialisation wakes it.
    if (window != nullptr) ::PostMessageW(window, kWakeMessage, 0, 0);
}

void Win32DialogHost::DispatchPosted() {
    if (m_client == nullptr) return;
    m_posted.Dispatch(*m_client, [this] { return m_client != nullptr && !m_ending; });
}

void Win32DialogHost::SyncChildren() {
    for (auto& child : m_children) child->Sync();
}

bool Win32DialogHost::PaintFrame() {
    RECT client{};
    ::GetClientRect(m_window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;
    if (!m_frame || m_frame->Width() != width || m_frame->Height() != height) m_frame = DibCanvas::Create(width, height);
    if (!m_frame) return false;
    m_client->OnPaint(*m_frame);
    m_framePainted = true;
    return true;
}

void Win32DialogHost::PaintWindow() {
    PAINTSTRUCT paint{};
    HDC target = ::BeginPaint(m_window, &paint);
    if (target != nullptr && PaintFrame()) m_frame->BlitTo(target, 0, 0);
    ::EndPaint(m_window, &paint);
}

void Win32DialogHost::DrawChild(const DRAWITEMSTRUCT& item) {
    Win32ChildWindow* child = ChildOf(item.hwndItem);
    if (child == nullptr || child->Client() == nullptr) return;
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    auto canvas = DibCanvas::Create(width, height);
    if (!canvas) return;
    // The button starts from the face painted under it, so its images' soft edges blend
    // with the window as they do where children are drawn into the frame.
    if (!m_framePainted) PaintFrame();
    if (m_frame) {
        const Rect place = child->WindowRect();
        canvas->CopyArea(*m_frame, place.x + item.rcItem.left, place.y + item.rcItem.top);
    }
    std::uint32_t state = item.itemState & (ODS_SELECTED | ODS_CHECKED | ODS_DISABLED);
    if (!child->State().IsWindowEnabled()) state |= ODS_DISABLED;
    child->Client()->DrawItem({*canvas, {0, 0, width, height}, state, child->GetFont()});
    canvas->BlitTo(item.hDC, item.rcItem.left, item.rcItem.top);
}

Win32ChildWindow* Win32DialogHost::ChildOf(HWND window) const {
    for (const auto& child : m_children)
        if (child->Window() == window) return child.get();
    return nullptr;
}

void Win32DialogHost::Invalidate(const Rect* area, bool erase) {
    if (m_window == nullptr) return;
    if (area == nullptr) {
        ::InvalidateRect(m_window, nullptr, erase ? TRUE : FALSE);
        return;
    }
    const RECT rect{area->x, area->y, area->x + area->width, area->y + area->height};
    ::InvalidateRect(m_window, &rect, erase ? TRUE : FALSE);
}

void Win32DialogHost::MoveWindow(const Rect& outer) {
    if (m_window != nullptr) ::MoveWindow(m_window, outer.x, outer.y, outer.width, outer.height, TRUE);
}

Rect Win32DialogHost::WindowRect() const {
    RECT rect{};
    if (m_window == nullptr || !::GetWindowRect(m_window, &rect)) return {};
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void Win32DialogHost::Minimize() {
    if (m_window != nullptr) ::ShowWindow(m_window, SW_MINIMIZE);
}

bool Win32DialogHost::IsMinimized() const { return m_window != nullptr && ::IsIconic(m_window); }

void Win32DialogHost::BringToTop() {
    if (m_window != nullptr) ::BringWindowToTop(m_window);
}

void Win32DialogHost::SetTitle(std::u16string_view title) {
    if (m_window == nullptr) return;
    const std::u16string text(title);
    ::SetWindowTextW(m_window, reinterpret_cast<const wchar_t*>(text.c_str()));
}

void Win32DialogHost::SetIcon(const Bitmap* icon) {
    if (m_window == nullptr || icon == nullptr) return;
    HICON made = CreateIconFromBitmap(*icon);
    if (made == nullptr) return;
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(made));
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(made));
    if (m_icon != nullptr) ::DestroyIcon(m_icon);
    m_icon = made;
}

ChildWindow* Win32DialogHost::CreateChild(ChildKind kind, int id, const Rect& rect, CWnd& state,
                                          ChildWindowClient* client) {
    if (m_window == nullptr) return nullptr;
    HWND control = nullptr;
    const bool owned = kind == ChildKind::OwnerDrawButton;
    if (owned) {
        control = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, rect.x, rect.y,
                                    rect.width, rect.height, m_window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    } else {
        // The template's own progress bar, drawn plainly (no visual style) in the progress bar
        // colours every backend shows, filled smoothly rather than in blocks.
        control = ::GetDlgItem(m_window, id);
        if (control != nullptr) {
            // Windows takes empty names as "no visual style"; Wine refuses them, but a name
            // that matches no style does the same there.
            if (FAILED(::SetWindowTheme(control, L"", L""))) ::SetWindowTheme(control, L" ", L" ");
            ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | PBS_SMOOTH);
            ::SendMessageW(control, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(ToColorRef(kProgressBarFill)));
            ::SendMessageW(control, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(ToColorRef(kProgressBarTrack)));
            ::SetWindowPos(control, nullptr, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (control == nullptr) return nullptr;
    m_children.push_back(std::make_unique<Win32ChildWindow>(control, kind, state, client, owned));
    return m_children.back().get();
}

void Win32DialogHost::DestroyChild(ChildWindow* child) {
    std::erase_if(m_children, [child](const auto& c) { return c.get() == child; });
}

std::u16string Win32DialogHost::GetOpenFileName(std::u16string_view filterName, std::u16string_view pattern,
                                                std::u16string_view defaultExtension) {
    if (m_window == nullptr) return {};
    return ShowOpenFileDialog(m_window, filterName, pattern, defaultExtension);
}

int Win32DialogHost::RunChildModal(DialogClient& client, int width, int height) {
    if (m_window == nullptr) return -1;
    Win32DialogHost child(m_graphics, m_childTemplate, m_childTemplate, m_window, m_lastError);
    child.m_childSize = {0, 0, width, height};
    return child.RunModal(client);
}

}  // namespace platform::win32
