// The dialog controls the link reports on. Each is a thread-safe holder of the control's state
// that also records what was done to it; a window backend draws from that state, and a backend
// with native controls mirrors it. No call waits for the interface thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What every control has: a window text, an enabled state and a change counter
// that a window host can watch to know when to repaint.
class CWnd {
public:
    virtual ~CWnd() = default;

    virtual void SetWindowText(std::u16string_view text);
    std::u16string GetWindowText() const;
    // Every text set, in order.
    std::vector<std::u16string> TextHistory() const;

    virtual void EnableWindow(bool enable);
    bool IsWindowEnabled() const;

    std::uint64_t Revision() const;

protected:
    void Changed();  // call with m_lock held
    mutable std::mutex m_lock;

private:
    std::u16string m_text;
    std::vector<std::u16string> m_textHistory;
    bool m_enabled = true;
    std::uint64_t m_revision = 0;
};

class CStatic : public CWnd {};

class CButton : public CWnd {};

// Return value of list and combo operations that found no such entry.
inline constexpr int LB_ERR = -1;
inline constexpr int CB_ERR = -1;

class CListBox : public CWnd {
public:
    // LB_ADDSTRING: appends a line (the log list box is not sorted); returns its index.
    virtual int AddString(std::u16string_view line);
    // LB_DELETESTRING: returns the number of lines left, or LB_ERR for a bad index.
    virtual int DeleteString(int index);
    int GetAnchorIndex() const;           // LB_GETANCHORINDEX
    virtual void SetAnchorIndex(int index);  // LB_SETANCHORINDEX
    int GetCount() const;
    std::vector<std::u16string> Lines() const;
    // Every line ever added, in order, cleared or not.
    std::vector<std::u16string> AddedHistory() const;

private:
    std::vector<std::u16string> m_lines;
    std::vector<std::u16string> m_added;
    int m_anchor = 0;
};

// A drop-down combo with a sorted list (CBS_SORT): entries are placed by their text,
// compared without regard to case.
class CComboBox : public CWnd {
public:
    virtual int AddString(std::u16string_view entry);  // CB_ADDSTRING: returns the index it went to
    virtual int DeleteString(int index);                // CB_DELETESTRING: entries left, or CB_ERR
    int GetCount() const;                               // CB_GETCOUNT
    // CB_SELECTSTRING: selects the first entry after `startAfter` (-1: from the top) that begins
    // with `prefix`, without regard to case; returns its index or CB_ERR (selection unchanged).
    virtual int SelectString(int startAfter, std::u16string_view prefix);
    int GetCurSel() const;                              // CB_GETCURSEL: CB_ERR when none
    virtual int SetCurSel(int index);
    // CB_GETLBTEXT; empty for a bad index.
    std::u16string GetLBText(int index) const;
    std::vector<std::u16string> Entries() const;

private:
    std::vector<std::u16string> m_entries;
    int m_selection = CB_ERR;
};

class CProgressCtrl : public CWnd {
public:
    struct Event {
        enum Kind : std::uint8_t { SetRange, SetPos } kind;
        int first;   // SetRange: lower bound; SetPos: position
        int second;  // SetRange: upper bound
        bool operator==(const Event&) const = default;
    };

    virtual void SetRange(std::uint16_t lower, std::uint16_t upper);  // PBM_SETRANGE
    virtual void SetPos(int position);                                 // PBM_SETPOS
    int GetPos() const;
    int GetRangeLower() const;
    int GetRangeUpper() const;
    std::vector<Event> History() const;

private:
    int m_lower = 0;
    int m_upper = 100;
    int m_position = 0;
    std::vector<Event> m_history;
};

}  // namespace platform
