#include "platform/sdl/sdl_dialog_host.h"

#include "platform/text.h"

#include <cstdio>
#include <string>

namespace platform::sdl {

// A child window: its place, visibility, font and mouse tracking; its text and enabled state
// are those of the state holder it was made with.
class SdlChildWindow final : public ChildWindow {
public:
    SdlChildWindow(SdlDialogHost& host, ChildKind kind, int id, const Rect& rect, CWnd& state,
                   ChildWindowClient* client)
        : m_host(host), m_kind(kind), m_id(id), m_rect(rect), m_state(state), m_client(client) {}

    Rect WindowRect() const override { return m_rect; }
    // The host's window has no frame: its client area starts at its outer corner.
    Rect ScreenRect() const override {
        const Rect parent = m_host.WindowRect();
        return {parent.x + m_rect.x, parent.y + m_rect.y, m_rect.width, m_rect.height};
    }
    void MoveWindow(const Rect& rect) override {
        m_rect = rect;
        m_host.Invalidate(nullptr, true);
    }
    void ShowWindow(bool show) override {
        m_visible = show;
        m_host.Invalidate(nullptr, true);
    }
    bool IsVisible() const override { return m_visible; }
    void Invalidate() override { m_host.Invalidate(&m_rect, false); }
    void SetFont(const Font* font) override {
        m_font = font;
        Invalidate();
    }
    bool TrackMouse(std::uint32_t hoverMs) override {
        m_tracking = true;
        m_hoverFired = false;
        m_hoverDue = SDL_GetTicks() + hoverMs;
        return true;
    }

    ChildKind Kind() const { return m_kind; }
    int Id() const { return m_id; }
    CWnd& State() const { return m_state; }
    ChildWindowClient* Client() const { return m_client; }
    const Font* GetFont() const { return m_font; }
    // Whether the child takes mouse input at a client point: shown, enabled and under it.
    bool TakesMouseAt(int x, int y) const { return m_visible && m_state.IsWindowEnabled() && m_rect.Contains(x, y); }

    // Mouse tracking: the hover report once its time has come, the leave report when the mouse goes.
    void HoverTimer() {
        if (!m_tracking || m_hoverFired || m_client == nullptr) return;
        if (static_cast<std::int32_t>(SDL_GetTicks() - m_hoverDue) < 0) return;
        m_hoverFired = true;
        m_client->OnMouseHover();
    }
    void MouseLeft() {
        if (!m_tracking) return;
        m_tracking = false;
        if (m_client != nullptr) m_client->OnMouseLeave();
    }

private:
    SdlDialogHost& m_host;
    ChildKind m_kind;
    int m_id;
    Rect m_rect;
    CWnd& m_state;
    ChildWindowClient* m_client;
    const Font* m_font = nullptr;
    bool m_visible = true;
    bool m_tracking = false;
    bool m_hoverFired = false;
    std::uint32_t m_hoverDue = 0;
};

namespace {

// The progress bar's edge, which makes its track look sunken.
constexpr Color kProgressEdge{160, 160, 160, 255};

void DrawProgressBar(Canvas& frame, const Rect& rect, const CProgressCtrl& progress) {
    frame.FillRect(rect, kProgressEdge);
    const Rect inner{rect.x + 1, rect.y + 1, rect.width - 2, rect.height - 2};
    frame.FillRect(inner, kProgressBarTrack);
    const int lower = progress.GetRangeLower();
    const int upper = progress.GetRangeUpper();
    if (upper <= lower) return;
    int position = progress.GetPos();
    if (position < lower) position = lower;
    if (position > upper) position = upper;
    const long long filled = static_cast<long long>(inner.width) * (position - lower) / (upper - lower);
    if (filled > 0) frame.FillRect({inner.x, inner.y, static_cast<int>(filled), inner.height}, kProgressBarFill);
}

}  // namespace

SdlDialogHost::SdlDialogHost(Graphics& graphics, Mode mode) : m_graphics(graphics), m_mode(mode) {}

SdlDialogHost::~SdlDialogHost() {
    m_children.clear();
    if (m_window != nullptr) SDL_DestroyWindow(m_window);
}

bool SdlDialogHost::Open(DialogClient& client) {
    m_client = &client;
    m_ended = false;
    if (m_mode == Mode::Window) {
        // The frame goes to the window as it was drawn, through the window system's own image
        // transfer, without a GPU context (the environment may still ask for one).
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        // A driver that shows nothing is no window: the run would go on unseen.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver == nullptr || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
            SDL_strcmp(driver, "evdev") == 0) {
            SDL_SetError("no display to open a window on (video driver %s)", driver != nullptr ? driver : "none");
            return false;
        }
        m_window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, m_rect.width,
                                    m_rect.height, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (m_window == nullptr) return false;
        m_wakeEvent = SDL_RegisterEvents(1);
    } else {
        SDL_Surface* surface = CreateArgbSurface(m_rect.width, m_rect.height);
        if (surface == nullptr) return false;
        m_offscreenFrame = std::make_unique<SurfaceCanvas>(surface, true);
    }
    m_rect.x = 0;
    m_rect.y = 0;
    client.OnInitDialog(*this);
    if (m_window != nullptr) {
        SDL_SetWindowHitTest(m_window, &SdlDialogHost::HitTestCallback, this);
        // A dialog without an owner that stayed at (0, 0) opens centred on the screen, where the
        // window was made; one that was moved opens where it was moved to.
        if (m_rect.x != 0 || m_rect.y != 0) SDL_SetWindowPosition(m_window, m_rect.x, m_rect.y);
        m_shown = true;
        SDL_ShowWindow(m_window);
        SDL_RaiseWindow(m_window);
    }
    m_invalid = true;
    return true;
}

int SdlDialogHost::RunModal(DialogClient& client) {
    if (!Open(client)) return -1;
    while (!m_ended) {
        SDL_Event event;
        if (m_window != nullptr) {
            if (SDL_WaitEventTimeout(&event, 10) != 0) {
                HandleEvent(event);
                while (!m_ended && SDL_PollEvent(&event) != 0) HandleEvent(event);
            }
        } else {
            SDL_Delay(10);
        }
        if (!Pump()) break;
        if (NeedsPaint()) Present();
    }
    Finish();
    return m_result;
}

void SdlDialogHost::Finish() {
    if (m_client == nullptr) return;
    DialogClient* client = m_client;
    m_client = nullptr;
    m_ended = true;
    client->OnDestroy();
    m_hot = nullptr;
    m_pressed = nullptr;
    m_children.clear();
    if (m_window != nullptr) {
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
    }
}

void SdlDialogHost::EndDialog(int result) {
    m_result = result;
    m_ended = true;
}

bool SdlDialogHost::Pump() {
    DispatchPosted();
    for (auto& child : m_children) {
        if (m_ended) break;
        child->HoverTimer();
    }
    return !m_ended;
}

void SdlDialogHost::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    m_posted.Push(message, wParam, lParam);
    if (m_wakeEvent != 0 && m_wakeEvent != static_cast<std::uint32_t>(-1)) {
        SDL_Event wake{};
        wake.type = m_wakeEvent;
        SDL_PushEvent(&wake);
    }
}

void SdlDialogHost::DispatchPosted() {
    if (m_client == nullptr) return;
    m_posted.Dispatch(*m_client, [this] { return !m_ended && m_client != nullptr; });
}

void SdlDialogHost::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        PostMessage(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) PostMessage(WM_CLOSE, 0, 0);
        if (event.window.event == SDL_WINDOWEVENT_LEAVE) MouseLeaveWindow();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_RESTORED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            m_invalid = true;
        if (event.window.event == SDL_WINDOWEVENT_MINIMIZED) m_minimized = true;
        if (event.window.event == SDL_WINDOWEVENT_RESTORED || event.window.event == SDL_WINDOWEVENT_SHOWN)
            m_minimized = false;
        break;
    case SDL_MOUSEMOTION:
        MouseMove(event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT)
            MouseButton(event.type == SDL_MOUSEBUTTONDOWN, event.button.x, event.button.y);
        break;
    case SDL_KEYDOWN:
        switch (event.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: KeyDown(VK_RETURN); break;
        case SDLK_ESCAPE: KeyDown(VK_ESCAPE); break;
        case SDLK_TAB: KeyDown(VK_TAB); break;
        default: break;
        }
        break;
    default:
        break;
    }
}

SdlChildWindow* SdlDialogHost::ChildAt(int x, int y) const {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        if ((*it)->TakesMouseAt(x, y)) return it->get();
    return nullptr;
}

void SdlDialogHost::MouseMove(int x, int y) {
    SdlChildWindow* child = ChildAt(x, y);
    if (child != m_hot) {
        if (m_hot != nullptr) m_hot->MouseLeft();
        m_hot = child;
    }
    if (child != nullptr && child->Client() != nullptr) child->Client()->OnMouseMove();
}

void SdlDialogHost::MouseLeaveWindow() {
    if (m_hot != nullptr) m_hot->MouseLeft();
    m_hot = nullptr;
}

void SdlDialogHost::MouseButton(bool down, int x, int y) {
    SdlChildWindow* child = ChildAt(x, y);
    if (down) {
        m_pressed = child;
        if (child != nullptr) child->Invalidate();
        return;
    }
    SdlChildWindow* pressed = m_pressed;
    m_pressed = nullptr;
    if (pressed == nullptr) return;
    pressed->Invalidate();
    // A button clicks when the mouse is let go over it; only buttons give commands.
    if (pressed == child && pressed->Kind() == ChildKind::OwnerDrawButton && m_client != nullptr)
        m_client->OnCommand(pressed->Id(), 0);
}

void SdlDialogHost::KeyDown(std::uint32_t key) {
    if (m_client == nullptr) return;
    m_client->PreTranslateKey(key);
    // The dialog's own keys: Enter is the default button (OK), Escape is Cancel, Tab moves focus.
    if (key == VK_RETURN) m_client->OnCommand(IDOK, 0);
    if (key == VK_ESCAPE) m_client->OnCommand(IDCANCEL, 0);
}

int SdlDialogHost::HitTest(int x, int y) {
    if (ChildAt(x, y) != nullptr || m_client == nullptr) return HTCLIENT;
    const Rect window = WindowRect();
    return m_client->OnNcHitTest(HTCLIENT, window.x + x, window.y + y);
}

SDL_HitTestResult SdlDialogHost::HitTestCallback(SDL_Window*, const SDL_Point* point, void* data) {
    auto* host = static_cast<SdlDialogHost*>(data);
    return host->HitTest(point->x, point->y) == HTCAPTION ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

void SdlDialogHost::Invalidate(const Rect*, bool) { m_invalid = true; }

bool SdlDialogHost::NeedsPaint() {
    if (m_minimized) return false;
    if (m_invalid) return true;
    if (m_paintedRevisions.size() != m_children.size()) return true;
    for (std::size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->State().Revision() != m_paintedRevisions[i]) return true;
    return false;
}

void SdlDialogHost::Paint(Canvas& frame) {
    m_invalid = false;
    m_paintedRevisions.clear();
    for (auto& child : m_children) m_paintedRevisions.push_back(child->State().Revision());
    if (m_client == nullptr) return;
    m_client->OnPaint(frame);
    // The children paint over their parent, in the order they were made.
    for (auto& child : m_children) {
        if (!child->IsVisible()) continue;
        if (child->Kind() == ChildKind::ProgressBar) {
            if (auto* progress = dynamic_cast<CProgressCtrl*>(&child->State()))
                DrawProgressBar(frame, child->WindowRect(), *progress);
            continue;
        }
        if (child->Client() == nullptr) continue;
        std::uint32_t state = 0;
        if (!child->State().IsWindowEnabled()) state |= ODS_DISABLED;
        if (child.get() == m_pressed && child.get() == m_hot) state |= ODS_SELECTED;
        child->Client()->DrawItem({frame, child->WindowRect(), state, child->GetFont()});
    }
}

const Canvas& SdlDialogHost::PaintFrame() {
    Present();
    return *m_offscreenFrame;
}

void SdlDialogHost::Present() {
    if (m_window != nullptr) {
        SDL_Surface* surface = SDL_GetWindowSurface(m_window);
        if (surface == nullptr) return;
        SurfaceCanvas frame(surface, false);
        Paint(frame);
        SDL_UpdateWindowSurface(m_window);
    } else if (m_offscreenFrame) {
        Paint(*m_offscreenFrame);
    }
}

void SdlDialogHost::MoveWindow(const Rect& outer) {
    m_rect = outer;
    if (m_window != nullptr) {
        SDL_SetWindowSize(m_window, outer.width, outer.height);
        // Before it is shown the window is only placed once, after the dialog's initialisation.
        if (m_shown) SDL_SetWindowPosition(m_window, outer.x, outer.y);
    } else if (!m_offscreenFrame || m_offscreenFrame->Width() != outer.width || m_offscreenFrame->Height() != outer.height) {
        if (SDL_Surface* surface = CreateArgbSurface(outer.width, outer.height))
            m_offscreenFrame = std::make_unique<SurfaceCanvas>(surface, true);
    }
    m_invalid = true;
}

Rect SdlDialogHost::WindowRect() const {
    if (m_window == nullptr) return m_rect;
    Rect rect;
    SDL_GetWindowPosition(m_window, &rect.x, &rect.y);
    SDL_GetWindowSize(m_window, &rect.width, &rect.height);
    return rect;
}

void SdlDialogHost::Minimize() {
    if (m_window != nullptr) SDL_MinimizeWindow(m_window);
    m_minimized = true;
}

bool SdlDialogHost::IsMinimized() const { return m_minimized; }

void SdlDialogHost::BringToTop() {
    if (m_window != nullptr) SDL_RaiseWindow(m_window);
}

void SdlDialogHost::SetTitle(std::u16string_view title) {
    if (m_window != nullptr) SDL_SetWindowTitle(m_window, ToUtf8(title).c_str());
}

void SdlDialogHost::SetIcon(const Bitmap* icon) {
    if (m_window == nullptr || icon == nullptr) return;
    auto canvas = m_graphics.CreateMemoryCanvas(icon->Width(), icon->Height());
    if (!canvas) return;
    auto& surfaceCanvas = static_cast<SurfaceCanvas&>(*canvas);
    SDL_FillRect(surfaceCanvas.Surface(), nullptr, 0);
    SDL_SetSurfaceBlendMode(surfaceCanvas.Surface(), SDL_BLENDMODE_NONE);
    surfaceCanvas.DrawImage(*icon, 0, 0);
    SDL_SetWindowIcon(m_window, surfaceCanvas.Surface());
}

ChildWindow* SdlDialogHost::CreateChild(ChildKind kind, int id, const Rect& rect, CWnd& state,
                                        ChildWindowClient* client) {
    m_children.push_back(std::make_unique<SdlChildWindow>(*this, kind, id, rect, state, client));
    m_invalid = true;
    return m_children.back().get();
}

void SdlDialogHost::DestroyChild(ChildWindow* child) {
    if (child == m_hot) m_hot = nullptr;
    if (child == m_pressed) m_pressed = nullptr;
    std::erase_if(m_children, [child](const auto& c) { return c.get() == child; });
    m_invalid = true;
}

std::u16string SdlDialogHost::GetOpenFileName(std::u16string_view filterName, std::u16string_view pattern,
                                              std::u16string_view) {
    // The desktop's own file chooser, through zenity when it is there; otherwise a cancel.
    if (m_window == nullptr) return {};
    const std::string command = "zenity --file-selection --file-filter='" + ToUtf8(filterName) + " | " +
                                ToUtf8(pattern) + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string path;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) path += buffer;
    pclose(pipe);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    if (path.size() >= 260) return {};  // longer than the file-name buffer holds
    return FromUtf8(path);
}

int SdlDialogHost::RunChildModal(DialogClient& client, int width, int height) {
    SdlDialogHost child(m_graphics, m_mode);
    child.m_rect = {0, 0, width, height};
    return child.RunModal(client);
}

}  // namespace platform::sdl
