#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/picture/DeepImage.h"

// The coding of pictures at more than 8 bits, done by OpenImageIO in the
// module "ombrane-oiio.so". DeepImageFile.h is the interface the program
// uses; this is the narrow road between it and the module.
// Told, once a picture's header has been read and before its pixels are
// decoded, how many bytes decoding will take; it may wait until that memory
// is free, or raise.
class TPixelGate {
public:
    virtual ~TPixelGate() = default;
    virtual void Admit(std::uint64_t bytes) = 0;
};

class TDeepCodec {
public:
    virtual ~TDeepCodec() = default;
    // Decodes an open file, or bytes in memory; format is OpenImageIO's
    // format name ("tiff", "openexr", ...), fileName names the picture in
    // messages. EError for a picture that cannot be read.
    virtual TDeepImage Decode(std::FILE* file, const std::string& format, const std::string& fileName,
                              TPixelGate& gate) const = 0;
    virtual TDeepImage Decode(std::string_view bytes, const std::string& format, const std::string& fileName,
                              TPixelGate& gate) const = 0;
    // The file's bytes of the picture at the storage `depth`, which the
    // format can hold. EError when it cannot be encoded.
    virtual std::string Encode(const TDeepImage& image, const TPictureDepth& depth) const = 0;
};

// The module's entry: a C function with this name returning the codec and
// putting this interface's version where its argument points.
inline constexpr const char* kDeepCodecEntry = "OmbraneDeepCodec";
inline constexpr int kDeepCodecVersion = 3;

// The codec, loading the module the first time. EError when it is missing.
const TDeepCodec& DeepCodec();
