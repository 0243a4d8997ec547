// One update as the window runs it, without the window: wait for the device to come on line,
// start the download once, show what the link reports, and stop at the verdict or when the wait
// runs out. The link must have its image and its port selected (see LinkControls::AttachTo).
#pragma once

#include "platform/clock.h"
#include "tools/qlflash/console.h"
#include "tools/qlflash/link_controls.h"
#include "tools/qlflash/verdict.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class ESCLink;

namespace qlflash {

// How often the session looks at the controls.
inline constexpr std::uint32_t kRoundMs = 5;

struct SessionResult {
    Verdict verdict = Verdict::Pending;
    std::string message;  // for the error stream; empty when the update completed
};

class Session {
public:
    // Called at the start of every round with the tick count (the simulation powers its device
    // on from here; tests run worker passes).
    using Round = std::function<void(platform::Tick now)>;

    Session(ESCLink& link, LinkControls& controls, Console& console, platform::Clock& clock);

    // Runs rounds until a verdict, or until `waitSeconds` have passed.
    SessionResult Run(std::uint32_t waitSeconds, const Round& eachRound = {});

private:
    // Which of the two kinds of new text is printed first within one look at the controls;
    // the controls keep no common order, so the session picks the one that is right when.
    enum class Order { LogFirst, InfoFirst };

    // Shows what changed on the controls since the last look and passes it to the watch.
    void Observe(Order order = Order::LogFirst);
    void StartDownloadWhenOnline();
    SessionResult Result(std::uint32_t waitSeconds) const;

    ESCLink& m_link;
    LinkControls& m_controls;
    Console& m_console;
    platform::Clock& m_clock;
    VerdictWatch m_watch;
    bool m_downloadStarted = false;
    std::size_t m_logLinesSeen = 0;
    std::size_t m_labelTextsSeen = 0;
    std::size_t m_infoTextsSeen = 0;
    std::u16string m_lastInfoText;
};

}  // namespace qlflash
