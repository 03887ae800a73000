#pragma once
#include <functional>

#include "FootageConversion.h"

class TImage;

// Converting an 8-bit picture colour by colour: a photograph holds far fewer
// distinct colours than pixels, and a footage conversion (a camera log
// through an output transform) costs far more per colour than a table look.

// Converts each distinct colour of the picture once through
// `footage.Convert` and writes every pixel from its colour's result,
// rounded by `toByte`. The result equals converting every pixel: the
// conversion of a colour does not depend on its neighbours. False, with the
// picture unchanged, when the picture holds more than `maxShare` of its
// pixel count in distinct colours (the per-pixel road is then as quick).
bool ConvertDistinctColours(const TFootageConversion& footage, TImage& image, double maxShare,
                            const std::function<unsigned char(float)>& toByte);
