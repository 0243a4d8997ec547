#include "platform/controls.h"

#include <algorithm>

namespace platform {

namespace {

char16_t FoldCase(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Case-insensitive ordering of entry texts, as a sorted combo box compares them.
bool LessIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return FoldCase(x) < FoldCase(y); });
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    if (prefix.size() > text.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

}  // namespace

void CWnd::SetWindowText(std::u16string_view text) {
    std::lock_guard guard(m_lock);
    m_text.assign(text);
    m_textHistory.emplace_back(text);
    Changed();
}

std::u16string CWnd::GetWindowText() const {
    std::lock_guard guard(m_lock);
    return m_text;
}

std::vector<std::u16string> CWnd::TextHistory() const {
    std::lock_guard guard(m_lock);
    return m_textHistory;
}

void CWnd::EnableWindow(bool enable) {
    std::lock_guard guard(m_lock);
    m_enabled = enable;
    Changed();
}

bool CWnd::IsWindowEnabled() const {
    std::lock_guard guard(m_lock);
    return m_enabled;
}

std::uint64_t CWnd::Revision() const {
    std::lock_guard guard(m_lock);
    return m_revision;
}

void CWnd::Changed() { ++m_revision; }

int CListBox::AddString(std::u16string_view line) {
    std::lock_guard guard(m_lock);
    m_lines.emplace_back(line);
    m_added.emplace_back(line);
    Changed();
    return static_cast<int>(m_lines.size()) - 1;
}

int CListBox::DeleteString(int index) {
    std::lock_guard guard(m_lock);
    if (index < 0 || index >= static_cast<int>(m_lines.size())) return LB_ERR;
    m_lines.erase(m_lines.begin() + index);
    if (m_anchor > index) --m_anchor;
    Changed();
    return static_cast<int>(m_lines.size());
}

int CListBox::GetAnchorIndex() const {
    std::lock_guard guard(m_lock);
    return m_anchor;
}

void CListBox::SetAnchorIndex(int index) {
    std::lock_guard guard(m_lock);
    m_anchor = index;
}

int CListBox::GetCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_lines.size());
}

std::vector<std::u16string> CListBox::Lines() const {
    std::lock_guard guard(m_lock);
    return m_lines;
}

std::vector<std::u16string> CListBox::AddedHistory() const {
    std::lock_guard guard(m_lock);
    return m_added;
}

int CComboBox::AddString(std::u16string_view entry) {
    std::lock_guard guard(m_lock);
    // A new entry goes after the entries that sort equal to it.
    auto at = std::upper_bound(m_entries.begin(), m_entries.end(), entry,
                               [](std::u16string_view a, const std::u16string& b) { return LessIgnoringCase(a, b); });
    const int index = static_cast<int>(at - m_entries.begin());
    m_entries.emplace(at, entry);
    if (m_selection >= index) ++m_selection;
    Changed();
    return index;
}

int CComboBox::DeleteString(int index) {
    std::lock_guard guard(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return CB_ERR;
    m_entries.erase(m_entries.begin() + index);
    if (m_selection == index) {
        m_selection = CB_ERR;
    } else if (m_selection > index) {
        --m_selection;
    }
    Changed();
    return static_cast<int>(m_entries.size());
}

int CComboBox::GetCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_entries.size());
}

int CComboBox::SelectString(int startAfter, std::u16string_view prefix) {
    std::lock_guard guard(m_lock);
    const int count = static_cast<int>(m_entries.size());
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    // The search wraps around to the top, as the combo's own search does.
    for (int n = 0; n < count; ++n) {
        const int index = (first + n) % count;
        if (StartsWithIgnoringCase(m_entries[static_cast<std::size_t>(index)], prefix)) {
            m_selection = index;
            Changed();
            return index;
        }
    }
    return CB_ERR;
}

int CComboBox::GetCurSel() const {
    std::lock_guard guard(m_lock);
    return m_selection;
}

int CComboBox::SetCurSel(int index) {
    std::lock_guard guard(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) {
        m_selection = CB_ERR;
        Changed();
        return CB_ERR;
    }
    m_selection = index;
    Changed();
    return index;
}

std::u16string CComboBox::GetLBText(int index) const {
    std::lock_guard guard(m_lock);
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return {};
    return m_entries[static_cast<std::size_t>(index)];
}

std::vector<std::u16string> CComboBox::Entries() const {
    std::lock_guard guard(m_lock);
    return m_entries;
}

void CProgressCtrl::SetRange(std::uint16_t lower, std::uint16_t upper) {
    std::lock_guard guard(m_lock);
    m_lower = lower;
    m_upper = upper;
    m_history.push_back({Event::SetRange, lower, upper});
    Changed();
}

void CProgressCtrl::SetPos(int position) {
    std::lock_guard guard(m_lock);
    m_position = position;
    m_history.push_back({Event::SetPos, position, 0});
    Changed();
}

int CProgressCtrl::GetPos() const {
    std::lock_guard guard(m_lock);
    return m_position;
}

int CProgressCtrl::GetRangeLower() const {
    std::lock_guard guard(m_lock);
    return m_lower;
}

int CProgressCtrl::GetRangeUpper() const {
    std::lock_guard guard(m_lock);
    return m_upper;
}

std::vector<CProgressCtrl::Event> CProgressCtrl::History() const {
    std::lock_guard guard(m_lock);
    return m_history;
}

}  // namespace platform
