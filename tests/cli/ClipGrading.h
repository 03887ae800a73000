#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "clip/ClipModule.h"
#include "clip/ClipRender.h"
#include "engine/DeepImage.h"

class TLUT;

// What a frame of the source becomes when graded and written to a clip
// of the source's pixel format.
inline TDeepImage GradedAndStored(const TLUT& lut, TDeepImage frame, const std::string& source) {
    GradeClipFrame(lut, frame);
    const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    TDeepImage stored = ClipModule().StoredAndRead(frame, fd, source);
    close(fd);
    return stored;
}
