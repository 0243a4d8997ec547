#include "tools/qlflash/session.h"

#include "link/esc_link.h"
#include "platform/text.h"

#include <vector>

namespace qlflash {

Session::Session(ESCLink& link, LinkControls& controls, Console& console, platform::Clock& clock)
    : m_link(link), m_controls(controls), m_console(console), m_clock(clock) {}

SessionResult Session::Run(std::uint32_t waitSeconds, const Round& eachRound) {
    const std::uint32_t waitMs = waitSeconds * 1000;
    const platform::Tick start = m_clock.TickCount();
    for (;;) {
        if (eachRound) eachRound(m_clock.TickCount());
        Observe();
        if (m_watch.Current() == Verdict::Pending) StartDownloadWhenOnline();
        if (m_watch.Current() != Verdict::Pending) break;
        if (platform::TicksSince(start, m_clock.TickCount()) >= waitMs) {
            m_watch.SeeTimeOut();
            break;
        }
        m_clock.Sleep(kRoundMs);
    }
    m_console.EndProgress();
    return Result(waitSeconds);
}

void Session::Observe(Order order) {
    // The link's posts only matter to a window; they are taken so they do not pile up.
    m_controls.window.Take();

    // The information text is read first: whatever the label and the log showed before one of
    // its texts is then in their later copies, so the watch sees the texts in the order set.
    const auto infoTexts = m_controls.infoText.TextHistory();
    const auto labelTexts = m_controls.lineLabel.TextHistory();
    const auto logLines = m_controls.statusLog.AddedHistory();
    // Read after the log, so the bar is as new as the lines: it shows the last block before
    // the line that the update completed is printed above it.
    if (m_downloadStarted) {
        const auto& progress = m_controls.progress;
        m_console.Progress(progress.GetPos(), progress.GetRangeUpper() - progress.GetRangeLower() + 1);
    }

    std::vector<std::u16string> newLines(logLines.begin() + static_cast<std::ptrdiff_t>(m_logLinesSeen), logLines.end());
    std::vector<std::u16string> newInfoTexts;
    for (auto text = infoTexts.begin() + static_cast<std::ptrdiff_t>(m_infoTextsSeen); text != infoTexts.end(); ++text) {
        if (!text->empty() && *text != m_lastInfoText) newInfoTexts.push_back(*text);
        m_lastInfoText = *text;
    }
    const auto print = [&](const std::vector<std::u16string>& texts) {
        for (const auto& text : texts) m_console.Line(platform::ToUtf8(text));
    };
    if (order == Order::LogFirst) {
        print(newLines);
        print(newInfoTexts);
    } else {
        print(newInfoTexts);
        print(newLines);
    }

    for (; m_logLinesSeen < logLines.size(); ++m_logLinesSeen) m_watch.SeeLogLine(logLines[m_logLinesSeen]);
    for (; m_labelTextsSeen < labelTexts.size(); ++m_labelTextsSeen) m_watch.SeeLineLabel(labelTexts[m_labelTextsSeen]);
    for (; m_infoTextsSeen < infoTexts.size(); ++m_infoTextsSeen) m_watch.SeeInfoText(infoTexts[m_infoTextsSeen]);
}

void Session::StartDownloadWhenOnline() {
    // Once only: after a lost device comes back the link goes on with the blocks it has left.
    if (m_downloadStarted || m_controls.lineLabel.GetWindowText() != u"On-line") return;
    if (!m_link.StartDownload()) return;  // the link was busy (a keep-alive): the next round tries again
    m_downloadStarted = true;
    m_watch.SeeDownloadStarted();
    // The pass that brought the device on line has ended before "Writing..." was added: the
    // version text it set comes first.
    Observe(Order::InfoFirst);
}

SessionResult Session::Result(std::uint32_t waitSeconds) const {
    SessionResult result;
    result.verdict = m_watch.Current();
    const std::string port = platform::ToUtf8(m_link.PortName());
    switch (result.verdict) {
        case Verdict::Completed:
        case Verdict::Pending:
            break;
        case Verdict::Failed:
            result.message = "the update failed: the device kept refusing a block";
            break;
        case Verdict::Unsupported:
            result.message = "the device on " + port + " is not a supported KORVA device";
            break;
        case Verdict::PortUnavailable:
            result.message = "cannot open port " + port;
            break;
        case Verdict::TimedOut:
            result.message = "timed out after " + std::to_string(waitSeconds) + " s waiting for " +
                             (m_downloadStarted ? std::string("the update to finish")
                                                : "the device to connect on " + port +
                                                      " (connect it, then power it on)");
            break;
    }
    return result;
}

}  // namespace qlflash
