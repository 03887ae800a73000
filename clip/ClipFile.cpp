#include "clip/ClipFile.h"

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <limits>

#include "clip/ClipMemory.h"
#include "clip/ClipPicture.h"
#include "clip/ImageSequence.h"
#include "clip/SequenceReader.h"
#include "engine/base/Error.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/ResampleKernels.h"
#include "fileio/FileRead.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

double RateOf(const TClipInfo& info) { return static_cast<double>(info.RateNumerator) / info.RateDenominator; }

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 15) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

[[noreturn]] void BadChoice(const std::string& text) {
    throw EError("option --frame needs a frame number, a timecode HH:MM:SS:FF or seconds like 2.5s, not \"" + text +
                 "\"");
}

}  // namespace

const std::vector<std::string>& ClipExtensions() {
    static const std::vector<std::string> extensions = {"mov", "mp4", "mkv", "mxf", "avi"};
    return extensions;
}

bool IsClipName(const std::string& fileName) {
    const auto dot = fileName.find_last_of('.');
    const auto slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return SequenceOfName(fileName).has_value();
    const std::string extension = Lower(fileName.substr(dot + 1));
    for (const std::string& known : ClipExtensions())
        if (extension == known) return true;
    return SequenceOfName(fileName).has_value();
}

TFrameChoice ParseFrameChoice(const std::string& text) {
    TFrameChoice choice;
    choice.Text = text;
    if (AllDigits(text)) {
        choice.Number = std::stoll(text);
        return choice;
    }
    if (text.size() > 1 && text.back() == 's') {
        const std::string number = text.substr(0, text.size() - 1);
        char* end = nullptr;
        const double seconds = std::strtod(number.c_str(), &end);
        const bool plain = number.find_first_not_of("0123456789.") == std::string::npos;
        if (!plain || end != number.c_str() + number.size() || !(seconds >= 0) || seconds > 1e7) BadChoice(text);
        choice.Kind = TFrameChoice::TKind::Seconds;
        choice.Time = seconds;
        return choice;
    }
    int parts[4] = {};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t colon = text.find(':', start);
        if ((colon == std::string::npos) != (i == 3)) BadChoice(text);
        const std::string part = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!AllDigits(part) || part.size() > 2) BadChoice(text);
        parts[i] = std::stoi(part);
        start = colon + 1;
    }
    if (parts[1] > 59 || parts[2] > 59) BadChoice(text);
    choice.Kind = TFrameChoice::TKind::Timecode;
    choice.Hours = parts[0];
    choice.Minutes = parts[1];
    choice.Seconds = parts[2];
    choice.Frames = parts[3];
    return choice;
}

std::int64_t FrameNumberOf(const TFrameChoice& choice, const TClipInfo& info) {
    switch (choice.Kind) {
        case TFrameChoice::TKind::Number:
            return choice.Number;
        case TFrameChoice::TKind::Seconds:
            return std::llround(choice.Time * RateOf(info));
        case TFrameChoice::TKind::Timecode: {
            const double seconds = (choice.Hours * 60.0 + choice.Minutes) * 60.0 + choice.Seconds;
            const std::int64_t perSecond = static_cast<std::int64_t>(std::ceil(RateOf(info) - 1e-9));
            if (choice.Frames >= perSecond)
                throw EError("the timecode " + choice.Text + " counts more frames than the clip's " +
                             std::to_string(perSecond) + " a second");
            return std::llround((seconds + choice.Frames / RateOf(info)) * RateOf(info));
        }
    }
    return 0;
}

double FrameTimeOf(const TFrameChoice& choice, const TClipInfo& info) {
    if (choice.Kind == TFrameChoice::TKind::Seconds) return choice.Time;
    if (choice.Kind == TFrameChoice::TKind::Number) return choice.Number / RateOf(info);
    const std::int64_t perSecond = static_cast<std::int64_t>(std::ceil(RateOf(info) - 1e-9));
    if (choice.Frames >= perSecond)
        throw EError("the timecode " + choice.Text + " counts more frames than the clip's " +
                     std::to_string(perSecond) + " a second");
    const std::int64_t seconds = (choice.Hours * 60LL + choice.Minutes) * 60 + choice.Seconds;
    return static_cast<double>(seconds * perSecond + choice.Frames) / RateOf(info);
}

std::string FrameTimecode(std::int64_t number, const TClipInfo& info) {
    const std::int64_t perSecond = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(RateOf(info) - 1e-9)));
    const std::int64_t frames = number % perSecond;
    const std::int64_t seconds = number / perSecond;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                  static_cast<long long>(frames));
    return text;
}

TClip::TClip(const std::string& fileName) : name_(fileName) {
    if (const auto sequence = SequenceOfName(fileName)) {
        reader_ = std::make_unique<TSequenceReader>(*sequence, SequenceRate());
        next_ = 0;
        return;
    }
    fd_ = OpenRegularFile(fileName, std::numeric_limits<std::uint64_t>::max());
    try {
        reader_ = ClipModule().Open(fd_, fileName);
    } catch (...) {
        close(fd_);
        throw;
    }
    next_ = 0;
    try {
        CheckClipFramesFit(fileName, Info(), 1, PicturePixelBudget());
    } catch (...) {
        reader_.reset();
        close(fd_);
        throw;
    }
}

TClip::~TClip() {
    reader_.reset();
    if (fd_ >= 0) close(fd_);
}

void TClip::Seek(std::int64_t number) {
    if (number == next_) return;
    reader_->Seek(number);
    next_ = number;
}

bool TClip::Next(TDeepImage& image, std::int64_t& number) {
    const bool got = reader_->Read(image, number);
    next_ = got ? number + 1 : -1;
    return got;
}

std::int64_t TClip::TimestampOf(std::int64_t number) {
    next_ = -1;  // the reader may have read ahead to find it
    return reader_->TimestampOf(number);
}

std::int64_t TClip::NumberOf(const TFrameChoice& choice) {
    if (choice.Kind == TFrameChoice::TKind::Number) return choice.Number;
    const double seconds = FrameTimeOf(choice, Info());
    next_ = -1;
    return reader_->FrameAt(seconds);
}

bool TClip::NextPicture(TImage& picture, int width, int height, std::int64_t& number) {
    // Frames with alpha are laid on white and sequences read at their own
    // depth: both take the exact road, as a paused frame does.
    if (Info().HasAlpha || fd_ < 0) {
        TDeepImage frame;
        if (!Next(frame, number)) return false;
        picture = ClipFrameToImage(frame);
        if (picture.Width() != width || picture.Height() != height) {
            TImage scaled;
            ResizeImage(width, height, kLanczos3Filter, scaled, picture, 0.0f);
            picture = std::move(scaled);
        }
        return true;
    }
    const bool got = reader_->ReadPicture(picture, width, height, number);
    next_ = got ? number + 1 : -1;
    return got;
}

TDeepImage TClip::Frame(std::int64_t number) {
    if (number < 0) throw EError("\"" + name_ + "\" has no frame " + std::to_string(number));
    Seek(number);
    TDeepImage image;
    std::int64_t got = -1;
    if (!Next(image, got) || got != number) {
        next_ = -1;
        throw EError("\"" + name_ + "\" has no frame " + std::to_string(number) + " (its frames are numbered from 0" +
                     (Info().Frames > 0 ? " to " + std::to_string(Info().Frames - 1) : std::string()) + ")");
    }
    return image;
}

TDeepImage LoadClipFrame(const std::string& fileName, const TFrameChoice& choice) {
    TClip clip(fileName);
    return clip.Frame(clip.NumberOf(choice));
}
