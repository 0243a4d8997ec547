#include "tools/qlflash/console.h"

#include <algorithm>

namespace qlflash {

std::string ProgressBarText(int written, int blocks, int width) {
    const int total = std::max(blocks, 0);
    const int done = std::clamp(written, 0, total);
    const int filled = total == 0 ? 0 : static_cast<int>(static_cast<long long>(done) * width / total);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '.') + "] " + std::to_string(done) + "/" +
           std::to_string(total) + " blocks";
}

Console::Console(std::FILE* output, std::FILE* errors, bool showProgress)
    : m_output(output), m_errors(errors), m_showProgress(showProgress) {}

void Console::Line(std::string_view text) {
    EraseBar();
    std::fwrite(text.data(), 1, text.size(), m_output);
    std::fputc('\n', m_output);
    std::fflush(m_output);
    DrawBar();
}

void Console::Error(std::string_view text) {
    EndProgress();
    std::fprintf(m_errors, "qlflash: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(m_errors);
}

void Console::Progress(int written, int blocks) {
    if (!m_showProgress || (written == m_written && blocks == m_blocks)) return;
    m_written = written;
    m_blocks = blocks;
    DrawBar();
}

void Console::EndProgress() {
    if (!m_barShown) return;
    std::fputc('\n', m_errors);
    std::fflush(m_errors);
    m_barShown = false;
    m_blocks = -1;  // a later Progress starts a new bar
    m_written = -1;
}

void Console::EraseBar() {
    if (!m_barShown) return;
    // Back to the start of the line and clear it, so the output line takes its place.
    std::fputs("\r\033[K", m_errors);
    std::fflush(m_errors);
    m_barShown = false;
}

void Console::DrawBar() {
    if (!m_showProgress || m_blocks < 0) return;
    std::fputs(("\r" + ProgressBarText(m_written, m_blocks)).c_str(), m_errors);
    std::fflush(m_errors);
    m_barShown = true;
}

}  // namespace qlflash
