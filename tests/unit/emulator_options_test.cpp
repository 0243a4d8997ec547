// The pseudo-terminal emulator program's command line.
#include "emulator/program_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace emulator {
namespace {

using Args = std::vector<std::string>;

ProgramOptions Parsed(const Args& args) {
    ProgramOptions options;
    std::string error;
    EXPECT_TRUE(ParseProgramOptions(args, options, error)) << error;
    return options;
}

TEST(ProgramOptionsParse, NoArguments_DefaultDeviceWaitingForOn) {
    const ProgramOptions options = Parsed({});
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.echo);
    EXPECT_FALSE(options.powerOnAfterMs.has_value());
    EXPECT_FALSE(options.flashOut.has_value());
    EXPECT_FALSE(options.device.lineTiming);
    EXPECT_EQ(options.device.blockSize, 516);
    EXPECT_EQ(options.device.records, (std::vector<IdentityRecord>{{0x11, 0x10, 0x34}, {0x41, 0x41, 0x10}}));
    EXPECT_FALSE(options.device.powerCut.has_value());
}

TEST(ProgramOptionsParse, EveryOption_LandsInTheDeviceConfig) {
    const ProgramOptions options =
        Parsed({"--power-on-after", "250", "--echo", "--line-timing", "--flash-ms", "40", "--block-size", "64",
                "--refuse", "2:3", "--refuse", "0:1", "--version", "B7", "--signature", "0x20:35", "--flash-out",
                "/tmp/flash.bin", "--cut-after", "9", "--restart-ms", "300"});
    EXPECT_EQ(options.powerOnAfterMs, std::optional<std::uint32_t>(250));
    EXPECT_TRUE(options.echo);
    EXPECT_TRUE(options.device.lineTiming);
    EXPECT_EQ(options.device.flashMsPerBlock, 40U);
    EXPECT_EQ(options.device.blockSize, 64);
    ASSERT_EQ(options.device.refusals.size(), 2U);
    EXPECT_EQ(options.device.refusals[0].block, 2U);
    EXPECT_EQ(options.device.refusals[0].times, 3U);
    EXPECT_EQ(options.device.refusals[1].block, 0U);
    EXPECT_EQ(options.device.records, (std::vector<IdentityRecord>{{0x11, 0x20, 0x35}, {0x41, 'B', 7}}));
    EXPECT_EQ(options.flashOut, std::optional<std::string>("/tmp/flash.bin"));
    ASSERT_TRUE(options.device.powerCut.has_value());
    EXPECT_EQ(options.device.powerCut->afterByte, 9U);
    EXPECT_EQ(options.device.powerCut->restartDelayMs, std::optional<std::uint32_t>(300));
}

TEST(ProgramOptionsParse, Versions_RecordPerForm) {
    struct Case {
        std::string text;
        IdentityRecord record;
    };
    for (const Case& c : {Case{"A16", {0x41, 0x41, 16}}, Case{"A14i", {0x13, 0x13, 14}}, Case{"C255", {0x41, 'C', 255}},
                          Case{"z0", {0x41, 'z', 0}}}) {
        EXPECT_EQ(Parsed({"--version", c.text}).device.records.at(1), c.record) << c.text;
    }
}

TEST(ProgramOptionsParse, CutWithoutRestart_StaysOffUntilOn) {
    const ProgramOptions options = Parsed({"--cut-after", "3"});
    ASSERT_TRUE(options.device.powerCut.has_value());
    EXPECT_FALSE(options.device.powerCut->restartDelayMs.has_value());
}

TEST(ProgramOptionsParse, UsageErrors_RefusedWithAMessage) {
    const std::vector<Args> bad{
        {"--bogus"},
        {"--flash-ms"},
        {"--flash-ms", "ten"},
        {"--flash-ms", "-1"},
        {"--block-size", "1"},
        {"--block-size", "65536"},
        {"--refuse", "3"},
        {"--refuse", "3:"},
        {"--refuse", "a:1"},
        {"--refuse", "1:2:3"},
        {"--version", "16"},
        {"--version", "A256"},
        {"--version", "A"},
        {"--version", "A1x"},
        {"--signature", "10"},
        {"--signature", "100:34"},
        {"--signature", "1g:34"},
        {"--cut-after", "0"},
        {"--restart-ms", "100"},
        {"--power-on-after", "4294967296"},
        {"--flash-out"},
    };
    for (const Args& args : bad) {
        ProgramOptions options;
        std::string error;
        EXPECT_FALSE(ParseProgramOptions(args, options, error)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

}  // namespace
}  // namespace emulator
