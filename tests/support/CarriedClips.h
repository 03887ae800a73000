#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ClipMaking.h"

// Clips with an alpha channel for the tests, made by the ffmpeg program: the
// moving crop of the test photograph of ClipMaking.h, with a matte that
// ramps across the frame and moves from frame to frame.

// Makes `file` of `frames` frames of width x height at 25 a second in the
// pixel format `pixelFormat` with the encoder arguments `encoding`. True
// when ffmpeg succeeded.
inline bool MakeAlphaClip(const std::string& file, int width, int height, int frames, const std::string& pixelFormat,
                          const std::string& encoding) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string command = "ffmpeg -nostdin -v error -y -loop 1 -framerate 25 -i " + std::string(kClipPhoto) +
                                " -f lavfi -i \"color=black:s=" + size +
                                ":r=25,format=gray,geq=lum='mod(X*5+Y*2+N*37\\,256)'\"" +
                                " -filter_complex \"[0]crop=iw/2:ih/2:n*40:n*25,scale=" + std::to_string(width) + ":" +
                                std::to_string(height) + ",format=yuva444p[c];[c][1]alphamerge,format=" + pixelFormat +
                                "\" -t " + std::to_string(frames / 25.0) + " " + encoding + " '" + file + "' 2>&1";
    int status = -1;
    RunCommand(command, &status);
    return status == 0;
}

// Every frame's alpha plane as ffmpeg's decoder gives it (video stream
// `stream` of the file), at the depth of the grey format `grey` ("gray",
// "gray10le", "gray12le", "gray16le"), one sample a pixel.
inline std::vector<std::uint16_t> FfmpegAlphaPlanes(const std::string& file, const std::string& grey = "gray",
                                                    int stream = 0) {
    const std::string raw = RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v:" + std::to_string(stream) +
                                       " -vf alphaextract -f rawvideo -pix_fmt " + grey + " -");
    if (grey == "gray") {
        std::vector<std::uint16_t> samples;
        for (char byte : raw) samples.push_back(static_cast<unsigned char>(byte));
        return samples;
    }
    std::vector<std::uint16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// A stream's entries as ffprobe shows them ("-show_entries" syntax), one a line.
inline std::string ProbeEntries(const std::string& file, const std::string& entries, const std::string& select = "") {
    return RunCommand("ffprobe -v error " + select + " -show_entries " + entries + " -of default=noprint_wrappers=1 '" +
                      file + "'");
}
