#include "emulator/command_reader.h"

#include <utility>

namespace emulator {
namespace {

std::string Trimmed(const std::string& line) {
    const char* const space = " \t\r\n";
    const std::size_t first = line.find_first_not_of(space);
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(space) - first + 1);
}

}  // namespace

CommandReader::CommandReader(std::istream& input) : m_lines(std::make_shared<Lines>()) {
    m_thread = std::thread([lines = m_lines, &input] {
        std::string line;
        while (std::getline(input, line)) {
            std::string command = Trimmed(line);
            std::lock_guard lock(lines->lock);
            const bool quit = command == "quit";
            lines->waiting.push_back(std::move(command));
            if (quit) {
                lines->ended = true;
                return;
            }
        }
        std::lock_guard lock(lines->lock);
        lines->ended = true;
    });
}

CommandReader::~CommandReader() {
    bool ended = false;
    {
        std::lock_guard lock(m_lines->lock);
        ended = m_lines->ended;
    }
    // A thread still blocked on its stream is left to the end of the process.
    if (ended) {
        m_thread.join();
    } else {
        m_thread.detach();
    }
}

std::optional<std::string> CommandReader::Next() {
    std::lock_guard lock(m_lines->lock);
    if (m_lines->waiting.empty()) {
        return std::nullopt;
    }
    std::string line = std::move(m_lines->waiting.front());
    m_lines->waiting.pop_front();
    return line;
}

bool CommandReader::Finished() {
    std::lock_guard lock(m_lines->lock);
    return m_lines->ended && m_lines->waiting.empty();
}

}  // namespace emulator
