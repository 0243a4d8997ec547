// The emulated PCU's conversations, byte for byte: what the device sends for each thing the PC sends.
#include "emulator/pcu.h"
#include "emulator/serial_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr platform::Tick kStart = 5000;

// Everything the device has made available by `now`.
Bytes Drain(Pcu& pcu, platform::Tick now) {
    Bytes out(pcu.AvailableToPc(now));
    out.resize(pcu.TransmitToPc(out.data(), out.size(), now));
    return out;
}

Bytes Send(Pcu& pcu, const Bytes& pc, platform::Tick now = kStart) {
    pcu.ReceiveFromPc(pc.data(), pc.size(), now);
    return Drain(pcu, now);
}

// One step of a conversation: what the PC sends, and everything the device answers.
struct Exchange {
    Bytes pc;
    Bytes device;
};

struct Conversation {
    std::string name;
    PcuConfig config;
    Bytes greeting;  // what the device sends at power-on
    std::vector<Exchange> exchanges;
};

PcuConfig WithBlockSize(std::uint16_t size) {
    PcuConfig config;
    config.blockSize = size;
    return config;
}

PcuConfig WithRecords(std::vector<IdentityRecord> records) {
    PcuConfig config;
    config.records = std::move(records);
    return config;
}

PcuConfig WithGreeting(std::uint8_t greeting) {
    PcuConfig config;
    config.greeting = greeting;
    return config;
}

PcuConfig WithReadMemory(std::array<std::uint8_t, 3> header, Bytes memory) {
    PcuConfig config;
    config.readHeader = header;
    config.readMemory = std::move(memory);
    return config;
}

PcuConfig WithGarbage(Bytes garbage) {
    PcuConfig config;
    config.garbageBeforeGreeting = std::move(garbage);
    return config;
}

const Exchange kHandshake{{0xF7}, {0xFA}};

std::vector<Conversation> Conversations() {
    return {
        {"SerialHandshake", {}, {0x13}, {kHandshake, {{0x27}, {0x02, 0x11, 0x10, 0x34}}}},
        {"HidGreetingConnectsOnReady",
         WithGreeting(0xF7),
         {0xF7},
         {{{0xFA}, {}}, {{0x27}, {0x02, 0x11, 0x10, 0x34}}}},
        {"HidGreetingIgnoresAckAnswer",
         WithGreeting(0xF7),
         {0xF7},
         {{{0xF7}, {}}, {{0x27}, {}}, {{0xFA}, {}}, {{0x27}, {0x02, 0x11, 0x10, 0x34}}}},
        {"CommandsBeforeHandshakeIgnored",
         {},
         {0x13},
         {{{0x27, 0x62, 0x86, 0x82, 0xFA}, {}}, kHandshake, {{0xF7}, {}}}},
        {"GarbageBeforeGreeting", WithGarbage({0x55, 0x00}), {0x55, 0x00, 0x13}, {kHandshake}},
        {"IdentityTwoRecords",
         {},
         {0x13},
         {kHandshake, {{0x27}, {0x02, 0x11, 0x10, 0x34}}, {{0xF7}, {0x41, 0x41, 0x10, 0xF1}}, {{0xF7}, {}}}},
        {"IdentityOneRecordEndsAtOnce",
         WithRecords({SignatureRecord()}),
         {0x13},
         {kHandshake, {{0x27}, {0x01, 0x11, 0x10, 0x34, 0xF1}}, {{0xF7}, {}}}},
        {"IdentityA14iVersion",
         WithRecords({SignatureRecord(), VersionRecordA14i(0x07)}),
         {0x13},
         {kHandshake, {{0x27}, {0x02, 0x11, 0x10, 0x34}}, {{0xF7}, {0x13, 0x13, 0x07, 0xF1}}}},
        {"IdentityWrongSignature",
         WithRecords({SignatureRecord(0x10, 0x35), VersionRecord('B', 3)}),
         {0x13},
         {kHandshake, {{0x27}, {0x02, 0x11, 0x10, 0x35}}, {{0xF7}, {0x41, 0x42, 0x03, 0xF1}}}},
        {"KeepAliveCutShortByPc",
         {},
         {0x13},
         {kHandshake, {{0x27}, {0x02, 0x11, 0x10, 0x34}}, {{0xF1}, {}}, {{0xF7}, {}}, {{0x27}, {0x02, 0x11, 0x10, 0x34}}}},
        {"NewQueryRestartsRecords",
         {},
         {0x13},
         {kHandshake,
          {{0x27}, {0x02, 0x11, 0x10, 0x34}},
          {{0x27}, {0x02, 0x11, 0x10, 0x34}},
          {{0xF7}, {0x41, 0x41, 0x10, 0xF1}}}},
        {"BlockAccepted",
         WithBlockSize(6),
         {0x13},
         {kHandshake,
          {{0x62}, {0xF7}},
          {{0x81}, {0xF7}},
          {{0xAA}, {0xF7}},
          {{0xBB}, {0xF7}},
          {{0x01, 0x02}, {}},
          {{0x03, 0x04}, {0xF1}}}},
        {"BlockBytesMayLookLikeCodes",
         WithBlockSize(5),
         {0x13},
         {kHandshake, {{0x62}, {0xF7}}, {{0x81}, {0xF7}}, {{0x7C}, {0xF7}}, {{0x27}, {0xF7}}, {{0xF1, 0x62, 0x86}, {0xF1}}}},
        {"BlockOfTwoBytesHasNoBody",
         WithBlockSize(2),
         {0x13},
         {kHandshake, {{0x62}, {0xF7}}, {{0x81}, {0xF7}}, {{0xAA}, {0xF7}}, {{0xBB}, {0xF7, 0xF1}}}},
        {"WriteWaitsForWriteCommand",
         WithBlockSize(4),
         {0x13},
         {kHandshake, {{0x62}, {0xF7}}, {{0x27, 0xF7}, {}}, {{0x81}, {0xF7}}}},
        {"AbortBeforeWriteCommandReturnsToIdle",
         {},
         {0x13},
         {kHandshake, {{0x62}, {0xF7}}, {{0x7C}, {}}, {{0x27}, {0x02, 0x11, 0x10, 0x34}}}},
        {"ReadShowsFlash",
         WithBlockSize(4),
         {0x13},
         {kHandshake,
          {{0x62}, {0xF7}},
          {{0x81}, {0xF7}},
          {{0xAA}, {0xF7}},
          {{0xBB}, {0xF7}},
          {{0x01, 0x02}, {0xF1}},
          {{0x86}, {0xF7}},
          {{0x82}, {0x65, 0x00, 0x00, 0x00, 0x00, 0x04, 0xAA, 0xBB, 0x01, 0x02, 0xF1}},
          {{0x82}, {}}}},
        {"ReadShowsConfiguredMemory",
         WithReadMemory({0x01, 0x02, 0x03}, {0x09, 0x08}),
         {0x13},
         {kHandshake, {{0x86}, {0xF7}}, {{0x27}, {}}, {{0x82}, {0x65, 0x01, 0x02, 0x03, 0x00, 0x02, 0x09, 0x08, 0xF1}}}},
        {"ReadOfEmptyFlash",
         {},
         {0x13},
         {kHandshake, {{0x86}, {0xF7}}, {{0x82}, {0x65, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF1}}}},
    };
}

class PcuConversation : public testing::TestWithParam<Conversation> {};

TEST_P(PcuConversation, Exchange_DeviceAnswersByteForByte) {
    const Conversation& conversation = GetParam();
    Pcu pcu(conversation.config);
    pcu.PowerOn(kStart);
    EXPECT_EQ(Drain(pcu, kStart), conversation.greeting);
    for (std::size_t i = 0; i < conversation.exchanges.size(); ++i) {
        const Exchange& exchange = conversation.exchanges[i];
        EXPECT_EQ(Send(pcu, exchange.pc), exchange.device) << "exchange " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Conversations, PcuConversation, testing::ValuesIn(Conversations()),
                         [](const testing::TestParamInfo<Conversation>& info) { return info.param.name; });

// Writes one block of the given size through the whole exchange; returns the verdict bytes.
Bytes WriteBlock(Pcu& pcu, const Bytes& block) {
    Bytes answers;
    for (const Bytes& step : {Bytes{0x62}, Bytes{0x81}, Bytes{block[0]}, Bytes{block[1]}}) {
        const Bytes answer = Send(pcu, step);
        answers.insert(answers.end(), answer.begin(), answer.end());
    }
    EXPECT_EQ(answers, (Bytes{0xF7, 0xF7, 0xF7, 0xF7}));
    return Send(pcu, Bytes(block.begin() + 2, block.end()));
}

Pcu& Connected(Pcu& pcu) {
    pcu.PowerOn(kStart);
    Drain(pcu, kStart);
    Send(pcu, {0xF7});
    return pcu;
}

TEST(PcuBlocks, RefusedTwiceThenAccepted_AttemptsKeepPositionAndFlashHoldsAcceptedOnly) {
    PcuConfig config = WithBlockSize(4);
    config.refusals = {{1, 2}};
    Pcu pcu(config);
    Connected(pcu);
    const Bytes block0{0x10, 0x11, 0x12, 0x13};
    const Bytes block1{0x20, 0x21, 0x22, 0x23};
    const Bytes block2{0x30, 0x31, 0x32, 0x33};

    EXPECT_EQ(WriteBlock(pcu, block0), Bytes{0xF1});
    EXPECT_EQ(WriteBlock(pcu, block1), Bytes{0xFA});
    EXPECT_EQ(WriteBlock(pcu, block1), Bytes{0xFA});
    EXPECT_EQ(WriteBlock(pcu, block1), Bytes{0xF1});
    EXPECT_EQ(WriteBlock(pcu, block2), Bytes{0xF1});

    const std::vector<BlockAttempt> expected{
        {0, block0, true}, {1, block1, false}, {1, block1, false}, {1, block1, true}, {2, block2, true}};
    EXPECT_EQ(pcu.Attempts(), expected);
    EXPECT_EQ(pcu.AcceptedBlocks(), (std::vector<Bytes>{block0, block1, block2}));
    Bytes flash = block0;
    flash.insert(flash.end(), block1.begin(), block1.end());
    flash.insert(flash.end(), block2.begin(), block2.end());
    EXPECT_EQ(pcu.Flash(), flash);
}

TEST(PcuBlocks, RefusalOfLaterBlock_EarlierBlocksAccepted) {
    PcuConfig config = WithBlockSize(3);
    config.refusals = {{2, 1}, {0, 1}};
    Pcu pcu(config);
    Connected(pcu);
    EXPECT_EQ(WriteBlock(pcu, {1, 2, 3}), Bytes{0xFA});
    EXPECT_EQ(WriteBlock(pcu, {1, 2, 3}), Bytes{0xF1});
    EXPECT_EQ(WriteBlock(pcu, {4, 5, 6}), Bytes{0xF1});
    EXPECT_EQ(WriteBlock(pcu, {7, 8, 9}), Bytes{0xFA});
    EXPECT_EQ(WriteBlock(pcu, {7, 8, 9}), Bytes{0xF1});
    EXPECT_EQ(pcu.Flash(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(PcuBlocks, AbortAfterRefusal_CountedAndNextBlockKeepsNumber) {
    PcuConfig config = WithBlockSize(3);
    config.refusals = {{0, 1}};
    Pcu pcu(config);
    Connected(pcu);
    EXPECT_EQ(WriteBlock(pcu, {1, 2, 3}), Bytes{0xFA});
    EXPECT_EQ(Send(pcu, {0x7C}), Bytes{});
    EXPECT_EQ(pcu.AbortsReceived(), 1U);
    EXPECT_EQ(WriteBlock(pcu, {4, 5, 6}), Bytes{0xF1});
    ASSERT_EQ(pcu.Attempts().size(), 2U);
    EXPECT_EQ(pcu.Attempts()[1].block, 0U);
    EXPECT_EQ(pcu.Flash(), (Bytes{4, 5, 6}));
}

TEST(PcuPower, Off_IgnoresEverythingAndSendsNothing) {
    Pcu pcu;
    EXPECT_EQ(Send(pcu, {0x13, 0xF7, 0x27}), Bytes{});
    EXPECT_FALSE(pcu.Powered());
    EXPECT_TRUE(pcu.ReceivedFromPc().empty());
    EXPECT_EQ(pcu.PowerOnCount(), 0U);
}

TEST(PcuPower, PowerOnAgain_FreshConversationKeepsFlash) {
    Pcu pcu(WithBlockSize(3));
    Connected(pcu);
    EXPECT_EQ(WriteBlock(pcu, {1, 2, 3}), Bytes{0xF1});
    Send(pcu, {0x62});  // a write left half-way

    pcu.PowerOff();
    const std::size_t receivedBeforeOff = pcu.ReceivedFromPc().size();
    EXPECT_EQ(Send(pcu, {0x81}), Bytes{});
    EXPECT_EQ(pcu.ReceivedFromPc().size(), receivedBeforeOff);  // it never reached the device
    pcu.PowerOn(kStart + 10);
    EXPECT_EQ(Drain(pcu, kStart + 10), Bytes{0x13});
    EXPECT_EQ(Send(pcu, {0x27}, kStart + 10), Bytes{});  // not connected yet
    EXPECT_EQ(Send(pcu, {0xF7}, kStart + 10), Bytes{0xFA});
    EXPECT_EQ(WriteBlock(pcu, {4, 5, 6}), Bytes{0xF1});

    EXPECT_EQ(pcu.Flash(), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(pcu.PowerOnCount(), 2U);
    EXPECT_EQ(pcu.HandshakesCompleted(), 2U);
}

TEST(PcuPower, CutAfterByte_SilentThenGreetsAgainAfterDelay) {
    PcuConfig config = WithBlockSize(4);
    // Byte 1 is the handshake answer, 2-5 open the block and its header, 6 the first body byte.
    config.powerCut = PowerCut{6, 50};
    Pcu pcu(config);
    Connected(pcu);
    EXPECT_EQ(Send(pcu, {0x62, 0x81, 0xAA, 0xBB}), (Bytes{0xF7, 0xF7, 0xF7, 0xF7}));

    EXPECT_EQ(Send(pcu, {0x01, 0x02}), Bytes{});
    EXPECT_FALSE(pcu.Powered());
    EXPECT_EQ(Send(pcu, {0x62}, kStart + 20), Bytes{});
    EXPECT_EQ(pcu.AvailableToPc(kStart + 49), 0U);
    EXPECT_EQ(pcu.NextEventTick(), std::optional<platform::Tick>(kStart + 50));

    EXPECT_EQ(Drain(pcu, kStart + 50), Bytes{0x13});
    EXPECT_TRUE(pcu.Powered());
    EXPECT_EQ(Send(pcu, {0xF7}, kStart + 50), Bytes{0xFA});
    EXPECT_EQ(pcu.ReceivedFromPc(), (Bytes{0xF7, 0x62, 0x81, 0xAA, 0xBB, 0x01, 0xF7}));
    EXPECT_TRUE(pcu.Attempts().empty());
    const std::vector<PcuEvent> expected{{PcuEventKind::PowerOn, 0}, {PcuEventKind::Connected, 0},
                                         {PcuEventKind::PowerOff, 0}, {PcuEventKind::PowerOn, 0},
                                         {PcuEventKind::Connected, 0}};
    EXPECT_EQ(pcu.Events(), expected);
}

TEST(PcuPower, CutWithoutRestartDelay_StaysOffUntilPowerOn) {
    PcuConfig config;
    config.powerCut = PowerCut{1, std::nullopt};
    Pcu pcu(config);
    pcu.PowerOn(kStart);
    Drain(pcu, kStart);
    EXPECT_EQ(Send(pcu, {0xF7}), Bytes{});
    EXPECT_EQ(pcu.AvailableToPc(kStart + 100000), 0U);
    EXPECT_FALSE(pcu.NextEventTick().has_value());
    pcu.PowerOn(kStart + 100000);
    // The cut happens once: the same byte now connects.
    EXPECT_EQ(Drain(pcu, kStart + 100000), Bytes{0x13});
    EXPECT_EQ(Send(pcu, {0xF7}, kStart + 100000), Bytes{0xFA});
}

TEST(PcuEvents, Conversation_JournalInOrder) {
    PcuConfig config = WithBlockSize(3);
    config.refusals = {{0, 1}};
    Pcu pcu(config);
    Connected(pcu);
    Send(pcu, {0x27, 0xF7});
    WriteBlock(pcu, {1, 2, 3});
    WriteBlock(pcu, {1, 2, 3});
    Send(pcu, {0x86, 0x82});
    pcu.PowerOff();
    const std::vector<PcuEvent> expected{{PcuEventKind::PowerOn, 0},       {PcuEventKind::Connected, 0},
                                         {PcuEventKind::Query, 0},         {PcuEventKind::BlockRefused, 0},
                                         {PcuEventKind::BlockAccepted, 0}, {PcuEventKind::Read, 0},
                                         {PcuEventKind::PowerOff, 0}};
    EXPECT_EQ(pcu.Events(), expected);
    EXPECT_EQ(pcu.EventsSince(5), (std::vector<PcuEvent>(expected.begin() + 5, expected.end())));
    EXPECT_TRUE(pcu.EventsSince(7).empty());
    EXPECT_EQ(pcu.QueriesAnswered(), 1U);
    EXPECT_EQ(pcu.ReadsAnswered(), 1U);
}

TEST(PcuTransmit, PartialTakes_BytesComeInOrderOnce) {
    Pcu pcu(WithReadMemory({7, 8, 9}, {1, 2, 3, 4}));
    Connected(pcu);
    Send(pcu, {0x86});
    pcu.ReceiveFromPc(Bytes{0x82}.data(), 1, kStart);
    EXPECT_EQ(pcu.AvailableToPc(kStart), 11U);
    Bytes first(4);
    EXPECT_EQ(pcu.TransmitToPc(first.data(), first.size(), kStart), 4U);
    EXPECT_EQ(first, (Bytes{0x65, 7, 8, 9}));
    EXPECT_EQ(pcu.AvailableToPc(kStart), 7U);
    EXPECT_EQ(Drain(pcu, kStart), (Bytes{0x00, 0x04, 1, 2, 3, 4, 0xF1}));
}

TEST(SerialLineEcho, EchoOn_PcBytesComeBackBeforeTheAnswer) {
    Pcu pcu;
    SerialLine line(pcu, SerialLineConfig{true});
    pcu.PowerOn(kStart);
    const auto exchange = [&](Bytes pc) {
        line.ReceiveFromPc(pc.data(), pc.size(), kStart);
        Bytes out(line.AvailableToPc(kStart));
        out.resize(line.TransmitToPc(out.data(), out.size(), kStart));
        return out;
    };
    EXPECT_EQ(exchange({}), Bytes{0x13});
    EXPECT_EQ(exchange({0xF7}), (Bytes{0xF7, 0xFA}));
    EXPECT_EQ(exchange({0x27}), (Bytes{0x27, 0x02, 0x11, 0x10, 0x34}));
    EXPECT_EQ(exchange({0xF7}), (Bytes{0xF7, 0x41, 0x41, 0x10, 0xF1}));
    pcu.PowerOff();
    EXPECT_EQ(exchange({0x27, 0x62}), (Bytes{0x27, 0x62}));
}

TEST(SerialLineEcho, EchoOff_OnlyTheDeviceSpeaks) {
    Pcu pcu;
    SerialLine line(pcu);
    pcu.PowerOn(kStart);
    const Bytes answer{0xF7};
    line.ReceiveFromPc(answer.data(), answer.size(), kStart);
    Bytes out(8);
    out.resize(line.TransmitToPc(out.data(), out.size(), kStart));
    EXPECT_EQ(out, (Bytes{0x13, 0xFA}));
}

}  // namespace
}  // namespace emulator
