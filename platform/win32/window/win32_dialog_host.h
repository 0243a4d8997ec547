// The window host on Win32: runs a dialog modally from a dialog template resource of the
// program (DialogBoxParamW), paints it through its logic into a memory canvas copied out in one
// BitBlt, and routes hit tests, keys, commands and posted messages to that logic. Its children
// are real controls: owner-drawn buttons it creates, and the template's progress bar, which
// mirror the controls' state holders whenever those change.
#pragma once

#include "platform/common/posted_messages.h"
#include "platform/dialog.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct HWND__;
struct HICON__;
struct tagDRAWITEMSTRUCT;

namespace platform::win32 {

class DibCanvas;
class Win32ChildWindow;

class Win32DialogHost final : public DialogHost, private MessageTarget {
public:
    // A host for template `dialogTemplate`, whose RunChildModal dialogs come from template
    // `childTemplate`. With no owner the dialog is the program's skinned main window: no
    // caption bar, no sizing or maximising; with an owner it keeps its frame and runs over it.
    // `lastError`, when given, receives why a dialog could not be run.
    Win32DialogHost(Graphics& graphics, int dialogTemplate, int childTemplate, HWND__* owner,
                    std::string* lastError);
    ~Win32DialogHost() override;
    Win32DialogHost(const Win32DialogHost&) = delete;
    Win32DialogHost& operator=(const Win32DialogHost&) = delete;

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

    // The dialog's window while it runs (for the file dialog's owner); null otherwise.
    HWND__* Window() const;

private:
    static std::intptr_t __stdcall DialogProc(HWND__* window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
    static std::intptr_t __stdcall KeyFilter(int code, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool InitDialog();
    void Destroyed();
    void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void DispatchPosted();
    void SyncChildren();
    bool PaintFrame();
    void PaintWindow();
    void DrawChild(const tagDRAWITEMSTRUCT& item);
    Win32ChildWindow* ChildOf(HWND__* window) const;

    Graphics& m_graphics;
    int m_template;
    int m_childTemplate;
    HWND__* m_owner;
    std::string* m_lastError;
    DialogClient* m_client = nullptr;
    Rect m_childSize{};  // client size asked for by RunChildModal; empty: the template's

    mutable std::mutex m_lock;  // guards m_window, which posting threads read
    HWND__* m_window = nullptr;
    PostedMessages m_posted;

    std::vector<std::unique_ptr<Win32ChildWindow>> m_children;
    std::unique_ptr<DibCanvas> m_frame;  // the last painted face of the whole client area
    bool m_framePainted = false;
    HICON__* m_icon = nullptr;
    bool m_ending = false;  // EndDialog was called: the run is over
};

}  // namespace platform::win32
