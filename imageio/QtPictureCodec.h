#pragma once
#include "fileio/PictureCodec.h"

// The program's picture codec for the LUT formats stored as pictures, on
// Qt's PNG reader and writer. Both front ends install it at start-up:
//   InstallPictureCodec(&QtPictureCodec());
const TPictureCodec& QtPictureCodec();
