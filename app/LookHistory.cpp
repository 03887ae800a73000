#include "app/LookHistory.h"

void TLookHistory::Record(const TLook& look, TClock::time_point now) {
    if (SameLook(look, current_)) return;
    const int control = OnlyControlChanged(current_, look);
    const bool merges = control >= 0 && control == runControl_ && (dragging_ || now - last_ <= kMergeTime);
    if (!merges) {
        undo_.push_back(current_);
        if (static_cast<int>(undo_.size()) > kMaxSteps) undo_.erase(undo_.begin());
    }
    redo_.clear();
    current_ = look;
    runControl_ = control;
    last_ = now;
}

void TLookHistory::RenameReference(const QString& from, const QString& to) {
    auto rename = [&](TLook& look) {
        if (look.Reference == from) look.Reference = to;
    };
    rename(current_);
    for (TLook& look : undo_) rename(look);
    for (TLook& look : redo_) rename(look);
}

void TLookHistory::SetDragging(bool dragging) {
    // A drag is a step of its own, apart from the changes before and after.
    dragging_ = dragging;
    EndStep();
}

const TLook& TLookHistory::Undo() {
    EndStep();
    if (undo_.empty()) return current_;
    redo_.push_back(std::move(current_));
    current_ = std::move(undo_.back());
    undo_.pop_back();
    return current_;
}

const TLook& TLookHistory::Redo() {
    EndStep();
    if (redo_.empty()) return current_;
    undo_.push_back(std::move(current_));
    current_ = std::move(redo_.back());
    redo_.pop_back();
    return current_;
}
