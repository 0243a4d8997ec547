// Output captured in temporary files, and text cut into lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

// Everything written to `file` so far.
inline std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    return text;
}

// The complete lines of `text`, without their line ends.
inline std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// An output and an error stream that a test reads back.
struct CapturedStreams {
    CapturedStreams() : output(std::tmpfile()), errors(std::tmpfile()) {}
    ~CapturedStreams() {
        if (output != nullptr) std::fclose(output);
        if (errors != nullptr) std::fclose(errors);
    }
    CapturedStreams(const CapturedStreams&) = delete;
    CapturedStreams& operator=(const CapturedStreams&) = delete;

    std::FILE* output;
    std::FILE* errors;
};

}  // namespace testing_support
