// qlflash's output: lines on the output stream, the progress bar on the error stream.
#include "tools/qlflash/console.h"

#include "support/captured_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace qlflash {
namespace {

using testing_support::Contents;

class QlflashConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(output, nullptr);
        ASSERT_NE(errors, nullptr);
    }
    testing_support::CapturedStreams streams;
    std::FILE* output = streams.output;
    std::FILE* errors = streams.errors;
};

TEST(QlflashProgressBarTest, Text_FillsInProportionAndClampsOutOfRangePositions) {
    struct Case {
        int written;
        int blocks;
        int width;
        std::string expected;
    };
    const std::vector<Case> cases{
        {0, 5, 10, "[..........] 0/5 blocks"},
        {3, 5, 10, "[######....] 3/5 blocks"},
        {5, 5, 10, "[##########] 5/5 blocks"},
        {1, 3, 10, "[###.......] 1/3 blocks"},
        {7, 5, 10, "[##########] 5/5 blocks"},
        {-1, 5, 10, "[..........] 0/5 blocks"},
        {0, 0, 4, "[....] 0/0 blocks"},
        {64, 127, 30, "[###############...............] 64/127 blocks"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressBarText(c.written, c.blocks, c.width), c.expected);
}

TEST_F(QlflashConsoleTest, LinesAndErrors_GoToTheirStreams) {
    Console console(output, errors, false);
    console.Line("USB0 standby ready.");
    console.Line("ESC connected.");
    console.Error("timed out");
    EXPECT_EQ(Contents(output), "USB0 standby ready.\nESC connected.\n");
    EXPECT_EQ(Contents(errors), "qlflash: timed out\n");
}

TEST_F(QlflashConsoleTest, WithoutATerminal_NoBarIsDrawn) {
    Console console(output, errors, false);
    console.Progress(1, 3);
    console.Line("Completed.");
    console.EndProgress();
    EXPECT_EQ(Contents(output), "Completed.\n");
    EXPECT_EQ(Contents(errors), "");
}

TEST_F(QlflashConsoleTest, Bar_RedrawnOnChangeTakenDownForLinesAndEndedWithANewline) {
    Console console(output, errors, true);
    console.Progress(0, 3);
    console.Progress(0, 3);  // unchanged: not drawn again
    console.Progress(1, 3);
    console.Line("Completed.");
    console.EndProgress();
    console.EndProgress();  // nothing left to end
    const std::string bar0 = "\r" + ProgressBarText(0, 3);
    const std::string bar1 = "\r" + ProgressBarText(1, 3);
    EXPECT_EQ(Contents(errors), bar0 + bar1 + "\r\033[K" + bar1 + "\n");
    EXPECT_EQ(Contents(output), "Completed.\n");
}

TEST_F(QlflashConsoleTest, ErrorAfterABar_StartsOnALineOfItsOwn) {
    Console console(output, errors, true);
    console.Progress(2, 3);
    console.Error("the update failed");
    EXPECT_EQ(Contents(errors), "\r" + ProgressBarText(2, 3) + "\nqlflash: the update failed\n");
}

}  // namespace
}  // namespace qlflash
