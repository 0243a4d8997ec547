// The window host on SDL2: a borderless window (or, offscreen, only a frame surface) that runs a
// dialog modally. It routes mouse, keys, hit tests and posted messages to the dialog's logic,
// keeps the child windows (owner-drawn buttons, the progress bar) and paints a frame whenever
// the window was invalidated or a child's state changed.
#pragma once

#include "platform/common/posted_messages.h"
#include "platform/dialog.h"
#include "platform/sdl/sdl_graphics.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::sdl {

class SdlChildWindow;

class SdlDialogHost final : public DialogHost, private MessageTarget {
public:
    enum class Mode : std::uint8_t { Window, Offscreen };
    SdlDialogHost(Graphics& graphics, Mode mode);
    ~SdlDialogHost() override;
    SdlDialogHost(const SdlDialogHost&) = delete;
    SdlDialogHost& operator=(const SdlDialogHost&) = delete;

    int RunModal(DialogClient& client) override;
    void EndDialog(int result) override;
    MessageTarget& Handle() override { return *this; }
    void Invalidate(const Rect* area, bool erase) override;
    void MoveWindow(const Rect& outer) override;
    Rect WindowRect() const override;
    void Minimize() override;
    bool IsMinimized() const override;
    void BringToTop() override;
    void SetTitle(std::u16string_view title) override;
    void SetIcon(const Bitmap* icon) override;
    ChildWindow* CreateChild(ChildKind kind, int id, const Rect& rect, CWnd& state,
                             ChildWindowClient* client) override;
    void DestroyChild(ChildWindow* child) override;
    std::u16string GetOpenFileName(std::u16string_view filterName, std::u16string_view pattern,
                                   std::u16string_view defaultExtension) override;
    int RunChildModal(DialogClient& client, int width, int height) override;

    // --- Driving the dialog step by step (offscreen tests) ----------------------------------
    // Creates the frame and initialises the dialog; false when it cannot be made.
    bool Open(DialogClient& client);
    // Handles the messages posted so far and the hover timers; true while the dialog runs.
    bool Pump();
    // Paints a frame now and returns it.
    const Canvas& PaintFrame();
    // Mouse input at a point of the client area, as the window would get it.
    void MouseMove(int x, int y);
    void MouseButton(bool down, int x, int y);
    void MouseLeaveWindow();
    void KeyDown(std::uint32_t key);
    // What a press at a client point does: HTCLIENT for a child or the dialog's answer.
    int HitTest(int x, int y);
    // Ends the run: destroys the dialog as a closed window would.
    void Finish();
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }

private:
    void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void HandleEvent(const SDL_Event& event);
    void DispatchPosted();
    bool NeedsPaint();
    void Paint(Canvas& frame);
    void Present();
    SdlChildWindow* ChildAt(int x, int y) const;
    static SDL_HitTestResult HitTestCallback(SDL_Window* window, const SDL_Point* point, void* data);

    Graphics& m_graphics;
    Mode m_mode;
    DialogClient* m_client = nullptr;
    SDL_Window* m_window = nullptr;
    std::unique_ptr<SurfaceCanvas> m_offscreenFrame;
    Rect m_rect{0, 0, 540, 360};
    bool m_shown = false;
    bool m_minimized = false;
    bool m_ended = false;
    int m_result = 0;
    bool m_invalid = true;
    std::uint32_t m_wakeEvent = 0;

    PostedMessages m_posted;

    std::vector<std::unique_ptr<SdlChildWindow>> m_children;
    SdlChildWindow* m_hot = nullptr;      // the child under the mouse
    SdlChildWindow* m_pressed = nullptr;  // the child the mouse button went down on
    std::vector<std::uint64_t> m_paintedRevisions;
};

}  // namespace platform::sdl
