// quelolink-demo: the same window on the simulated platform: one virtual HID link adapter with an
// emulated PCU behind it (19200 baud line timing), which powers on about a second after start.
#include "link/esc_link.h"
#include "platform/clock.h"
#include "tools/qlflash/simulation.h"
#include "tools/quelolink/window_program.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// From the start of the program to the device's power-on, as a person would take.
constexpr std::chrono::milliseconds kPowerOnAfter{1000};

// The block size of the image the window will load, so the emulated device takes such blocks.
std::uint16_t BuiltInBlockSize(qlflash::Simulation& simulation) {
    ESCLink probe(simulation.Services());
    probe.LoadBuiltInImage();
    return probe.m_blockSize;
}

}  // namespace

int main() {
    qlflash::Simulation simulation;
    platform::Clock& clock = *simulation.Services().clock;
    const auto started = std::chrono::steady_clock::now();
    simulation.PlugInDevice(BuiltInBlockSize(simulation), clock.TickCount());

    // Powers the device on when its time has come, unless the window closed first.
    std::mutex lock;
    std::condition_variable stopped;
    bool stop = false;
    std::thread powerOn([&] {
        std::unique_lock<std::mutex> hold(lock);
        if (stopped.wait_until(hold, started + kPowerOnAfter, [&] { return stop; })) return;
        simulation.Tick(clock.TickCount());
    });

    const int exitCode = RunWindowProgram([&simulation] { return std::make_unique<ESCLink>(simulation.Services()); });
    {
        std::lock_guard<std::mutex> hold(lock);
        stop = true;
    }
    stopped.notify_all();
    powerOn.join();
    return exitCode;
}
