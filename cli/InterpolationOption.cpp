#include "cli/InterpolationOption.h"

#include "engine/base/Error.h"
#include "engine/lut/CubeInterpolation.h"

TOptionSpec InterpolationOptionSpec() { return {"interpolation", true}; }

void UseInterpolationOption(const TArguments& arguments, TLUT& lut) {
    if (!arguments.Has("interpolation")) return;
    TCubeInterpolation interpolation = TCubeInterpolation::Trilinear;
    if (!CubeInterpolationFromName(arguments.Value("interpolation"), interpolation))
        throw EUsageError("--interpolation takes trilinear or tetrahedral, not \"" + arguments.Value("interpolation") +
                          "\"");
    UseCubeInterpolation(lut, interpolation);
}
