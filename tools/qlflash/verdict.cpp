#include "tools/qlflash/verdict.h"

namespace qlflash {

int ExitStatus(Verdict verdict) { return verdict == Verdict::Completed ? 0 : 1; }

void VerdictWatch::Reach(Verdict verdict) {
    if (m_verdict == Verdict::Pending) m_verdict = verdict;
}

void VerdictWatch::SeeLogLine(std::u16string_view line) {
    if (line == u"Completed.") {
        Reach(Verdict::Completed);
    } else if (line == u"Failed.") {
        Reach(Verdict::Failed);
    } else if (line == u"ESC connected.") {
        m_deviceSeen = true;
    } else if (line.starts_with(u"Can not open ")) {
        // The link opens a port when it is selected and again after losing the device; when
        // that fails nothing opens it again by itself.
        Reach(Verdict::PortUnavailable);
    }
}

void VerdictWatch::SeeLineLabel(std::u16string_view text) {
    // The identity query ends on line, even for a device the link then drops; on the HID link a
    // device can connect without the "ESC connected." line.
    if (text == u"On-line") m_deviceSeen = true;
}

void VerdictWatch::SeeInfoText(std::u16string_view text) {
    // The link shows the device's version once it has identified it; the empty text instead
    // means it dropped the device as not supported.
    if (text.empty() && m_deviceSeen) Reach(Verdict::Unsupported);
}

void VerdictWatch::SeeDownloadStarted() { m_deviceSeen = true; }

void VerdictWatch::SeeTimeOut() { Reach(Verdict::TimedOut); }

}  // namespace qlflash
