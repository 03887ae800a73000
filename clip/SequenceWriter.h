#pragma once
#include <cstdint>
#include <string>

#include "clip/ImageSequence.h"
#include "engine/picture/DeepImage.h"

// Writes graded frames as an image sequence: each frame one file, named by
// the output pattern with the frame's number, written atomically (to a
// temporary file renamed over the name when complete), at the frame's own
// format and depth when the pattern's extension names its format, else at
// the extension's default depth.
class TSequenceWriter {
public:
    // EError when the name is no pattern of a picture type written.
    explicit TSequenceWriter(const std::string& outputPattern);

    std::string FileName(std::int64_t number) const { return pattern_.FileName(number); }
    void Write(const TDeepImage& image, std::int64_t number) const;

private:
    TSequencePattern pattern_;
};

// The name is a pattern an image sequence is written to.
bool IsSequenceOutputName(const std::string& name);
