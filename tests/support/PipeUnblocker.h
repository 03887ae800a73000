#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

// Opens the writing end of a named pipe whenever a reader waits on it and
// closes it at once: a reader that blocked in its open then sees an empty
// stream, so a test of code that would hang fails instead.
class TPipeUnblocker {
public:
    explicit TPipeUnblocker(std::string pipe) : pipe_(std::move(pipe)), thread_([this] { Run(); }) {}
    ~TPipeUnblocker() {
        stop_ = true;
        thread_.join();
    }
    TPipeUnblocker(const TPipeUnblocker&) = delete;
    TPipeUnblocker& operator=(const TPipeUnblocker&) = delete;

    // How many times a reader was found waiting.
    int Unblocked() const { return unblocked_; }

private:
    void Run() {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int fd = open(pipe_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ++unblocked_;
                close(fd);
            }
        }
    }
    std::string pipe_;
    std::atomic<bool> stop_{false};
    std::atomic<int> unblocked_{0};
    std::thread thread_;
};
