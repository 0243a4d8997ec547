// Lines from an input stream, read on a thread of their own so the device loop never waits
// for them. Reading stops at the end of the stream or after the line "quit".
#pragma once

#include <deque>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace emulator {

class CommandReader {
public:
    // The stream must outlive the reader's thread (std::cin does).
    explicit CommandReader(std::istream& input);
    ~CommandReader();
    CommandReader(const CommandReader&) = delete;
    CommandReader& operator=(const CommandReader&) = delete;

    // The next line read, without surrounding white space; nothing when none is waiting.
    std::optional<std::string> Next();
    // The stream has ended (or "quit" was read) and every line was taken.
    bool Finished();

private:
    // Shared with the reading thread, which may outlive the reader when it is still blocked.
    struct Lines {
        std::mutex lock;
        std::deque<std::string> waiting;
        bool ended = false;
    };

    std::shared_ptr<Lines> m_lines;
    std::thread m_thread;
};

}  // namespace emulator
