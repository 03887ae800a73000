// The module ombrane-ffmpeg.so: clips read and written by FFmpeg's libraries.
#include "clip/ClipModule.h"
#include "clip/ffmpeg/FfmpegClipJoin.h"
#include "clip/ffmpeg/FfmpegClipReader.h"
#include "clip/ffmpeg/FfmpegClipWriter.h"
#include "clip/ffmpeg/FfmpegPartRecord.h"
#include "engine/base/Error.h"

namespace {

class TFfmpegClipModule final : public TClipModule {
public:
    std::unique_ptr<TClipReader> Open(int fd, const std::string& fileName) const override {
        return std::make_unique<TFfmpegClipReader>(fd, fileName);
    }

    std::unique_ptr<TClipWriter> CreateWriter(int sourceFd, const std::string& sourceName,
                                              const TClipRenderSettings& settings, int out) const override {
        return std::make_unique<TFfmpegClipWriter>(sourceFd, sourceName, settings, out);
    }

    TDeepImage StoredAndRead(const TDeepImage& image, int sourceFd, const std::string& sourceName) const override {
        const TFfmpegClipReader reader(sourceFd, sourceName);
        AVFrame* frame = av_frame_alloc();
        if (frame == nullptr) throw EError("out of memory");
        frame->format = reader.PixelFormat();
        frame->width = image.Width();
        frame->height = image.Height();
        TDeepImage result;
        try {
            if (av_frame_get_buffer(frame, 0) < 0) throw EError("out of memory");
            TFrameConverter converter;
            converter.ToFrame(image, reader.Coding(), *frame);
            converter.ToImage(*frame, reader.Coding(), result);
        } catch (...) {
            av_frame_free(&frame);
            throw;
        }
        av_frame_free(&frame);
        result.Depth = image.Depth;
        return result;
    }

    std::string RecordedSource(int fd, const std::string& fileName) const override {
        const TInputClip clip(fd, fileName);
        const auto record = ReadPartRecord(*clip.Format(), fileName);
        return record ? record->Source : std::string();
    }

    void Join(const std::vector<TOpenClip>& parts, const TOpenClip& source, const std::string& outputName,
              int out) const override {
        TFfmpegClipJoin join(parts, source, outputName);
        join.Write(out);
    }
};

}  // namespace

extern "C" const TClipModule* OmbraneClipModule(int* interfaceVersion) {
    static const TFfmpegClipModule module;
    *interfaceVersion = kClipModuleVersion;
    return &module;
}
