#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The picture coding that LUT formats stored as pictures need. Neither the
// file layer nor the formats library knows a picture library: a front end
// installs the program's codec (imageio's, built on Qt) at start-up, before
// any LUT is read or written. Without one, such formats refuse to read or
// write with a message.

// A picture of 16-bit samples, rows from the top, red, green and blue of
// each pixel side by side.
struct TPicture48 {
    int Width = 0;
    int Height = 0;
    int SourceBits = 16;  // the bits per sample the file held (8 or 16)
    std::vector<std::uint16_t> Samples;
};

class TPictureCodec {
public:
    virtual ~TPictureCodec() = default;
    // Decodes a PNG file's bytes; 8-bit samples become v * 257. A damaged
    // or unreadable picture raises EError; none is returned in part.
    virtual void DecodePng(std::string_view bytes, TPicture48& picture) const = 0;
    // The bytes of a 16-bit RGB PNG file of the picture.
    virtual std::string EncodePng(const TPicture48& picture) const = 0;
};

// Sets the codec the formats use and returns the one it replaces; the codec
// must live until the process ends. Called once at start-up.
const TPictureCodec* InstallPictureCodec(const TPictureCodec* codec);
// The installed codec, or nullptr when none is.
const TPictureCodec* InstalledPictureCodec();
