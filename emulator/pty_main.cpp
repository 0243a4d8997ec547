// ql-pcu-emulator: the emulated PCU on a pseudo-terminal, for testing the real serial code.
#include "emulator/command_reader.h"
#include "emulator/pcu.h"
#include "emulator/program_options.h"
#include "emulator/pty_runner.h"
#include "emulator/serial_line.h"
#include "platform/clock.h"
#include "platform/posix/pseudo_terminal.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    emulator::ProgramOptions options;
    std::string error;
    if (!emulator::ParseProgramOptions(arguments, options, error)) {
        std::cerr << "ql-pcu-emulator: " << error << "\n" << emulator::ProgramUsage();
        return kExitUsage;
    }
    if (options.help) {
        std::cout << emulator::ProgramUsage();
        return kExitOk;
    }

    const auto terminal = platform::posix::PseudoTerminal::Open();
    if (!terminal) {
        std::cerr << "ql-pcu-emulator: cannot open a pseudo-terminal\n";
        return kExitFailure;
    }
    std::cout << "PTY " << terminal->SlaveName() << std::endl;

    emulator::Pcu device(options.device);
    emulator::SerialLine line(device, emulator::SerialLineConfig{options.echo});
    emulator::CommandReader commands(std::cin);
    emulator::PtyRunner runner(*terminal, device, line, platform::SystemClock(), std::cout);
    runner.Run(commands, options.powerOnAfterMs);

    if (options.flashOut && !WriteFile(*options.flashOut, device.Flash())) {
        std::cerr << "ql-pcu-emulator: cannot write " << *options.flashOut << "\n";
        return kExitFailure;
    }
    return kExitOk;
}
