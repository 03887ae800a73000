#include "formats/LutBaking.h"

#include <algorithm>
#include <string_view>

#include "engine/base/Error.h"
#include "engine/lut/LutChain.h"
#include "formats/ChainShaper.h"
#include "formats/FormatFiles.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/LutProfiles.h"
#include "formats/LutResampling.h"
#include "formats/ShapedLookExport.h"
#include "formats/WriterSizes.h"

namespace {

int EffectiveBits(const TLutOutputProfile& profile, int bits) { return bits != 0 ? bits : profile.DefaultBits; }

void CheckWriterSize(const TLUTFormat& format, const TLutOutputProfile& profile, int size, int bits) {
    if (WriterTakesSize(format, size, bits)) return;
    throw ESizeError("The profile " + Quoted(profile.Name) + " takes " + (format.Is3D ? "grid sizes " : "lengths ") +
                     WriterSizesText(format, bits) + ", not " + std::to_string(size));
}

// The cube size a conversion to a 3D profile writes.
int TargetCubeSize(const TLUT& source, const TLutOutputProfile& profile, const TLUTFormat& format, int size, int bits) {
    if (size != 0) return size;
    if (const int only = WriterOnlySize(format, bits)) return only;
    if (source.Kind == lkCube || source.Kind == lkCurveThenCube) return source.CubeSize;
    return profile.DefaultSize;
}

}  // namespace

std::vector<std::string> CarriedComments(const TLUT& source) {
    std::vector<std::string> comments;
    for (const std::string& line : source.Comments) {
        const auto first = line.find_first_not_of(" \t\r\n");
        const auto last = line.find_last_not_of(" \t\r\n");
        const std::string_view trimmed =
            first == std::string::npos ? std::string_view() : std::string_view(line).substr(first, last - first + 1);
        if (trimmed != kConverterSignature) comments.push_back(line);
    }
    return comments;
}

void PrepareForProfile(const TLUT& source, const TLutOutputProfile& profile, int size, int bits, TLUT& target) {
    if (&source == &target) throw EError("A LUT cannot be converted into itself.");
    const TLUTFormat& format = ProfileFormat(profile);
    bits = EffectiveBits(profile, bits);
    target.Comments = CarriedComments(source);
    if (format.Is3D) {
        const int cubeSize = TargetCubeSize(source, profile, format, size, bits);
        CheckWriterSize(format, profile, cubeSize, bits);
        if (source.Kind == lkCurveThenCube && format.Info().KeepsCurveBeforeCube) {
            // The cube at the size asked for, the curve as it stands.
            CheckUsableTables(source);
            auto cube = std::make_unique<TLUT>();
            cube->Kind = lkCube;
            cube->CubeSize = source.CubeSize;
            for (int r = 0; r < source.CubeSize; ++r)
                for (int g = 0; g < source.CubeSize; ++g)
                    std::copy(source.Cube[r][g], source.Cube[r][g] + source.CubeSize, cube->Cube[r][g]);
            BakeCube(*cube, cubeSize, target);
            std::copy(source.Curve, source.Curve + source.CurveSize, target.Curve);
            target.CurveSize = source.CurveSize;
            target.Kind = lkCurveThenCube;
            return;
        }
        BakeCube(source, cubeSize, target);
    } else {
        if (source.Kind != lkCurve)
            throw EError("The LUT is a 3D LUT; the 1D profile " + Quoted(profile.Name) + " cannot hold it.");
        CheckUsableTables(source);
        const int only = WriterOnlySize(format, bits);
        const int curveSize = size != 0 ? size : (only != 0 ? only : source.CurveSize);
        CheckWriterSize(format, profile, curveSize, bits);
        ResampleCurve(source, curveSize, target);
    }
}

std::unique_ptr<TLUT> PrepareForProfile(const TLUT& source, const TLutOutputProfile& profile, int size, int bits) {
    auto target = std::make_unique<TLUT>();
    PrepareForProfile(source, profile, size, bits, *target);
    return target;
}

std::unique_ptr<TLUT> PrepareShapedChain(const TLUT& source, const TLutOutputProfile& profile, int size, int bits) {
    if (!source.Chain || !HoldsShaper(profile)) return nullptr;
    const TLUTFormat& format = ProfileFormat(profile);
    bits = EffectiveBits(profile, bits);
    const int cubeSize = TargetCubeSize(source, profile, format, size, bits);
    CheckWriterSize(format, profile, cubeSize, bits);
    auto target = std::make_unique<TLUT>();
    if (!SplitChainAtShaper(*source.Chain, cubeSize, *target)) return nullptr;
    target->Comments = CarriedComments(source);
    return target;
}

void WriteConverted(const TLUT& source, const std::string& output, const TLutOutputProfile& profile, int size,
                    int bits) {
    if (const auto shaped = PrepareShapedChain(source, profile, size, bits)) {
        SaveCurveThenCube(profile, *shaped, output);
        return;
    }
    TLUTFormat& format = ProfileFormat(profile);
    const auto target = PrepareForProfile(source, profile, size, bits);
    format.SaveToFile(output, *target, EffectiveBits(profile, bits));
}
