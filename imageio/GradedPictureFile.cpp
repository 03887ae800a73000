#include "imageio/GradedPictureFile.h"

#include <cstring>
#include <exception>
#include <filesystem>

#include "engine/base/Error.h"
#include "engine/footage/FootageGrading.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/picture/DeepGrade.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"
#include "imageio/PictureFormats.h"

namespace {

bool IsJpegName(const std::string& fileName) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    return format != nullptr && std::string_view(format->Library) == "jpeg";
}

// The library's format name of an 8-bit picture file, for its depth record.
std::string EightBitFormat(const std::string& fileName) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    return format != nullptr ? format->Library : LowerExtension(fileName);
}

// A loader's message that does not name the file gets it in front, since a
// command may read two pictures.
[[noreturn]] void RethrowNaming(const std::exception& error, const std::string& fileName,
                                const std::string& other = std::string()) {
    const std::string message = error.what();
    if (message.find(fileName) != std::string::npos || (!other.empty() && message.find(other) != std::string::npos))
        throw;
    throw EError("\"" + fileName + "\": " + message);
}

// An 8-bit picture written as a 24-bit type: graded once for the whole
// picture (with footage each colour is converted once).
void GradeEightBitInto(const std::string& output, TImage picture, const TColourProfile& source, const TLUT& lut,
                       const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    const TFootageGrading grading(footage);
    grading.Apply(lut, picture);
    SaveImageFile(output, picture, choice.For(source));
}

// The output is written at more than 8 bits whatever the picture's depth
// (an 8-bit picture written as .png stays 8-bit).
bool WrittenDeep(const std::string& output) { return IsDeepOutputName(output) && IsDeepPictureName(output); }

// The colours of a picture with alpha graded through their 24-bit picture,
// as an 8-bit frame is, and written at 8 bits with the picture's alpha
// untouched.
void GradeEightBitWithAlphaInto(const std::string& output, const TDeepImage& frame, const TLUT& lut,
                                const TFootageConversion* footage) {
    TDeepImage colours(frame.Width(), frame.Height(), false);
    const std::size_t rowBytes = sizeof(float) * 3 * static_cast<std::size_t>(frame.Width());
    for (int y = 0; y < frame.Height(); ++y) std::memcpy(colours.Row(y), frame.Row(y), rowBytes);
    TImage picture = DeepToImage(colours);
    GradePicture(lut, picture, footage);
    const TDeepImage graded = DeepFromImage(picture, "png");
    TDeepImage result(frame.Width(), frame.Height(), true);
    for (int y = 0; y < frame.Height(); ++y) {
        std::memcpy(result.Row(y), graded.Row(y), rowBytes);
        std::memcpy(result.AlphaRow(y), frame.AlphaRow(y), rowBytes / 3);
    }
    SaveDeepImageFile(output, result, OutputDepthFor(output, graded.Depth));
}

}  // namespace

bool NeedsDeepGrading(const std::string& input, const std::string& output) {
    return IsDeepPictureFile(input) || WrittenDeep(output);
}

TImage LoadNamedPicture(const std::string& fileName, TColourProfile& profile) {
    std::error_code kindError;
    if (std::filesystem::is_directory(fileName, kindError))
        throw EError("\"" + fileName + "\" is a folder, not a picture");
    if (LowerExtension(fileName).empty())
        throw EError("\"" + fileName + "\" is not a picture file: its name has no extension to tell its type");
    TImage picture;
    try {
        LoadImageFile(fileName, picture, profile);
    } catch (const std::exception& error) {
        RethrowNaming(error, fileName);
    }
    return picture;
}

TDeepImage LoadNamedDeepPicture(const std::string& fileName) {
    if (!IsDeepPictureFile(fileName)) {
        TColourProfile profile;
        TDeepImage picture = DeepFromImage(LoadNamedPicture(fileName, profile), EightBitFormat(fileName));
        picture.Depth.IccProfile = profile.Icc();
        return picture;
    }
    try {
        return LoadDeepImageFile(fileName);
    } catch (const EError& error) {
        RethrowNaming(error, fileName);
    }
}

void GradePictureToFile(const std::string& input, const std::string& output, const TLUT& lut,
                        const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    GradePictureToFile(
        input, output, [&]() -> const TLUT& { return lut; }, footage, choice);
}

void GradePictureToFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                        const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    if (NeedsDeepGrading(input, output)) {
        GradeDeepPictureInto(output, LoadNamedDeepPicture(input), lut(), footage, choice);
        return;
    }
    if (IsJpegName(input) && IsJpegName(output)) {
        // One look for the whole picture: with footage its colours are
        // graded once each, for every strip.
        const TFootageGrading grading(footage);
        try {
            GradeJpegFile(
                input, output, [&](TImage& picture) { grading.Apply(lut(), picture); }, choice);
        } catch (const std::exception& error) {
            RethrowNaming(error, input, output);
        }
        return;
    }
    TColourProfile source;
    TImage picture = LoadNamedPicture(input, source);
    GradeEightBitInto(output, std::move(picture), source, lut(), footage, choice);
}

void GradePictureInto(const std::string& output, TImage picture, const std::string& format, const TLUT& lut,
                      const TFootageConversion* footage) {
    if (WrittenDeep(output)) {
        GradeDeepPictureInto(output, DeepFromImage(picture, format), lut, footage);
        return;
    }
    GradeEightBitInto(output, std::move(picture), TColourProfile(), lut, footage, TOutputProfileChoice());
}

void GradeDeepPictureInto(const std::string& output, TDeepImage picture, const TLUT& lut,
                          const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    TPictureDepth depth = OutputDepthFor(output, picture.Depth);
    depth.IccProfile = choice.IccFor(picture.Depth.IccProfile);
    if (footage != nullptr)
        ConvertFootageDeep(*footage, picture, &lut);
    else
        GradeDeepImage(lut, picture);
    SaveDeepImageFile(output, picture, depth);
}

bool ClipFrameTakesFootage(const TDeepImage& frame, const std::string& output) {
    return frame.Depth.Bits <= 8 && !WrittenDeep(output);
}

void GradeClipFrameInto(const std::string& output, TDeepImage frame, const std::string& clipName, const TLUT& lut,
                        const TFootageConversion* footage) {
    if (!WrittenDeep(output) && frame.HasAlpha() && IsDeepOutputName(output) &&
        (frame.Depth.Bits <= 8 || footage != nullptr)) {
        GradeEightBitWithAlphaInto(output, frame, lut, footage);
        return;
    }
    if (!WrittenDeep(output) && (frame.Depth.Bits <= 8 || footage != nullptr)) {
        TImage picture = DeepToImage(frame);
        GradePicture(lut, picture, footage);
        SaveImageFile(output, picture);
        return;
    }
    if (footage != nullptr)
        throw EError("\"" + clipName + "\": a frame converted from a footage space is written at 8 bits only");
    const TPictureDepth depth = OutputDepthFor(output, frame.Depth);
    GradeDeepImage(lut, frame);
    SaveDeepImageFile(output, frame, depth);
}
