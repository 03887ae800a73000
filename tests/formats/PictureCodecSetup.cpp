// The formats stored as pictures read and write through the codec that the
// front ends install at start-up; these tests install the same one.
#ifdef OMBRANE_TEST_PICTURE_CODEC
#include "imageio/QtPictureCodec.h"

namespace {
const bool kCodecInstalled = (InstallPictureCodec(&QtPictureCodec()), true);
}
#endif
