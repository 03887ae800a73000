#pragma once
#include <chrono>
#include <vector>

#include "grading/Look.h"

// Undo and redo of the look. Every look the window grades with becomes a
// step, except that changes of one and the same slider merge into one step
// while the slider is dragged, and while they follow each other within
// kMergeTime (a key held down, or a run of key presses on the slider); any
// other change, the release of the slider, or EndStep() ends the run.
// A step may have deleted a library file (the chosen reference): undoing it
// brings the file back before the look that chose it, redoing it deletes
// the file again.
class TLookHistory {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kMergeTime{700};
    static constexpr int kMaxSteps = 500;

    explicit TLookHistory(TLook start) : current_(std::move(start)) {}

    // The look is now this one.
    void Record(const TLook& look, TClock::time_point now);
    // The library file was deleted and the look is now this one: a step of
    // its own.
    void RecordDeletion(const QString& file, const TLook& look, TClock::time_point now);
    // The next change starts a step of its own.
    void EndStep() { runControl_ = -1; }
    // While a slider is held, its changes are one step.
    void SetDragging(bool dragging);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Steps back (or forth) and returns the look to restore; nothing when
    // there is no step that way.
    const TLook& Undo();
    const TLook& Redo();
    const TLook& Current() const { return current_; }
    // The library file the step Undo (or Redo) would take deleted; empty
    // when that step deleted none.
    const QString& UndoDeletes() const;
    const QString& RedoDeletes() const;
    // A library file was renamed: every step that chose or deleted it follows.
    void RenameReference(const QString& from, const QString& to);
    int UndoCount() const { return static_cast<int>(undo_.size()); }

private:
    // A look and the library file the step from it to the next one deleted.
    struct TStep {
        TLook Look;
        QString Deleted;
    };
    void Push(std::vector<TStep>& steps, TStep step);

    TLook current_;
    std::vector<TStep> undo_, redo_;
    int runControl_ = -1;
    bool dragging_ = false;
    TClock::time_point last_{};
};
