#include "formats/LutConvert.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "engine/base/Error.h"
#include "engine/lut/LutChain.h"
#include "formats/ChainShaper.h"
#include "formats/FormatFiles.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/ShapedLookExport.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    const std::size_t start = text.size() - tail.size();
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (LowerAscii(text[start + i]) != LowerAscii(tail[i])) return false;
    return true;
}

// A reader's message with the file named in front, unless it names it.
std::string NamingFile(const std::string& fileName, const std::string& message) {
    if (message.find(fileName) != std::string::npos) return message;
    return Quoted(fileName) + ": " + message;
}

// The grid coordinate of point i of n, as the table conventions define it.
double GridValue(int i, int n) { return static_cast<double>(i) / static_cast<double>(n - 1); }

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

void CheckUsableTables(const TLUT& source) {
    switch (source.Kind) {
        case lkCube:
        case lkCurveThenCube:
            if (source.CubeSize < 2 || source.CubeSize > kMaxCubeSize)
                throw EError("The LUT holds no usable cube (" + std::to_string(source.CubeSize) + " points per axis).");
            if (source.Kind == lkCube) break;
            [[fallthrough]];
        case lkCurve:
            if (source.CurveSize < 2 || source.CurveSize > kMaxCurveSize)
                throw EError("The LUT holds no usable curve (" + std::to_string(source.CurveSize) + " entries).");
            break;
        case lkIdentity:
            break;
    }
}

int FindReaderFormat(const std::string& fileName) {
    const std::string head = ReadDetectionHead(fileName);
    for (const int index : LutDetectionOrder())
        if (GetLutFormat(index)->CanRead(head, fileName)) return index;
    return -1;
}

std::unique_ptr<TLUT> ReadLutFile(const std::string& fileName, int* formatIndex) {
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status))
        throw EError("Cannot open " + Quoted(fileName) + ": " +
                     (error ? error.message() : std::string("No such file or directory")));
    if (std::filesystem::is_directory(status)) throw EError("Cannot read " + Quoted(fileName) + ": it is a folder.");

    auto lut = std::make_unique<TLUT>();
    int index = -1;
    try {
        index = FindReaderFormat(fileName);
        if (index < 0) throw EError("No known LUT format reads " + Quoted(fileName) + ".");
        GetLutFormat(index)->LoadFromFile(fileName, *lut);
    } catch (const ELUTError& error) {
        throw ELUTError(NamingFile(fileName, error.what()));
    } catch (const std::exception& error) {
        throw EError(NamingFile(fileName, error.what()));
    }
    if (formatIndex) *formatIndex = index;
    return lut;
}

bool FormatReads(int formatIndex) {
    const TLUTFormat* format = GetLutFormat(formatIndex);
    return format && format->Info().Reads;
}

bool FormatWrites(int formatIndex) {
    const TLUTFormat* format = GetLutFormat(formatIndex);
    return format && format->Info().Writes;
}

TLUTFormat& ProfileFormat(const TLutOutputProfile& profile) {
    TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    if (!format)
        throw EError("The profile " + Quoted(profile.Name) + " names no format (index " +
                     std::to_string(profile.FormatIndex) + ").");
    return *format;
}

bool ProfileIs3D(const TLutOutputProfile& profile) {
    const TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    return format && format->Is3D;
}

const TLutOutputProfile* FindOutputProfile(const std::string& nameOrNumber) {
    const auto& profiles = LutOutputProfiles();
    for (const auto& profile : profiles)
        if (profile->Name == nameOrNumber) return profile.get();

    int number = 0;
    const char* first = nameOrNumber.data();
    const char* last = first + nameOrNumber.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (nameOrNumber.empty() || error != std::errc() || end != last) return nullptr;
    if (number < 1 || static_cast<std::size_t>(number) > profiles.size()) return nullptr;
    return profiles[static_cast<std::size_t>(number - 1)].get();
}

const TLutOutputProfile* FindProfileForFile(const std::string& fileName, bool want3D) {
    for (const auto& profile : LutOutputProfiles())
        if (ProfileIs3D(*profile) == want3D && !profile->Extension.empty() &&
            EndsWithNoCase(fileName, "." + profile->Extension))
            return profile.get();
    return nullptr;
}

bool WriterTakesSize(const TLUTFormat& format, int size, int bits) { return format.Info().TakesSize(size, bits); }

std::string WriterSizesText(const TLUTFormat& format, int bits) { return format.Info().SizesText(bits); }

int WriterOnlySize(const TLUTFormat& format, int bits) { return format.Info().OnlySize(bits); }

void BakeCube(const TLUT& source, int size, TLUT& target) {
    if (size < 2 || size > kMaxCubeSize) throw EError("Grid size " + std::to_string(size) + " is outside 2 to 101.");
    CheckUsableTables(source);
    if (source.Kind == lkCube && source.CubeSize == size) {
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) target.Cube[r][g][b] = source.Cube[r][g][b];
    } else {
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) {
                    const TRGBDouble in{GridValue(r, size), GridValue(g, size), GridValue(b, size)};
                    source.LookupNormalized(in, target.Cube[r][g][b]);
                }
    }
    target.CubeSize = size;
    target.Kind = lkCube;
}

void ResampleCurve(const TLUT& source, int size, TLUT& target) {
    if (size < 2 || size > kMaxCurveSize)
        throw EError("Curve length " + std::to_string(size) + " is outside 2 to 100001.");
    if (source.Kind != lkCurve) throw EError("The LUT holds no 1D curve to resample.");
    CheckUsableTables(source);
    if (source.CurveSize == size) {
        for (int i = 0; i < size; ++i) target.Curve[i] = source.Curve[i];
    } else {
        for (int i = 0; i < size; ++i) {
            const double v = GridValue(i, size);
            source.InterpolateCurve(TRGBDouble{v, v, v}, target.Curve[i]);
        }
    }
    target.CurveSize = size;
    target.Kind = lkCurve;
}

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
