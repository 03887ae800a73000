#include "imageio/ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "fileio/FileRead.h"
#include "imageio/IccProfile.h"
#include "imageio/MatrixShaperTransform.h"

namespace {

using THandle = std::shared_ptr<void>;

// LittleCMS's messages would go nowhere useful; failures are told by the
// handles it returns.
void SilentErrors(cmsContext, cmsUInt32Number, const char*) {}

void InstallSilentErrors() {
    static const bool installed = [] {
        cmsSetLogErrorHandler(SilentErrors);
        return true;
    }();
    (void)installed;
}

THandle Profile(cmsHPROFILE profile) {
    return THandle(profile, [](void* p) {
        if (p) cmsCloseProfile(p);
    });
}
THandle Transform(cmsHTRANSFORM transform) {
    return THandle(transform, [](void* t) {
        if (t) cmsDeleteTransform(t);
    });
}

constexpr cmsUInt32Number kIntent = INTENT_RELATIVE_COLORIMETRIC;
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;

// A grey value read from (or written to) the first byte or float of each
// three, the other two skipped.
constexpr cmsUInt32Number kGreyOfBgr8 = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);
constexpr cmsUInt32Number kGreyOfRgbFloat =
    FLOAT_SH(1) | COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(4) | EXTRA_SH(2);

THandle MakeTransform(const THandle& from, cmsUInt32Number fromFormat, const THandle& to, cmsUInt32Number toFormat) {
    return Transform(cmsCreateTransform(from.get(), fromFormat, to.get(), toFormat, kIntent, kFlags));
}

// Sets the second and third sample of each pixel to the first.
template <class T>
void SpreadGrey(T* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, pixels += 3) pixels[1] = pixels[2] = pixels[0];
}

}  // namespace

struct TColourProfile::TState {
    std::string Icc;
    bool Grey = false;
    THandle ToSrgb8, FromSrgb8, ToSrgbFloat, FromSrgbFloat;
};

namespace {

[[noreturn]] void Unusable() { throw EError(kUnusableProfile); }

THandle Srgb() { return Profile(cmsCreate_sRGBProfile()); }

// White, red, green and blue as x, y: sRGB's, which are Rec. 709's.
constexpr double kSrgbPrimaries[8] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

// PNG's fixed-point unit: a chunk's numbers are 100000 times the value.
long PngUnits(double value) { return std::lround(value * 100000); }

// True when the chunks describe sRGB as libpng takes them (png.c,
// png_colorspace_set_sRGB): each cHRM value within 100 units (0.001) of
// sRGB's, and the gAMA value within PNG_GAMMA_THRESHOLD_FIXED (5 %) of
// PNG_GAMMA_sRGB_INVERSE (45455), the ratio rounded to the unit as
// png_muldiv rounds it (png_colorspace_check_gamma, png_gamma_significant).
// Many programs write sRGB pictures so, without the sRGB chunk.
bool DescribesSrgb(const TPngColourChunks& png) {
    if (png.HasPrimaries)
        for (int i = 0; i < 8; ++i)
            if (std::labs(PngUnits(png.Primaries[i]) - PngUnits(kSrgbPrimaries[i])) > 100) return false;
    if (!png.HasGamma) return true;
    const long ratio = std::lround(PngUnits(png.Gamma) * 100000.0 / 45455);
    return ratio >= 95000 && ratio <= 105000;
}

// The built profile's bytes, dated kBuiltProfileDate: LittleCMS would write
// the time of writing, and pictures written with the profile would differ
// from one run to the next.
std::string SavedProfile(const THandle& built) {
    cmsUInt32Number size = 0;
    if (!built || !cmsSaveProfileToMem(built.get(), nullptr, &size) || size < 128)
        throw EError("the colour profile is damaged");
    std::string icc(size, '\0');
    if (!cmsSaveProfileToMem(built.get(), icc.data(), &size)) throw EError("the colour profile is damaged");
    // The header's date and time: six big-endian 16-bit numbers from byte 24.
    const std::uint16_t date[6] = {kBuiltProfileDate.Year, kBuiltProfileDate.Month,  kBuiltProfileDate.Day,
                                   kBuiltProfileDate.Hour, kBuiltProfileDate.Minute, kBuiltProfileDate.Second};
    for (int i = 0; i < 6; ++i) {
        icc[24 + 2 * i] = static_cast<char>(date[i] >> 8);
        icc[25 + 2 * i] = static_cast<char>(date[i] & 0xFF);
    }
    return icc;
}

// True when the transform leaves every sRGB value of a grid within one code
// value of itself.
bool NearIdentity(const THandle& toSrgb8) {
    std::vector<unsigned char> grid, converted;
    for (int b = 0; b <= 255; b += 15)
        for (int g = 0; g <= 255; g += 15)
            for (int r = 0; r <= 255; r += 15)
                grid.insert(grid.end(), {static_cast<unsigned char>(b), static_cast<unsigned char>(g),
                                         static_cast<unsigned char>(r)});
    converted.resize(grid.size());
    cmsDoTransform(toSrgb8.get(), grid.data(), converted.data(), static_cast<cmsUInt32Number>(grid.size() / 3));
    for (std::size_t i = 0; i < grid.size(); ++i)
        if (std::abs(int(grid[i]) - int(converted[i])) > 1) return false;
    return true;
}

}  // namespace

TColourProfile TColourProfile::FromIcc(const std::string& icc) {
    InstallSilentErrors();
    if (icc.size() > kMaxIccProfileBytes) RaiseProfileTooLarge();
    if (icc.size() < 128) throw EError("the colour profile is damaged");
    const THandle own = Profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    if (!own) throw EError("the colour profile is damaged");
    // The data colour space as the header holds it: LittleCMS hands any
    // four bytes on as its enumeration, which cannot hold them all.
    const std::string space = icc.substr(16, 4);
    if (space != "RGB " && space != "GRAY") Unusable();
    auto state = std::make_shared<TState>();
    state->Icc = icc;
    state->Grey = space == "GRAY";
    const THandle srgb = Srgb();
    state->ToSrgb8 = MakeTransform(own, state->Grey ? kGreyOfBgr8 : TYPE_BGR_8, srgb, TYPE_BGR_8);
    if (!state->ToSrgb8) Unusable();
    TColourProfile profile;
    if (!state->Grey && NearIdentity(state->ToSrgb8)) return profile;
    state->ToSrgbFloat = MakeTransform(own, state->Grey ? kGreyOfRgbFloat : TYPE_RGB_FLT, srgb, TYPE_RGB_FLT);
    state->FromSrgb8 = MakeTransform(srgb, TYPE_BGR_8, own, state->Grey ? kGreyOfBgr8 : TYPE_BGR_8);
    state->FromSrgbFloat = MakeTransform(srgb, TYPE_RGB_FLT, own, state->Grey ? kGreyOfRgbFloat : TYPE_RGB_FLT);
    if (!state->ToSrgbFloat || !state->FromSrgb8 || !state->FromSrgbFloat) Unusable();
    profile.state_ = std::move(state);
    return profile;
}

TColourProfile TColourProfile::FromEmbedded(const TEmbeddedProfile& embedded) {
    if (!embedded.Icc.empty()) return FromPictureIcc(embedded.Icc, embedded.Pixels);
    if (embedded.Untagged() || DescribesSrgb(embedded.Png)) return TColourProfile();
    InstallSilentErrors();
    const TPngColourChunks& png = embedded.Png;
    const double* p = png.HasPrimaries ? png.Primaries : kSrgbPrimaries;
    // Chromaticities lie inside the unit triangle, y above 0.
    for (int i = 0; i < 8; i += 2)
        if (!(p[i] >= 0 && p[i + 1] > 0 && p[i] + p[i + 1] <= 1)) throw EError("the colour profile is damaged");
    if (png.HasGamma && !(png.Gamma >= 0.01 && png.Gamma <= 100)) throw EError("the colour profile is damaged");
    const cmsCIExyY white{p[0], p[1], 1.0};
    const cmsCIExyYTRIPLE primaries{{p[2], p[3], 1.0}, {p[4], p[5], 1.0}, {p[6], p[7], 1.0}};
    static constexpr cmsFloat64Number kSrgbCurve[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve =
        png.HasGamma ? cmsBuildGamma(nullptr, 1.0 / png.Gamma) : cmsBuildParametricToneCurve(nullptr, 4, kSrgbCurve);
    if (curve == nullptr) throw EError("the colour profile is damaged");
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const THandle built = Profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return FromIcc(SavedProfile(built));
}

TColourProfile TColourProfile::FromPictureIcc(const std::string& icc, TPixelColours pixels) {
    // A CMYK picture's profile describes its inks, which are taken as they are stored.
    if (pixels == TPixelColours::Cmyk && IccColourSpace(icc) == "CMYK") return TColourProfile();
    TColourProfile profile = FromIcc(icc);
    if (ProfileContradicts(icc, pixels)) Unusable();
    return profile;
}

TColourProfile TColourProfile::FromIccFile(const std::string& fileName) {
    const std::string bytes = ReadFileBytes(fileName, kMaxIccProfileBytes);
    try {
        return FromIcc(bytes);
    } catch (const EError& error) {
        throw EError("\"" + fileName + "\": " + error.what());
    }
}

bool TColourProfile::IsGrey() const { return state_ && state_->Grey; }

const std::string& TColourProfile::Icc() const {
    static const std::string none;
    return state_ ? state_->Icc : none;
}

void TColourProfile::ToSrgb(TImage& image) const {
    if (!state_) return;
    for (int y = 0; y < image.Height(); ++y) {
        if (state_->Grey) {
            std::vector<unsigned char> row(image.Row(y), image.Row(y) + image.Width() * 3);
            cmsDoTransform(state_->ToSrgb8.get(), row.data(), image.Row(y),
                           static_cast<cmsUInt32Number>(image.Width()));
        } else {
            cmsDoTransform(state_->ToSrgb8.get(), image.Row(y), image.Row(y),
                           static_cast<cmsUInt32Number>(image.Width()));
        }
    }
}

void TColourProfile::FromSrgb(TImage& image) const {
    if (!state_) return;
    for (int y = 0; y < image.Height(); ++y) {
        cmsDoTransform(state_->FromSrgb8.get(), image.Row(y), image.Row(y),
                       static_cast<cmsUInt32Number>(image.Width()));
        if (state_->Grey) SpreadGrey(image.Row(y), static_cast<std::size_t>(image.Width()));
    }
}

void TColourProfile::ToSrgb(TDeepImage& image) const {
    if (!state_) return;
    std::vector<float> row;
    for (int y = 0; y < image.Height(); ++y) {
        row.assign(image.Row(y), image.Row(y) + static_cast<std::size_t>(image.Width()) * 3);
        cmsDoTransform(state_->ToSrgbFloat.get(), row.data(), image.Row(y),
                       static_cast<cmsUInt32Number>(image.Width()));
    }
}

void TColourProfile::FromSrgb(TDeepImage& image) const {
    if (!state_) return;
    std::vector<float> row;
    for (int y = 0; y < image.Height(); ++y) {
        row.assign(image.Row(y), image.Row(y) + static_cast<std::size_t>(image.Width()) * 3);
        cmsDoTransform(state_->FromSrgbFloat.get(), row.data(), image.Row(y),
                       static_cast<cmsUInt32Number>(image.Width()));
        if (state_->Grey) SpreadGrey(image.Row(y), static_cast<std::size_t>(image.Width()));
    }
}

TColourProfile DeepFileToSrgb(TDeepImage& picture, const std::string& fileName) {
    if (picture.Depth.IccProfile.empty()) return TColourProfile();
    TColourProfile profile;
    try {
        profile = TColourProfile::FromIcc(picture.Depth.IccProfile);
    } catch (const EError& error) {
        throw EError("\"" + fileName + "\": " + error.what());
    }
    profile.ToSrgb(picture);
    picture.Depth.IccProfile = profile.Icc();
    return profile;
}

TOutputProfileChoice TOutputProfileChoice::Parse(const std::string& value) {
    TOutputProfileChoice choice;
    if (value == "source") return choice;
    if (value == "srgb") {
        choice.Kind = TKind::Srgb;
        return choice;
    }
    choice.Kind = TKind::File;
    choice.File = TColourProfile::FromIccFile(value);
    if (choice.File.IsGrey()) throw EError("\"" + value + "\": the colour profile is not an RGB profile");
    return choice;
}

TColourProfile TOutputProfileChoice::For(const TColourProfile& source) const {
    switch (Kind) {
        case TKind::Source:
            return source;
        case TKind::Srgb:
            return TColourProfile();
        case TKind::File:
            return File;
    }
    return source;
}

std::string TOutputProfileChoice::IccFor(const std::string& sourceIcc) const {
    switch (Kind) {
        case TKind::Source:
            return sourceIcc;
        case TKind::Srgb:
            return std::string();
        case TKind::File:
            return File.Icc();
    }
    return sourceIcc;
}

TDisplayTransform::TDisplayTransform(const TColourProfile& display) {
    if (display.IsSrgb()) return;
    InstallSilentErrors();
    const THandle own =
        Profile(cmsOpenProfileFromMem(display.Icc().data(), static_cast<cmsUInt32Number>(display.Icc().size())));
    if (IccColourSpace(display.Icc()) != "RGB ") throw EError("the colour profile is not an RGB profile");
    const THandle srgb = Srgb();
    transform_ = MakeTransform(srgb, TYPE_BGR_8, own, TYPE_BGR_8);
    if (!transform_) Unusable();
    std::shared_ptr<const TMatrixShaperTransform> matrixShaper = TMatrixShaperTransform::Build(srgb.get(), own.get());
    if (matrixShaper && matrixShaper->SameAs(transform_.get())) matrixShaper_ = std::move(matrixShaper);
    static std::atomic<std::uint64_t> built = 0;
    id_ = ++built;
}

void TDisplayTransform::Apply(const unsigned char* source, unsigned char* target, std::size_t count) const {
    if (!transform_) {
        if (source != target) std::copy(source, source + count * 3, target);
        return;
    }
    if (matrixShaper_)
        matrixShaper_->Apply(source, target, count);
    else
        cmsDoTransform(transform_.get(), source, target, static_cast<cmsUInt32Number>(count));
}

TImage TDisplayTransform::Apply(const TImage& image) const {
    TImage out;
    Apply(image, out);
    return out;
}

void TDisplayTransform::Apply(const TImage& image, TImage& out) const {
    if (&out != &image && (out.Width() != image.Width() || out.Height() != image.Height()))
        out = TImage(image.Width(), image.Height());
    // Rows are converted each on its own: the split does not change them.
    ParallelFor(image.Height(), 64, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) Apply(image.Row(y), out.Row(y), static_cast<std::size_t>(image.Width()));
    });
}
