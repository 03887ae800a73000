#pragma once
#include <chrono>
#include <cstdint>

// "frame 12/240, 23.5 fps, 8 s left" on the user's terminal, over itself;
// nothing when the error stream is no terminal.
class TProgressLine {
public:
    TProgressLine();
    ~TProgressLine();
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;
    void operator()(std::int64_t done, std::int64_t total);

private:
    bool shown_;
    bool written_ = false;
    std::chrono::steady_clock::time_point start_;
};
