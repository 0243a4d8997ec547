// qlflash's command line: what each argument list parses to, and the usage errors.
#include "tools/qlflash/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace qlflash {
namespace {

using Args = std::vector<std::string_view>;

ParsedOptions Parse(const Args& args) { return ParseOptions(args); }

TEST(QlflashOptionsTest, NoArguments_HidLinkBuiltInImageThirtySeconds) {
    const auto parsed = Parse({});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_FALSE(parsed.options.port.has_value());
    EXPECT_FALSE(parsed.options.file.has_value());
    EXPECT_FALSE(parsed.options.simulate);
    EXPECT_FALSE(parsed.options.list);
    EXPECT_FALSE(parsed.options.help);
    EXPECT_EQ(parsed.options.waitSeconds, 30u);
}

TEST(QlflashOptionsTest, ValidArgumentLists_LandInTheirFields) {
    struct Case {
        Args args;
        std::optional<std::string> port;
        std::optional<std::string> file;
        bool simulate;
        bool list;
        bool help;
        std::uint32_t waitSeconds;
    };
    const std::vector<Case> cases{
        {{"--port", "ttyUSB0"}, "ttyUSB0", {}, false, false, false, 30},
        {{"--port", "pts/3", "--wait", "20"}, "pts/3", {}, false, false, false, 20},
        {{"--file", "fw.qfu", "--simulate"}, {}, "fw.qfu", true, false, false, 30},
        {{"--simulate", "--port", "USB0", "--wait", "1"}, "USB0", {}, true, false, false, 1},
        {{"--list"}, {}, {}, false, true, false, 30},
        {{"--simulate", "--list"}, {}, {}, true, true, false, 30},
        {{"--help"}, {}, {}, false, false, true, 30},
        {{"--wait", "86400", "--port", "COM3"}, "COM3", {}, false, false, false, 86400},
        {{"--file", "--port"}, {}, "--port", false, false, false, 30},  // a value may look like an option
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(c.args.begin(), c.args.end())));
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(parsed.options.port, c.port);
        EXPECT_EQ(parsed.options.file, c.file);
        EXPECT_EQ(parsed.options.simulate, c.simulate);
        EXPECT_EQ(parsed.options.list, c.list);
        EXPECT_EQ(parsed.options.help, c.help);
        EXPECT_EQ(parsed.options.waitSeconds, c.waitSeconds);
    }
}

TEST(QlflashOptionsTest, UsageErrors_SayWhatIsWrong) {
    struct Case {
        Args args;
        std::string errorPart;
    };
    const std::vector<Case> cases{
        {{"--bogus"}, "unknown option --bogus"},
        {{"-p", "USB0"}, "unknown option -p"},
        {{"--port=USB0"}, "unknown option --port=USB0"},
        {{"firmware.qfu"}, "unexpected argument firmware.qfu"},
        {{"--port"}, "--port needs a value"},
        {{"--simulate", "--file"}, "--file needs a value"},
        {{"--wait"}, "--wait needs a value"},
        {{"--port", ""}, "--port needs a port name"},
        {{"--port", "ttyACM12"}, "longer than 7 characters"},
        {{"--port", "USB0", "--port", "USB0"}, "--port is given more than once"},
        {{"--file", "a", "--file", "b"}, "--file is given more than once"},
        {{"--file", ""}, "--file needs a file name"},
        {{"--simulate", "--simulate"}, "--simulate is given more than once"},
        {{"--list", "--list"}, "--list is given more than once"},
        {{"--help", "--help"}, "--help is given more than once"},
        {{"--wait", "5", "--wait", "5"}, "--wait is given more than once"},
        {{"--wait", "0"}, "--wait takes a whole number of seconds"},
        {{"--wait", "-3"}, "--wait takes a whole number of seconds"},
        {{"--wait", "+3"}, "--wait takes a whole number of seconds"},
        {{"--wait", "2.5"}, "--wait takes a whole number of seconds"},
        {{"--wait", "ten"}, "--wait takes a whole number of seconds"},
        {{"--wait", ""}, "--wait takes a whole number of seconds"},
        {{"--wait", "86401"}, "--wait takes a whole number of seconds"},
        {{"--wait", "99999999999999999999"}, "--wait takes a whole number of seconds"},
        {{"--simulate", "--port", "ttyUSB0"}, "--simulate has the one port USB0"},
        {{"--simulate", "--port", "usb0"}, "--simulate has the one port USB0"},
        {{"--list", "--port", "USB0"}, "--list takes no other option"},
        {{"--list", "--wait", "3"}, "--list takes no other option"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(c.args.begin(), c.args.end())));
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(parsed.error.find(c.errorPart), std::string::npos) << parsed.error;
    }
}

TEST(QlflashOptionsTest, PortNameLength_CountedInCharactersNotBytes) {
    // Seven characters of two UTF-8 bytes each still fit the link's port name.
    EXPECT_TRUE(Parse({"--port", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}).ok);
    EXPECT_FALSE(Parse({"--port", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}).ok);
}

TEST(QlflashOptionsTest, UsageText_ShowsTheSynopsisAndEveryOption) {
    const std::string usage = UsageText();
    EXPECT_EQ(usage.rfind("Usage: qlflash [--port NAME] [--file FILE] [--simulate] [--list] [--wait SECONDS] [--help]\n", 0),
              0u);
    for (const char* option : {"--port NAME", "--file FILE", "--simulate", "--list", "--wait SECONDS", "--help"}) {
        EXPECT_NE(usage.find(std::string("  ") + option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace qlflash
