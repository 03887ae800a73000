#include "PictureCodec.h"

#include <atomic>

#include "LutFormat.h"

namespace {
std::atomic<const TPictureCodec*> installed{nullptr};
}

const TPictureCodec* InstallPictureCodec(const TPictureCodec* codec) { return installed.exchange(codec); }

const TPictureCodec& PictureCodec()
{
    const TPictureCodec* codec = installed.load();
    if (codec == nullptr)
        throw ELUTError("No picture codec is installed: LUTs stored as pictures cannot be read or written.");
    return *codec;
}
