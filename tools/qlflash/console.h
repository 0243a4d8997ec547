// What qlflash shows: the link's lines on standard output, messages on standard error, and a
// progress bar on standard error that is drawn only when it goes to a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qlflash {

inline constexpr int kProgressBarWidth = 30;

// "[#####.....] 3/5 blocks": `written` of `blocks` as a bar of `width` cells.
std::string ProgressBarText(int written, int blocks, int width = kProgressBarWidth);

class Console {
public:
    // `showProgress`: draw the bar on `errors` (it should be a terminal).
    Console(std::FILE* output, std::FILE* errors, bool showProgress);

    // One line on the output, at once; a bar on the screen is taken down and drawn again below it.
    void Line(std::string_view text);
    // "qlflash: <text>" on the error stream.
    void Error(std::string_view text);
    // Draws the bar again when the numbers changed.
    void Progress(int written, int blocks);
    // Ends a bar on the screen with a newline, so what follows starts on a line of its own.
    void EndProgress();

private:
    void EraseBar();
    void DrawBar();

    std::FILE* m_output;
    std::FILE* m_errors;
    bool m_showProgress;
    bool m_barShown = false;
    int m_written = -1;
    int m_blocks = -1;
};

}  // namespace qlflash
