#include "imageio/JpegStreams.h"

#include <jerror.h>

#include "engine/base/Error.h"

namespace {

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    manager->Code = info->err->msg_code;
    std::longjmp(manager->Jump, 1);
}

extern "C" void JpegSilentMessage(j_common_ptr) {}

// libjpeg only warns about damaged data (a stream that ends early, a
// premature marker, bad Huffman codes) and fills what is missing with grey.
// A damaged picture is never taken as whole, so every warning ends the decode
// as an error.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0) JpegErrorExit(info);
}

}  // namespace

void InstallErrorManager(TJpegErrorManager& manager) {
    jpeg_std_error(&manager.Public);
    manager.Public.error_exit = JpegErrorExit;
    manager.Public.output_message = JpegSilentMessage;
    manager.Public.emit_message = JpegEmitMessage;
}

// What the numbers of a file that ends too early mean; the others keep
// libjpeg's bare number.
std::string JpegMessage(int code) {
    const std::string number = "JPEG error #" + std::to_string(code);
    if (code == JERR_INPUT_EMPTY || code == JERR_INPUT_EOF || code == JWRN_JPEG_EOF)
        return number + ": the file ends before the picture data";
    return number;
}

void EncodeInto(TJpegEncoder& encoder, const TImage& image, int quality) {
    if (image.Empty()) throw EError("There is no picture to write");
    if (!encoder.Encode(image, quality)) throw EError(JpegMessage(encoder.Errors.Code));
}
