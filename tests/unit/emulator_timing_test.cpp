// When the emulated PCU's bytes reach the PC: 19200 baud byte timing (10 bits, about 0.52 ms a
// byte) in both directions, the flash time before a verdict, and the tick count's wrap-around.
#include "emulator/pcu.h"
#include "emulator/serial_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

// For a Pcu or the serial line it sits on.
template <typename Line>
Bytes Drain(Line& line, platform::Tick now) {
    Bytes out(line.AvailableToPc(now));
    out.resize(line.TransmitToPc(out.data(), out.size(), now));
    return out;
}

template <typename Line>
void Send(Line& line, const Bytes& pc, platform::Tick now) {
    line.ReceiveFromPc(pc.data(), pc.size(), now);
}

PcuConfig Timed(PcuConfig config = {}) {
    config.lineTiming = true;
    return config;
}

// Powers on at `start` and completes the handshake with room to spare; returns a later tick
// at which the device is connected and has nothing left to send.
platform::Tick Connect(Pcu& pcu, platform::Tick start) {
    pcu.PowerOn(start);
    EXPECT_EQ(Drain(pcu, start + 5), Bytes{0x13});
    Send(pcu, {0xF7}, start + 5);
    EXPECT_EQ(Drain(pcu, start + 10), Bytes{0xFA});
    return start + 10;
}

// Opens a read at `at`; returns the tick at which to send the read command.
platform::Tick OpenRead(Pcu& pcu, platform::Tick at) {
    Send(pcu, {0x86}, at);
    EXPECT_EQ(Drain(pcu, at + 10), Bytes{0xF7});
    return at + 10;
}

TEST(PcuLineTiming, Greeting_AvailableOneByteTimeAfterPowerOn) {
    Pcu pcu(Timed());
    pcu.PowerOn(100);
    EXPECT_EQ(pcu.AvailableToPc(100), 0U);
    EXPECT_EQ(pcu.NextEventTick(), std::optional<platform::Tick>(101));
    EXPECT_EQ(pcu.AvailableToPc(101), 1U);
}

TEST(PcuLineTiming, Answer_ComesAfterTheQuestionArrivedAndWasSent) {
    Pcu pcu(Timed());
    SerialLine line(pcu);
    pcu.PowerOn(100);
    Drain(line, 105);
    // The PC's byte is on the wire 0.52 ms, the answer another 0.52 ms: due at 111.04.
    Send(line, {0xF7}, 110);
    EXPECT_EQ(line.AvailableToPc(111), 0U);
    EXPECT_EQ(line.AvailableToPc(112), 1U);
}

TEST(PcuLineTiming, ReadAnswerOf514Bytes_TakesAbout268Ms) {
    PcuConfig config = Timed();
    config.readMemory = Bytes(507, 0x5A);  // 0x65, 5 header bytes, 507 data bytes, end byte: 514
    Pcu pcu(config);
    const platform::Tick sent = OpenRead(pcu, Connect(pcu, 1000));
    Send(pcu, {0x82}, sent);
    // Answer byte k (from 1) is due (1 + k) byte times after the command was sent.
    struct Expect {
        platform::Tick after;
        std::size_t available;
    };
    for (const Expect expect : {Expect{0, 0}, Expect{1, 0}, Expect{2, 2}, Expect{100, 191}, Expect{268, 513},
                                Expect{269, 514}, Expect{600, 514}}) {
        EXPECT_EQ(pcu.AvailableToPc(sent + expect.after), expect.available) << "after " << expect.after << " ms";
    }
}

TEST(PcuLineTiming, TakingBytes_LeavesTheLaterOnesOnTheWire) {
    PcuConfig config = Timed();
    config.readMemory = Bytes(100, 0x11);
    Pcu pcu(config);
    const platform::Tick sent = OpenRead(pcu, Connect(pcu, 1000));
    Send(pcu, {0x82}, sent);
    Bytes out(200);
    EXPECT_EQ(pcu.TransmitToPc(out.data(), out.size(), sent + 10), 18U);
    EXPECT_EQ(pcu.AvailableToPc(sent + 10), 0U);
    EXPECT_EQ(pcu.NextEventTick(), std::optional<platform::Tick>(sent + 11));
    EXPECT_EQ(pcu.TransmitToPc(out.data(), out.size(), sent + 1000), 107U - 18U);
}

TEST(PcuLineTiming, BodyOf514Bytes_VerdictAfterBodyFlashTimeAndOneByte) {
    PcuConfig config = Timed();
    config.flashMsPerBlock = 20;
    Pcu pcu(config);
    SerialLine line(pcu);
    platform::Tick now = Connect(pcu, 1000);
    for (const std::uint8_t header : {0x62, 0x81, 0x00, 0x01}) {
        Send(line, {header}, now);
        EXPECT_EQ(Drain(line, now + 5), Bytes{0xF7});
        now += 5;
    }
    // The body leaves in 63-byte pieces at once, as HID reports would carry it; the line
    // still takes 514 byte times: last byte in at 267.71 ms, verdict due at 288.23 ms.
    const Bytes body(514, 0xC3);
    for (std::size_t offset = 0; offset < body.size(); offset += 63) {
        const std::size_t size = std::min<std::size_t>(63, body.size() - offset);
        line.ReceiveFromPc(body.data() + offset, size, now);
    }
    EXPECT_EQ(line.AvailableToPc(now + 288), 0U);
    EXPECT_EQ(Drain(line, now + 289), Bytes{0xF1});
    ASSERT_EQ(pcu.AcceptedBlocks().size(), 1U);
    EXPECT_EQ(pcu.AcceptedBlocks()[0].size(), 516U);
}

TEST(PcuLineTiming, EchoOnTimedLine_EchoArrivesBeforeTheAnswer) {
    Pcu pcu(Timed());
    SerialLine line(pcu, SerialLineConfig{true});
    pcu.PowerOn(100);
    Drain(line, 105);
    Send(line, {0xF7}, 110);
    EXPECT_EQ(Drain(line, 111), Bytes{0xF7});
    EXPECT_EQ(Drain(line, 112), Bytes{0xFA});
}

TEST(PcuLineTiming, PowerOffMidAnswer_BytesNotYetOnTheLineAreLost) {
    PcuConfig config = Timed();
    config.readMemory = Bytes(100, 0x22);
    Pcu pcu(config);
    const platform::Tick sent = OpenRead(pcu, Connect(pcu, 1000));
    Send(pcu, {0x82}, sent);
    pcu.PowerOff(sent + 10);
    EXPECT_EQ(pcu.AvailableToPc(sent + 1000), 18U);
}

TEST(PcuLineTiming, TickCountWraps_TimingFollowsAcrossTheWrap) {
    PcuConfig config = Timed();
    config.readMemory = Bytes(507, 0x5A);
    Pcu pcu(config);
    const platform::Tick sent = OpenRead(pcu, Connect(pcu, 0xFFFFFF00U));
    Send(pcu, {0x82}, sent);
    const platform::Tick almostDone = sent + 268;  // past the wrap
    ASSERT_LT(almostDone, sent);
    Bytes taken(600);
    EXPECT_EQ(pcu.TransmitToPc(taken.data(), taken.size(), almostDone), 513U);
    EXPECT_EQ(pcu.NextEventTick(), std::optional<platform::Tick>(sent + 269));
    EXPECT_EQ(pcu.AvailableToPc(sent + 269), 1U);
}

TEST(PcuFlashTime, WithoutLineTiming_VerdictExactlyFlashTimeLater) {
    PcuConfig config;
    config.blockSize = 4;
    config.flashMsPerBlock = 30;
    Pcu pcu(config);
    SerialLine line(pcu);
    pcu.PowerOn(0);
    Send(line, {0xF7, 0x62, 0x81, 0x01, 0x02}, 0);
    EXPECT_EQ(Drain(line, 0), (Bytes{0x13, 0xFA, 0xF7, 0xF7, 0xF7, 0xF7}));
    Send(line, {0x03, 0x04}, 50);
    EXPECT_EQ(line.AvailableToPc(79), 0U);
    EXPECT_EQ(Drain(line, 80), Bytes{0xF1});
}

TEST(PcuFlashTime, WithoutLineTiming_LongAnswerAvailableAtOnce) {
    PcuConfig config;
    config.readMemory = Bytes(507, 0x5A);
    Pcu pcu(config);
    pcu.PowerOn(0);
    Send(pcu, {0xF7, 0x86, 0x82}, 0);
    EXPECT_EQ(pcu.AvailableToPc(0), 1U + 1U + 1U + 514U);
}

TEST(PcuPowerCut, RestartDelay_CountsFromTheCutByteOnTheWire) {
    PcuConfig config = Timed();
    config.powerCut = PowerCut{1, 40};
    Pcu pcu(config);
    SerialLine line(pcu);
    pcu.PowerOn(100);
    Drain(line, 105);
    Send(line, {0xF7}, 110);  // arrives 110.52: power returns at 150.52, greeting due 151.04
    EXPECT_EQ(line.AvailableToPc(150), 0U);
    EXPECT_FALSE(pcu.Powered());
    EXPECT_EQ(line.AvailableToPc(151), 0U);
    EXPECT_TRUE(pcu.Powered());
    EXPECT_EQ(Drain(line, 152), Bytes{0x13});
}

}  // namespace
}  // namespace emulator
