#pragma once

class TImage;

// Width and height of a reference cell in the library list.
constexpr int kThumbnailSize = 150;

// A 150 x 150 white cell with the picture drawn unscaled, its top-left corner
// at ((150 - w) / 2, (150 - h) / 2) with the divisions truncating toward zero.
// A larger picture is cut to its centre; a smaller one is surrounded by white.
TImage MakeThumbnailCell(const TImage& picture);
