#include "imageio/JpegStripGrading.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/IccProfile.h"
#include "imageio/JpegStreams.h"
#include "imageio/PictureSize.h"

// JPEG to JPEG in strips.
// The picture is never held whole: this thread decodes strips of rows while a
// second one encodes them, so that encoding hides behind the decoding, which
// is the slowest stage. Each strip is graded by whichever side has time: the
// decoding side grades a strip itself while the encoder still has strips
// waiting, and leaves it to the encoder otherwise. (A progressive file gives
// its first row when its last scan begins; grading and encoding then hide
// behind the reading of that scan.) A few strips circulate between the two;
// the encoder settings and rows are those of SaveJpegFile, so the stream is
// the same as decoding, grading the whole picture and saving it.

namespace {

constexpr int kStripRows = 16;
constexpr int kStripsInFlight = 4;

struct TStrip {
    TStrip(int width, int height) : Image(width, height) {}
    TImage Image;
    bool Graded = false;
};

// Strips passed from the decoding thread to the encoding one and back.
class TStripExchange {
public:
    // A free strip, or nullptr once the other side has failed.
    TStrip* TakeFree() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !free_.empty() || failed_; });
        if (failed_) return nullptr;
        TStrip* strip = free_.front();
        free_.pop_front();
        return strip;
    }
    void GiveFree(TStrip* strip) { Push(free_, strip); }
    void GiveReady(TStrip* strip) { Push(ready_, strip); }
    // The next strip to encode, or nullptr at the end or after a failure.
    TStrip* TakeReady() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty() || ended_ || failed_; });
        if (failed_ || ready_.empty()) return nullptr;
        TStrip* strip = ready_.front();
        ready_.pop_front();
        return strip;
    }
    // True while strips wait for the encoder.
    bool EncoderBusy() {
        const std::lock_guard lock(mutex_);
        return !ready_.empty();
    }
    void End() { Set(ended_); }
    void Fail() { Set(failed_); }

private:
    void Push(std::deque<TStrip*>& queue, TStrip* strip) {
        {
            const std::lock_guard lock(mutex_);
            queue.push_back(strip);
        }
        changed_.notify_all();
    }
    void Set(bool& flag) {
        {
            const std::lock_guard lock(mutex_);
            flag = true;
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TStrip*> free_, ready_;
    bool ended_ = false;
    bool failed_ = false;
};

// A picture file opened for reading in pieces, with the checks of the
// whole-file road.
std::FILE* OpenPictureFile(const std::string& fileName) {
    const int descriptor = OpenRegularFile(fileName, kMaxPictureFileBytes);
    std::FILE* file = fdopen(descriptor, "rb");
    if (file == nullptr) {
        const int error = errno;
        close(descriptor);
        RaiseFileError("Cannot open file", fileName, error);
    }
    return file;
}

// Grades a strip not yet graded; "" or the failure's message.
std::string GradeStrip(const std::function<void(TImage&)>& grade, TStrip& strip) {
    if (strip.Graded) return std::string();
    try {
        grade(strip.Image);
        strip.Graded = true;
        return std::string();
    } catch (const std::bad_alloc&) {
        return "Not enough memory to grade the picture";
    } catch (const std::exception& error) {
        return error.what();
    }
}

// The encoding thread's side: grade each strip where the decoding side did
// not, then encode its rows.
void EncodeStrips(TStripExchange& exchange, TJpegEncoder& encoder, const std::function<void(TImage&)>& grade,
                  std::string& failure) {
    while (TStrip* strip = exchange.TakeReady()) {
        failure = GradeStrip(grade, *strip);
        if (failure.empty() && !encoder.WriteStrip(strip->Image, strip->Image.Height()))
            failure = JpegMessage(encoder.Errors.Code);
        if (!failure.empty()) {
            exchange.Fail();
            return;
        }
        strip->Graded = false;
        exchange.GiveFree(strip);
    }
}

// Decodes every row into strips handed to the exchange, grading those the
// encoder has no time for; the last strip is tail when rows are left over
// that fill no whole strip. Returns the message of a failure here.
std::string DecodeStrips(TJpegDecoder& decoder, TStripExchange& exchange, const std::function<void(TImage&)>& grade,
                         TStrip& tail, int width, int height) {
    std::vector<unsigned char> rowBuffer(decoder.Cmyk ? static_cast<std::size_t>(width) * 4 : 0);
    for (int y = 0; y < height;) {
        TStrip* strip = height - y < kStripRows ? &tail : exchange.TakeFree();
        if (strip == nullptr) return std::string();  // the encoding side failed and says why
        TImage& rows = strip->Image;
        if (!decoder.ReadRows(rows.Row(0), rows.Height(), rows.Stride(), rowBuffer.data()))
            return JpegMessage(decoder.Errors.Code);
        if (exchange.EncoderBusy()) {
            const std::string failure = GradeStrip(grade, *strip);
            if (!failure.empty()) return failure;
        }
        exchange.GiveReady(strip);
        y += rows.Height();
    }
    if (!decoder.Finish()) return JpegMessage(decoder.Errors.Code);
    exchange.End();
    return std::string();
}

// Raised when a progressive file has a scan after the one that completed its
// coefficients: the rows already encoded may not be the file's final ones.
struct ELateScan {};

void GradeJpegFileOnce(const std::string& input, const std::string& output,
                       const std::function<void(TImage&)>& sRgbGrade, const TOutputProfileChoice& choice, bool early) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenPictureFile(input), std::fclose);
    TJpegDecoder decoder;
    if (!decoder.ReadHeader(file.get())) throw EError(JpegMessage(decoder.Errors.Code));
    CheckPictureSize(decoder.Info.image_width, decoder.Info.image_height);
    if (!(early ? decoder.StartEarly() : decoder.Start())) throw EError(JpegMessage(decoder.Errors.Code));
    const int width = static_cast<int>(decoder.Info.output_width);
    const int height = static_cast<int>(decoder.Info.output_height);
    TColourProfile source;
    try {
        source = TColourProfile::FromEmbedded({.Icc = decoder.IccProfile(), .Png = {}, .Pixels = decoder.Pixels()});
    } catch (const EError& error) {
        throw EError("\"" + input + "\": " + error.what());
    }
    const TColourProfile target = choice.For(source).ForColourPixels();
    const bool managed = !source.IsSrgb() || !target.IsSrgb();
    const std::function<void(TImage&)> grade = !managed ? sRgbGrade : [&](TImage& strip) {
        source.ToSrgb(strip);
        sRgbGrade(strip);
        target.FromSrgb(strip);
    };

    WriteFileAtomicallyFrom(output, [&](int descriptor) {
        TJpegFileDestination destination(descriptor);
        TJpegEncoder encoder;
        encoder.Icc = target.Icc();
        if (!encoder.Begin(width, height, 100, &destination)) throw EError(JpegMessage(encoder.Errors.Code));
        std::deque<TStrip> strips;
        for (int i = 0; i < kStripsInFlight; ++i) strips.emplace_back(width, kStripRows);
        TStrip tail(width, height % kStripRows);
        TStripExchange exchange;
        for (TStrip& strip : strips) exchange.GiveFree(&strip);

        std::string encodeFailure;
        std::thread encoding(EncodeStrips, std::ref(exchange), std::ref(encoder), std::cref(grade),
                             std::ref(encodeFailure));
        const std::string decodeFailure = DecodeStrips(decoder, exchange, grade, tail, width, height);
        if (!decodeFailure.empty()) exchange.Fail();
        encoding.join();
        if (!decodeFailure.empty()) throw EError(decodeFailure);
        // A failed write is reported by the file layer with its reason.
        if (destination.Error != 0) return destination.Error;
        if (!encodeFailure.empty()) throw EError(encodeFailure);
        if (decoder.LateScan) throw ELateScan();
        return 0;
    });
}

}  // namespace

void GradeJpegFile(const std::string& input, const std::string& output, const std::function<void(TImage&)>& grade) {
    GradeJpegFile(input, output, grade, TOutputProfileChoice());
}

void GradeJpegFile(const std::string& input, const std::string& output, const std::function<void(TImage&)>& grade,
                   const TOutputProfileChoice& choice) {
    try {
        try {
            GradeJpegFileOnce(input, output, grade, choice, true);
        } catch (const ELateScan&) {
            GradeJpegFileOnce(input, output, grade, choice, false);
        }
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to grade the picture \"" + input + "\"");
    }
}
