#pragma once
#include <string_view>

// Whether a BMP file holds all the pixel data its header declares: the pixel
// offset lies inside the file and, for uncompressed pictures, every row of
// the declared width and height is present. Qt's reader would decode a short
// file all the same, with the missing rows black, so a damaged file would
// pass as whole. Headers it cannot make sense of are left to the reader.
bool BitmapDataComplete(std::string_view bytes);
