#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

// Clips for the tests, made by the ffmpeg program from a test photograph:
// a crop that moves across the picture, so that every frame differs.

inline const char* const kClipPhoto = "/usr/share/backgrounds/mate/nature/Garden.jpg";

// Runs a shell command and gives its standard output; status gets the exit
// status (-1 when it did not end normally).
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status) *status = -1;
        return out;
    }
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int result = pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return out;
}

// Makes `file` of `frames` frames at 25 a second, width x height, with the
// encoder arguments `encoding` (and any extra inputs before them, such as
// an audio source; extraFilters go after the picture's, from a comma).
// True when ffmpeg succeeded.
inline bool MakeClip(const std::string& file, int width, int height, int frames, const std::string& encoding,
                     const std::string& extraInputs = "", const std::string& extraFilters = "") {
    const std::string command = "ffmpeg -nostdin -v error -y -loop 1 -framerate 25 -i " + std::string(kClipPhoto) +
                                " " + extraInputs + " -vf \"crop=iw/2:ih/2:n*40:n*25,scale=" + std::to_string(width) +
                                ":" + std::to_string(height) + extraFilters + "\" -t " + std::to_string(frames / 25.0) +
                                " " + encoding + " '" + file + "' 2>&1";
    int status = -1;
    RunCommand(command, &status);
    return status == 0;
}
