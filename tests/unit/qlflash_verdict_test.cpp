// How qlflash tells the end of an update from what the link reports, as sequences of reports.
#include "tools/qlflash/verdict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlflash {
namespace {

struct Report {
    enum Kind { Log, Label, Info, Started, TimeOut } kind;
    std::u16string text;
};

Report Log(std::u16string text) { return {Report::Log, std::move(text)}; }
Report Label(std::u16string text) { return {Report::Label, std::move(text)}; }
Report Info(std::u16string text) { return {Report::Info, std::move(text)}; }
const Report kStarted{Report::Started, u""};
const Report kTimeOut{Report::TimeOut, u""};

Verdict Judge(const std::vector<Report>& reports) {
    VerdictWatch watch;
    for (const auto& report : reports) {
        switch (report.kind) {
            case Report::Log: watch.SeeLogLine(report.text); break;
            case Report::Label: watch.SeeLineLabel(report.text); break;
            case Report::Info: watch.SeeInfoText(report.text); break;
            case Report::Started: watch.SeeDownloadStarted(); break;
            case Report::TimeOut: watch.SeeTimeOut(); break;
        }
    }
    return watch.Current();
}

const std::u16string kWaiting = u"Waiting... please connect then power on ESC.";
const std::u16string kVersion = u"KORVA MultiCopter PCU, F/W Version A16";

TEST(QlflashVerdictTest, ReportSequences_EndInTheirVerdicts) {
    struct Case {
        const char* name;
        std::vector<Report> reports;
        Verdict expected;
    };
    const std::vector<Case> cases{
        {"nothing yet", {Info(kWaiting), Log(u"USB0 standby ready.")}, Verdict::Pending},
        {"connected and identified",
         {Log(u"ESC connected."), Label(u"On-line"), Info(kVersion)},
         Verdict::Pending},
        {"completed",
         {Log(u"ESC connected."), Label(u"On-line"), Info(kVersion), kStarted, Log(u"Writing..."), Log(u"Completed.")},
         Verdict::Completed},
        {"failed", {Log(u"ESC connected."), kStarted, Log(u"Writing..."), Log(u"Failed.")}, Verdict::Failed},
        // Dropped by the link: on line for a moment, then the reset's texts, then the empty text.
        {"unsupported after the handshake line",
         {Log(u"ESC connected."), Label(u"On-line"), Label(u"Off-line"), Info(kWaiting), Info(u"")},
         Verdict::Unsupported},
        {"unsupported on a HID link that connects without the line",
         {Label(u"On-line"), Label(u"Off-line"), Info(kWaiting), Info(u"")},
         Verdict::Unsupported},
        {"unsupported after the device came back during a download",
         {kStarted, Log(u"ESC off-lined."), Info(u"")},
         Verdict::Unsupported},
        {"an empty text before any device is not a verdict", {Info(u""), Info(kWaiting)}, Verdict::Pending},
        {"a lost device is not a verdict",
         {Log(u"ESC connected."), kStarted, Log(u"ESC off-lined."), Info(u"Please select or reset USB port...")},
         Verdict::Pending},
        {"a lost device that comes back and completes",
         {kStarted, Log(u"ESC off-lined."), Log(u"USB0 standby ready."), Log(u"ESC connected."), Info(kVersion),
          Log(u"Completed.")},
         Verdict::Completed},
        {"the port cannot be opened", {Log(u"Can not open ttyUSB7.")}, Verdict::PortUnavailable},
        {"the port cannot be opened again after a loss",
         {kStarted, Log(u"ESC off-lined."), Log(u"Can not open USB0.")},
         Verdict::PortUnavailable},
        {"a failed handshake is not a verdict", {Log(u"ESC connect fail.")}, Verdict::Pending},
        {"timed out", {Log(u"ESC connected."), kTimeOut}, Verdict::TimedOut},
        // The first verdict stays: later reports do not change it.
        {"completed, then anything", {Log(u"Completed."), Log(u"Failed."), kTimeOut}, Verdict::Completed},
        {"timed out, then completed", {kTimeOut, Log(u"Completed.")}, Verdict::TimedOut},
    };
    for (const auto& c : cases) EXPECT_EQ(Judge(c.reports), c.expected) << c.name;
}

TEST(QlflashVerdictTest, ExitStatus_ZeroOnlyForACompletedUpdate) {
    EXPECT_EQ(ExitStatus(Verdict::Completed), 0);
    for (const auto verdict : {Verdict::Failed, Verdict::Unsupported, Verdict::PortUnavailable, Verdict::TimedOut}) {
        EXPECT_EQ(ExitStatus(verdict), 1);
    }
}

}  // namespace
}  // namespace qlflash
