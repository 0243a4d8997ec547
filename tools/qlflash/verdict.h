// How an update ends, told from what the link reports on its controls alone: the status log's
// lines, the on-line label and the information text, in the order they were set.
#pragma once

#include <string_view>

namespace qlflash {

enum class Verdict {
    Pending,          // no end yet
    Completed,        // the device accepted the last block
    Failed,           // the device refused a block more often than the link retries it
    Unsupported,      // the link dropped the device as not supported
    PortUnavailable,  // the port cannot be opened, so the link cannot reach the device again
    TimedOut,         // the wait ran out first
};

// Exit status of qlflash for a verdict: 0 for a completed update, else 1.
int ExitStatus(Verdict verdict);

// Follows the link's reports; the first verdict reached stays.
class VerdictWatch {
public:
    void SeeLogLine(std::u16string_view line);
    void SeeLineLabel(std::u16string_view text);
    void SeeInfoText(std::u16string_view text);
    void SeeDownloadStarted();
    void SeeTimeOut();

    Verdict Current() const { return m_verdict; }
    // A device has been on line since the port was selected (the handshake or the identity
    // query finished, or a download started).
    bool DeviceSeen() const { return m_deviceSeen; }

private:
    void Reach(Verdict verdict);

    Verdict m_verdict = Verdict::Pending;
    bool m_deviceSeen = false;
};

}  // namespace qlflash
