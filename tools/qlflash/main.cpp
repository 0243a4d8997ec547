// qlflash: writes the built-in image or an upgrade file into the PCU on the same engine as the
// window, and ends with an exit status that tells how the update went.
#include "link/esc_link.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "tools/qlflash/console.h"
#include "tools/qlflash/file_check.h"
#include "tools/qlflash/link_controls.h"
#include "tools/qlflash/options.h"
#include "tools/qlflash/port_choice.h"
#include "tools/qlflash/session.h"
#include "tools/qlflash/simulation.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using namespace qlflash;

// Gives the link its image: the upgrade file named, else the built-in one. The exit status when
// there is none.
std::optional<int> LoadImage(ESCLink& link, const Options& options, Console& console) {
    if (options.file) {
        auto file = platform::SystemFiles().OpenForReading(platform::FromUtf8(*options.file));
        if (!link.ReadUpgradeFile(file.get())) {
            console.Error("cannot read " + *options.file);
            return kExitUsage;
        }
    } else {
        link.LoadBuiltInImage();
    }
    if (!link.m_pImage) {
        console.Error("there is no firmware image to write");
        return ExitStatus(Verdict::Failed);
    }
    return std::nullopt;
}

int Flash(const Options& options, Console& console) {
    // A bad file is refused before any port is looked at.
    if (options.file) {
        if (const auto problem = ProblemWithUpgradeFile(platform::SystemFiles(), *options.file)) {
            console.Error(*problem);
            return kExitUsage;
        }
    }

    std::unique_ptr<Simulation> simulation;
    if (options.simulate) simulation = std::make_unique<Simulation>();
    const platform::Services services = simulation ? simulation->Services() : platform::DefaultServices();

    ESCLink link(services);
    LinkControls controls;
    controls.AttachTo(link);

    // Counting the adapters opens none for good; listing the ports would select the adapter.
    const auto serialPortNames = services.serialPorts->ListPortNames();
    const int hidLinks = link.CountHidLinks();
    if (options.list) {
        for (const auto& name : PortList(serialPortNames, hidLinks)) console.Line(platform::ToUtf8(name));
        return 0;
    }
    const auto choice = ChoosePort(options.port, serialPortNames, hidLinks);
    if (!choice.ok) {
        console.Error(choice.error);
        return kExitUsage;
    }

    Session session(link, controls, console, *services.clock);
    if (const auto status = LoadImage(link, options, console)) return *status;
    // The emulated device takes blocks of the size the image has.
    if (simulation) simulation->PlugInDevice(link.m_blockSize, services.clock->TickCount());

    link.SelectPort(choice.port);
    const auto result = session.Run(options.waitSeconds, [&](platform::Tick now) {
        if (simulation) simulation->Tick(now);
    });
    link.SetWorkerRunning(false);
    if (!result.message.empty()) console.Error(result.message);
    return ExitStatus(result.verdict);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = ParseOptions(arguments);
    Console console(stdout, stderr, platform::IsTerminal(platform::StandardStream::Error));
    if (!parsed.ok) {
        console.Error(parsed.error);
        std::fputs("Try 'qlflash --help' for more information.\n", stderr);
        return kExitUsage;
    }
    if (parsed.options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    return Flash(parsed.options, console);
}
