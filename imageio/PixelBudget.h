#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// Memory for decoded pixels, shared by the pictures loaded at once. A loader
// reserves what a picture will take once its header has been read and
// before it decodes; a reservation that does not fit waits until others are
// given back. One reservation larger than the whole budget is granted when
// nothing else is held, so that such a picture still loads on its own. A
// thread that already holds a reservation is never made to wait (it will
// give back what it holds), so jobs cannot wait on each other.

class TPixelBudget;

// Bytes held from a budget, given back when the reservation goes.
class TPixelReservation {
public:
    TPixelReservation() = default;
    TPixelReservation(TPixelReservation&& other) noexcept;
    TPixelReservation& operator=(TPixelReservation&& other) noexcept;
    ~TPixelReservation();

private:
    friend class TPixelBudget;
    TPixelReservation(TPixelBudget* budget, std::uint64_t bytes, std::thread::id owner)
        : budget_(budget), bytes_(bytes), owner_(owner) {}
    TPixelBudget* budget_ = nullptr;
    std::uint64_t bytes_ = 0;
    std::thread::id owner_;
};

class TPixelBudget {
public:
    explicit TPixelBudget(std::uint64_t capacity) : capacity_(capacity) {}
    TPixelReservation Reserve(std::uint64_t bytes);
    std::uint64_t InUse() const;
    std::uint64_t Capacity() const { return capacity_; }

private:
    friend class TPixelReservation;
    void GiveBack(std::uint64_t bytes, std::thread::id owner);

    const std::uint64_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::uint64_t inUse_ = 0;
    std::map<std::thread::id, std::uint64_t> heldBy_;
};

// The budget of the whole program: half the machine's memory.
TPixelBudget& PicturePixelBudget();

// A job of a batch: while it lives on its thread, the reservations the
// loaders take on that thread are kept until it ends (the picture stays in
// memory while it is graded and written), not given back after decoding.
class TPixelJob {
public:
    TPixelJob();
    ~TPixelJob();
    TPixelJob(const TPixelJob&) = delete;
    TPixelJob& operator=(const TPixelJob&) = delete;

private:
    friend void KeepForJob(TPixelReservation reservation);
    TPixelJob* outer_;
    std::vector<TPixelReservation> kept_;
};

// Keeps the reservation until the job of this thread ends; without a job it
// is given back at once.
void KeepForJob(TPixelReservation reservation);
