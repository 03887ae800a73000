#include "fileio/PictureCodec.h"

#include <atomic>

namespace {
std::atomic<const TPictureCodec*> installed{nullptr};
}

const TPictureCodec* InstallPictureCodec(const TPictureCodec* codec) { return installed.exchange(codec); }

const TPictureCodec* InstalledPictureCodec() { return installed.load(); }
