#pragma once
#include <string>
#include <string_view>

#include "fileio/PictureCodec.h"
#include "formats/LutFormat.h"

// Hald CLUT: a PNG picture holding a cube of L² points per axis for the
// level L, on a square of L³ x L³ pixels, read row by row from the top with
// red fastest, then green, then blue. Levels 2 to 10 (cubes of 4 to 100
// points) are read from 8-bit and 16-bit pictures; written pictures are
// 16-bit. The picture goes through the installed picture codec.

constexpr int kMinHaldLevel = 2;
constexpr int kMaxHaldLevel = 10;
constexpr int kDefaultHaldLevel = 8;

// The level whose cube size (L²) lies nearest to size, within 2..10; of two
// equally near the larger.
int NearestHaldLevel(int size);

// The cube of a decoded picture; ELUTError unless it is a square of a
// level's side within 2..10, naming the level or the size.
void ReadHaldPicture(const TPicture48& picture, TLUT& lut);
// The picture of a LUT: a cube whose size is a level's square is stored as
// it stands; any other LUT is looked up at the grid of the nearest level
// (level 8 for a curve alone).
TPicture48 MakeHaldPicture(const TLUT& lut);

// Whether the bytes start as a PNG file does.
bool IsPngSignature(std::string_view head);
// PNG bytes to cube and back, through the installed codec. The size the
// file's header declares is checked before the picture is decoded.
void ReadHaldPng(std::string_view bytes, TLUT& lut);
std::string WriteHaldPng(const TLUT& lut);
