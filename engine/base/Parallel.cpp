#include "engine/base/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace {
constexpr int kMaxWorkers = 8;

std::atomic<int> workerCap{0};

// Asked once: the system answers by reading a file each time.
int WorkerCount() {
    static const int count = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxWorkers);
    const int cap = workerCap.load();
    return cap > 0 ? std::min(count, cap) : count;
}
}  // namespace

int LimitWorkers(int count) { return workerCap.exchange(std::max(0, count)); }

void ParallelFor(int count, int minPerSlice, const std::function<void(int, int)>& body) {
    if (count <= 0) return;
    const int slices = std::clamp(count / std::max(1, minPerSlice), 1, WorkerCount());
    if (slices == 1) {
        body(0, count);
        return;
    }
    std::vector<std::exception_ptr> errors(slices);
    auto run = [&](int s) {
        const int begin = static_cast<int>(static_cast<long long>(count) * s / slices);
        const int end = static_cast<int>(static_cast<long long>(count) * (s + 1) / slices);
        try {
            body(begin, end);
        } catch (...) {
            errors[s] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(slices - 1);
    try {
        for (int s = 1; s < slices; ++s) workers.emplace_back(run, s);
    } catch (...) {
        // No thread could be started: do the remaining slices here.
        for (int s = static_cast<int>(workers.size()) + 1; s < slices; ++s) run(s);
    }
    run(0);
    for (auto& w : workers) w.join();
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
}
