#include "imageio/PixelBudget.h"

#include <unistd.h>

#include <utility>

TPixelReservation::TPixelReservation(TPixelReservation&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(other.bytes_), owner_(other.owner_) {}

TPixelReservation& TPixelReservation::operator=(TPixelReservation&& other) noexcept {
    if (this != &other) {
        if (budget_) budget_->GiveBack(bytes_, owner_);
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = other.bytes_;
        owner_ = other.owner_;
    }
    return *this;
}

TPixelReservation::~TPixelReservation() {
    if (budget_) budget_->GiveBack(bytes_, owner_);
}

TPixelReservation TPixelBudget::Reserve(std::uint64_t bytes) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] {
        const auto held = heldBy_.find(self);
        return inUse_ == 0 || inUse_ + bytes <= capacity_ || (held != heldBy_.end() && held->second > 0);
    });
    inUse_ += bytes;
    heldBy_[self] += bytes;
    return TPixelReservation(this, bytes, self);
}

std::uint64_t TPixelBudget::InUse() const {
    const std::lock_guard lock(mutex_);
    return inUse_;
}

void TPixelBudget::GiveBack(std::uint64_t bytes, std::thread::id owner) {
    {
        const std::lock_guard lock(mutex_);
        inUse_ -= bytes;
        const auto held = heldBy_.find(owner);
        if (held != heldBy_.end() && (held->second -= bytes) == 0) heldBy_.erase(held);
    }
    released_.notify_all();
}

TPixelBudget& PicturePixelBudget() {
    static TPixelBudget budget([] {
        const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
        const std::uint64_t memory =
            pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) * pageSize : 8ull * 1024 * 1024 * 1024;
        return memory / 2;
    }());
    return budget;
}

namespace {

thread_local TPixelJob* currentJob = nullptr;

}  // namespace

TPixelJob::TPixelJob() : outer_(currentJob) { currentJob = this; }

TPixelJob::~TPixelJob() { currentJob = outer_; }

void KeepForJob(TPixelReservation reservation) {
    if (currentJob != nullptr) currentJob->kept_.push_back(std::move(reservation));
}
