// A child window of the Win32 dialog host: an owner-drawn BUTTON that the host made, or the
// dialog template's progress bar. It mirrors its state holder into the real control (enabled
// state and text of a button, range and position of a progress bar) when the holder changed,
// and hands a button's mouse moves, hover and leave reports to the button's logic.
#pragma once

#include "platform/dialog.h"

#include <cstdint>
#include <optional>

struct HWND__;

namespace platform::win32 {

class Win32ChildWindow final : public ChildWindow {
public:
    // Takes `window` over: an owned one is destroyed with this object; an owner-drawn button's
    // mouse messages go to `client` (not owned) while this object lives.
    Win32ChildWindow(HWND__* window, ChildKind kind, CWnd& state, ChildWindowClient* client, bool owned);
    ~Win32ChildWindow() override;
    Win32ChildWindow(const Win32ChildWindow&) = delete;
    Win32ChildWindow& operator=(const Win32ChildWindow&) = delete;

    Rect WindowRect() const override;
    Rect ScreenRect() const override;
    void MoveWindow(const Rect& rect) override;
    void ShowWindow(bool show) override;
    bool IsVisible() const override;
    void Invalidate() override;
    void SetFont(const Font* font) override;
    bool TrackMouse(std::uint32_t hoverMs) override;

    // Mirrors the state holder into the control when it changed since the last time.
    void Sync();

    HWND__* Window() const { return m_window; }
    ChildKind Kind() const { return m_kind; }
    CWnd& State() const { return m_state; }
    ChildWindowClient* Client() const { return m_client; }
    const Font* GetFont() const { return m_font; }

private:
    static std::intptr_t __stdcall ButtonProc(HWND__* window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);

    HWND__* m_window;
    ChildKind m_kind;
    CWnd& m_state;
    ChildWindowClient* m_client;
    bool m_owned;
    const Font* m_font = nullptr;
    std::intptr_t m_buttonProc = 0;  // the BUTTON class's procedure, while subclassed
    std::optional<std::uint64_t> m_syncedRevision;
};

}  // namespace platform::win32
