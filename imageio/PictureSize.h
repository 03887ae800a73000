#pragma once

// A picture that declares more than kMaxPictureSide pixels on a side or more
// than kMaxPicturePixels pixels in all is refused before it is decoded.
constexpr int kMaxPictureSide = 30000;
constexpr long long kMaxPicturePixels = 400LL * 1000 * 1000;

// Refuses (EError "The picture is too large (W x H pixels)") a declared size
// beyond the limits, and one without pixels.
void CheckPictureSize(long long width, long long height);
