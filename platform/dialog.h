// Dialog windows: a host that runs a dialog modally, routes input, messages and commands to the
// dialog's logic, and owns the child windows. The logic (ui/) implements DialogClient; a
// backend implements DialogHost.
#pragma once

#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/window.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;

inline constexpr std::uint32_t VK_TAB = 0x09;
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Hit-test results of a point of the window.
inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;

// Item states of an owner-drawn control.
inline constexpr std::uint32_t ODS_SELECTED = 0x0001;
inline constexpr std::uint32_t ODS_DISABLED = 0x0004;
inline constexpr std::uint32_t ODS_CHECKED = 0x0008;

struct DrawItemStruct {
    Canvas& canvas;
    Rect rcItem;            // the control's rectangle on `canvas`
    std::uint32_t itemState;
    const Font* font;       // the control's font
};

// The logic of an owner-drawn child window (the skin's buttons).
class ChildWindowClient {
public:
    virtual ~ChildWindowClient() = default;
    virtual void OnMouseMove() = 0;
    virtual void OnMouseHover() = 0;
    virtual void OnMouseLeave() = 0;
    virtual void DrawItem(const DrawItemStruct& item) = 0;
};

enum class ChildKind : std::uint8_t { OwnerDrawButton, ProgressBar };

// How a progress bar child looks on every backend: a green fill on a light track.
inline constexpr Color kProgressBarFill{6, 176, 37, 255};
inline constexpr Color kProgressBarTrack{230, 230, 230, 255};

// A child window of the host; its text and enabled state live in the state holder it was made with.
class ChildWindow {
public:
    virtual ~ChildWindow() = default;
    virtual Rect WindowRect() const = 0;  // in the parent's client pixels
    virtual Rect ScreenRect() const = 0;  // in screen pixels (the parent's frame accounted for)
    virtual void MoveWindow(const Rect& rect) = 0;
    virtual void ShowWindow(bool show) = 0;
    virtual bool IsVisible() const = 0;
    virtual void Invalidate() = 0;
    virtual void SetFont(const Font* font) = 0;  // not owned; null: the system font
    // Asks for OnMouseHover after the mouse rested `hoverMs` on the child and OnMouseLeave when
    // it leaves; true when the request was taken.
    virtual bool TrackMouse(std::uint32_t hoverMs) = 0;
};

class DialogHost;

// What a dialog's logic answers to; the host calls it on the interface thread only.
class DialogClient {
public:
    virtual ~DialogClient() = default;
    virtual bool OnInitDialog(DialogHost& host) = 0;
    virtual void OnPaint(Canvas& paint) = 0;
    // `defaultResult` is what the host found (HTCLIENT over the client area); the point is in
    // screen pixels.
    virtual int OnNcHitTest(int defaultResult, int screenX, int screenY) = 0;
    // A key pressed, before the dialog's own key handling; may change the key.
    virtual void PreTranslateKey(std::uint32_t& key) = 0;
    virtual void OnCommand(int id, int notification) = 0;
    // A posted message other than WM_CLOSE.
    virtual std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual void OnClose() = 0;
    virtual void OnDestroy() = 0;
};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Creates the window, initialises the dialog, and runs until EndDialog; returns its result.
    virtual int RunModal(DialogClient& client) = 0;
    virtual void EndDialog(int result) = 0;
    // Where messages are posted from any thread.
    virtual MessageTarget& Handle() = 0;
    // Repaints `area` (null: all of the window) at the next chance.
    virtual void Invalidate(const Rect* area, bool erase) = 0;
    virtual void MoveWindow(const Rect& outer) = 0;
    virtual Rect WindowRect() const = 0;  // in screen pixels
    virtual void Minimize() = 0;
    virtual bool IsMinimized() const = 0;
    virtual void BringToTop() = 0;
    virtual void SetTitle(std::u16string_view title) = 0;
    virtual void SetIcon(const Bitmap* icon) = 0;
    // A child window in the parent's client pixels, with its state in `state` (not owned) and,
    // for owner-drawn ones, its logic in `client` (not owned). Null when it cannot be made.
    virtual ChildWindow* CreateChild(ChildKind kind, int id, const Rect& rect, CWnd& state,
                                     ChildWindowClient* client) = 0;
    virtual void DestroyChild(ChildWindow* child) = 0;
    // The Open file dialog: the path chosen, empty when cancelled.
    virtual std::u16string GetOpenFileName(std::u16string_view filterName, std::u16string_view pattern,
                                           std::u16string_view defaultExtension) = 0;
    // Runs another dialog modally over this one.
    virtual int RunChildModal(DialogClient& client, int width, int height) = 0;
};

}  // namespace platform
