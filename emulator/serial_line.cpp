#include "emulator/serial_line.h"

namespace emulator {

SerialLine::SerialLine(Pcu& device, SerialLineConfig config) : m_device(device) {
    m_device.SetLineEcho(config.echo);
}

void SerialLine::ReceiveFromPc(const std::uint8_t* data, std::size_t size, platform::Tick now) {
    m_device.ReceiveFromPc(data, size, now);
}

std::size_t SerialLine::AvailableToPc(platform::Tick now) {
    return m_device.AvailableToPc(now);
}

std::size_t SerialLine::TransmitToPc(std::uint8_t* out, std::size_t max, platform::Tick now) {
    return m_device.TransmitToPc(out, max, now);
}

}  // namespace emulator
