#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>

#include "clip/ClipModule.h"
#include "clip/ClipRender.h"
#include "engine/picture/DeepImage.h"
#include "tests/support/ClipMaking.h"

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

// How many samples of the two frames' colours differ at 16 bits.
inline int DifferingSamples16(const TDeepImage& a, const TDeepImage& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    int differing = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i)
            differing += std::lround(std::clamp(a.Row(y)[i], 0.0f, 1.0f) * 65535.0) !=
                         std::lround(std::clamp(b.Row(y)[i], 0.0f, 1.0f) * 65535.0);
    return differing;
}

// The average PSNR (Y'CbCr) of two clips' first video streams, by ffmpeg's psnr filter.
inline double Psnr(const std::string& a, const std::string& b) {
    const std::string log =
        RunCommand("ffmpeg -nostdin -i '" + a + "' -i '" + b + "' -lavfi '[0:v:0][1:v:0]psnr' -f null - 2>&1");
    std::smatch match;
    if (!std::regex_search(log, match, std::regex("average:([0-9.inf]+)"))) return 0;
    return match[1] == "inf" ? 1000 : std::stod(match[1]);
}
