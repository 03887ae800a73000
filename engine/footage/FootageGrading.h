#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class TColourMemo;
class TFootageConversion;
class TImage;
class TLUT;

// Grading the 8-bit pictures (or the strips of one picture) of one footage
// with one look, as GradePicture(look, picture, footage) does, pixel for
// pixel. A large picture (or the strips of one, once they add up to a
// large one) is graded colour by colour: each colour is
// converted from the footage, rounded, graded by the look and kept, so a
// colour met again, in this or a later strip, costs one table read instead
// of a conversion and a cube lookup. Safe to use from several threads at
// once.
class TFootageGrading {
public:
    // Without footage (null) pictures are only graded by the look.
    explicit TFootageGrading(const TFootageConversion* footage);
    ~TFootageGrading();

    // Grades the picture in place. The graded colours kept belong to the
    // look of the first call; a call with another look takes the plain road.
    void Apply(const TLUT& look, TImage& picture) const;

private:
    const TFootageConversion* footage_;
    mutable std::atomic<const TLUT*> look_{nullptr};
    mutable std::atomic<std::int64_t> pixelsSeen_{0};
    mutable std::once_flag memoMade_;
    mutable std::unique_ptr<TColourMemo> memo_;
};
