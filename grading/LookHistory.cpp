#include "grading/LookHistory.h"

void TLookHistory::Push(std::vector<TStep>& steps, TStep step) {
    steps.push_back(std::move(step));
    if (static_cast<int>(steps.size()) > kMaxSteps) steps.erase(steps.begin());
}

void TLookHistory::Record(const TLook& look, TClock::time_point now) {
    if (SameLook(look, current_)) return;
    const int control = OnlyControlChanged(current_, look);
    const bool merges = control >= 0 && control == runControl_ && (dragging_ || now - last_ <= kMergeTime);
    if (!merges) Push(undo_, {current_, QString()});
    redo_.clear();
    current_ = look;
    runControl_ = control;
    last_ = now;
}

void TLookHistory::RecordDeletion(const QString& file, const TLook& look, TClock::time_point now) {
    Push(undo_, {current_, file});
    redo_.clear();
    current_ = look;
    runControl_ = -1;
    last_ = now;
}

const QString& TLookHistory::UndoDeletes() const {
    static const QString none;
    return undo_.empty() ? none : undo_.back().Deleted;
}

const QString& TLookHistory::RedoDeletes() const {
    static const QString none;
    return redo_.empty() ? none : redo_.back().Deleted;
}

void TLookHistory::RenameReference(const QString& from, const QString& to) {
    auto rename = [&](TLook& look) {
        if (look.Reference == from) look.Reference = to;
    };
    rename(current_);
    for (std::vector<TStep>* steps : {&undo_, &redo_})
        for (TStep& step : *steps) {
            rename(step.Look);
            if (step.Deleted == from) step.Deleted = to;
        }
}

void TLookHistory::SetDragging(bool dragging) {
    // A drag is a step of its own, apart from the changes before and after.
    dragging_ = dragging;
    EndStep();
}

const TLook& TLookHistory::Undo() {
    EndStep();
    if (undo_.empty()) return current_;
    TStep step = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back({std::move(current_), step.Deleted});
    current_ = std::move(step.Look);
    return current_;
}

const TLook& TLookHistory::Redo() {
    EndStep();
    if (redo_.empty()) return current_;
    TStep step = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back({std::move(current_), step.Deleted});
    current_ = std::move(step.Look);
    return current_;
}
