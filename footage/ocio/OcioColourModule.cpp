#include <OpenColorIO/OpenColorIO.h>

// The module "ombrane-ocio.so": the footage spaces' conversions built by
// OpenColorIO, behind the TColourModule interface.

#include <cmath>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/Error.h"
#include "footage/ColourModule.h"
#include "footage/FootageCatalog.h"

namespace OCIO = OCIO_NAMESPACE;

namespace {

constexpr int kCheckGrid = 5;  // grid points per axis of the finiteness check

// A footage space converted by one CPU processor; results are clamped to 0..1.
class TOcioFootage : public TFootageConversion {
public:
    TOcioFootage(std::string label, const OCIO::ConstProcessorRcPtr& processor, bool sceneLinear = false)
        : label_(std::move(label)), cpu_(processor->getDefaultCPUProcessor()), sceneLinear_(sceneLinear) {}

    std::string Label() const override { return label_; }
    bool SceneLinear() const override { return sceneLinear_; }

    void Convert(float* rgb, std::size_t count) const override {
        if (count == 0) return;
        OCIO::PackedImageDesc image(rgb, static_cast<long>(count), 1, 3);
        cpu_->apply(image);
        for (std::size_t i = 0; i < count * 3; ++i) {
            const float v = rgb[i];
            rgb[i] = !(v >= 0.0f) ? 0.0f : (v > 1.0f ? 1.0f : v);
        }
    }

    // True when every colour of a coarse grid converts to a finite value
    // before clamping.
    bool FiniteOnGrid() const {
        std::vector<float> grid;
        for (int i = 0; i < kCheckGrid; ++i)
            for (int j = 0; j < kCheckGrid; ++j)
                for (int k = 0; k < kCheckGrid; ++k)
                    for (int c : {i, j, k}) grid.push_back(static_cast<float>(c) / (kCheckGrid - 1));
        OCIO::PackedImageDesc image(grid.data(), static_cast<long>(grid.size() / 3), 1, 3);
        cpu_->apply(image);
        for (float v : grid)
            if (!std::isfinite(v)) return false;
        return true;
    }

private:
    std::string label_;
    OCIO::ConstCPUProcessorRcPtr cpu_;
    bool sceneLinear_;
};

void AppendBuiltin(OCIO::GroupTransform& group, const char* style,
                   OCIO::TransformDirection direction = OCIO::TRANSFORM_DIR_FORWARD) {
    auto step = OCIO::BuiltinTransform::Create();
    step->setStyle(style);
    step->setDirection(direction);
    group.appendTransform(step);
}

// ACES2065-1 -> the SDR video output transform -> Rec.709 (BT.1886), as a processor.
OCIO::ConstProcessorRcPtr ToDisplay(const OCIO::GroupTransformRcPtr& group) {
    AppendBuiltin(*group, kSdrVideoOutputBuiltin);
    AppendBuiltin(*group, kRec709DisplayBuiltin);
    return OCIO::Config::CreateRaw()->getProcessor(group);
}

std::unique_ptr<TFootageConversion> CameraLogChain(const TCameraLog& log) {
    auto group = OCIO::GroupTransform::Create();
    AppendBuiltin(*group, log.Builtin);
    return std::make_unique<TOcioFootage>(log.Label, ToDisplay(group));
}

// The matrix from linear RGB of the given chromaticities (red, green, blue,
// white as x y pairs) to CIE XYZ, row-major 4 x 4.
std::vector<double> RgbToXyz(const double* xy) {
    double m[3][3];
    for (int c = 0; c < 3; ++c) {
        const double x = xy[2 * c], y = xy[2 * c + 1];
        m[0][c] = x / y;
        m[1][c] = 1.0;
        m[2][c] = (1.0 - x - y) / y;
    }
    const double white[3] = {xy[6] / xy[7], 1.0, (1.0 - xy[6] - xy[7]) / xy[7]};
    // Scales of the primaries: m * s = white, by Cramer's rule.
    const auto det = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det(m);
    double scale[3];
    for (int c = 0; c < 3; ++c) {
        double a[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) a[r][k] = k == c ? white[r] : m[r][k];
        scale[c] = det(a) / d;
    }
    std::vector<double> matrix(16, 0.0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) matrix[4 * r + c] = m[r][c] * scale[c];
    matrix[15] = 1.0;
    return matrix;
}

std::unique_ptr<TFootageConversion> LinearChain(const TLinearSpace& space) {
    auto group = OCIO::GroupTransform::Create();
    if (space.Builtin) AppendBuiltin(*group, space.Builtin);
    if (space.Chromaticities) {
        auto matrix = OCIO::MatrixTransform::Create();
        matrix->setMatrix(RgbToXyz(space.Chromaticities).data());
        group->appendTransform(matrix);
        AppendBuiltin(*group, kAcesToXyzBuiltin, OCIO::TRANSFORM_DIR_INVERSE);
    }
    return std::make_unique<TOcioFootage>(space.Label, ToDisplay(group), true);
}

// The library's reason as one line, without what it may quote of a file
// (later lines) and with each file the config names as the config writes
// it, not as found along its search path (where environment variables
// would be expanded).
// A loaded config with, for its messages, where each file it names was
// found, and the files it names that are not found.
struct TLoadedConfig {
    OCIO::ConstConfigRcPtr Config;
    // The active spaces in the config's order, copied once: the library
    // looks a space up by name through the whole list.
    OCIO::ConstColorSpaceSetRcPtr Active;
    std::string Path;
    std::vector<std::pair<std::string, std::string>> Files;  // found, as written
    std::vector<std::string> Missing;                        // as written
};

// The library's reason as one line, without what it may quote of a file
// (later lines), with each file the config names as the config writes it,
// not as found along its search path (where environment variables would be
// expanded), and for a file not found only that.
std::string Reason(const std::string& what, const TLoadedConfig& config) {
    std::string reason = what.substr(0, what.find('\n'));
    // The messages built on it end with their own full stop.
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    for (const std::string& written : config.Missing)
        if (reason.find("'" + written + "'") != std::string::npos)
            return "the file \"" + written + "\" it names is not found";
    for (const auto& [found, written] : config.Files)
        for (auto at = reason.find(found); !found.empty() && at != std::string::npos;
             at = reason.find(found, at + written.size()))
            reason.replace(at, found.size(), written);
    return reason;
}

std::string NotLoading(const std::string& path, const std::string& reason) {
    return "The OpenColorIO config \"" + path + "\" does not load: " + reason;
}

// The files of the FileTransforms in the transform and its groups.
void NamedFiles(const OCIO::ConstTransformRcPtr& transform, std::vector<std::string>& files) {
    if (!transform) return;
    if (auto group = OCIO::DynamicPtrCast<const OCIO::GroupTransform>(transform)) {
        for (int i = 0; i < group->getNumTransforms(); ++i) NamedFiles(group->getTransform(i), files);
    } else if (auto file = OCIO::DynamicPtrCast<const OCIO::FileTransform>(transform)) {
        if (file->getSrc()) files.push_back(file->getSrc());
    }
}

// Every file a transform of the config names: those of the colour spaces,
// looks, view transforms and named transforms, in both directions.
std::vector<std::string> ConfigFiles(const OCIO::Config& config, const OCIO::ConstColorSpaceSetRcPtr& active) {
    std::vector<std::string> files;
    OCIO::ConstColorSpaceSetRcPtr spaces = active;
    if (config.getNumColorSpaces(OCIO::SEARCH_REFERENCE_SPACE_ALL, OCIO::COLORSPACE_INACTIVE) > 0) {
        // The inactive spaces too: a copy with none inactive lists them all.
        OCIO::ConfigRcPtr everyone = config.createEditableCopy();
        everyone->setInactiveColorSpaces("");
        spaces = everyone->getColorSpaces(nullptr);
    }
    for (int i = 0; i < spaces->getNumColorSpaces(); ++i) {
        const OCIO::ConstColorSpaceRcPtr space = spaces->getColorSpaceByIndex(i);
        NamedFiles(space->getTransform(OCIO::COLORSPACE_DIR_TO_REFERENCE), files);
        NamedFiles(space->getTransform(OCIO::COLORSPACE_DIR_FROM_REFERENCE), files);
    }
    for (int i = 0; i < config.getNumLooks(); ++i) {
        const OCIO::ConstLookRcPtr look = config.getLook(config.getLookNameByIndex(i));
        NamedFiles(look->getTransform(), files);
        NamedFiles(look->getInverseTransform(), files);
    }
    for (int i = 0; i < config.getNumViewTransforms(); ++i) {
        const OCIO::ConstViewTransformRcPtr view = config.getViewTransform(config.getViewTransformNameByIndex(i));
        NamedFiles(view->getTransform(OCIO::VIEWTRANSFORM_DIR_TO_REFERENCE), files);
        NamedFiles(view->getTransform(OCIO::VIEWTRANSFORM_DIR_FROM_REFERENCE), files);
    }
    for (int i = 0; i < config.getNumNamedTransforms(OCIO::NAMEDTRANSFORM_ALL); ++i) {
        const OCIO::ConstNamedTransformRcPtr named =
            config.getNamedTransform(config.getNamedTransformNameByIndex(OCIO::NAMEDTRANSFORM_ALL, i));
        NamedFiles(named->getTransform(OCIO::TRANSFORM_DIR_FORWARD), files);
        NamedFiles(named->getTransform(OCIO::TRANSFORM_DIR_INVERSE), files);
    }
    return files;
}

// Each file the config names must pass the program's check before the
// library reads it; one not found is left for the library to report when a
// conversion needs it.
void CheckNamedFiles(const TConfigSource& source, TLoadedConfig& loaded) {
    const OCIO::ConstContextRcPtr context = loaded.Config->getCurrentContext();
    for (const std::string& written : ConfigFiles(*loaded.Config, loaded.Active)) {
        std::string found;
        try {
            found = context->resolveFileLocation(written.c_str());
        } catch (const std::exception&) {
            loaded.Missing.push_back(written);
            continue;
        }
        if (const std::string problem = source.FileProblem(found); !problem.empty())
            throw EError(NotLoading(source.Path, "the file \"" + written + "\" it names cannot be read: " + problem));
        loaded.Files.emplace_back(found, written);
    }
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

// OpenColorIO's parser compares each colour space it reads with every one
// read before it, so the time to load a config grows with the square of
// their number. Real configs hold a few hundred; one far beyond that is
// refused from a linear count of its entries before the parser sees it.
constexpr std::size_t kMaxColourSpaces = 4000;

std::size_t ColourSpaceEntries(const std::string& text) {
    std::size_t count = 0;
    for (auto at = text.find("!<ColorSpace>"); at != std::string::npos; at = text.find("!<ColorSpace>", at + 1))
        ++count;
    return count;
}

TLoadedConfig LoadConfig(const TConfigSource& source) {
    TLoadedConfig loaded;
    loaded.Path = source.Path;
    if (const std::size_t count = ColourSpaceEntries(source.Text); count > kMaxColourSpaces)
        throw EError(NotLoading(source.Path, "it holds " + std::to_string(count) + " colour spaces, more than the " +
                                                 std::to_string(kMaxColourSpaces) + " a config may hold"));
    try {
        std::istringstream text(source.Text);
        OCIO::ConfigRcPtr config = OCIO::Config::CreateFromStream(text)->createEditableCopy();
        config->setWorkingDir(FolderOf(source.Path).c_str());
        config->validate();
        loaded.Config = config;
        loaded.Active = config->getColorSpaces(nullptr);
    } catch (const std::exception& error) {
        throw EError(NotLoading(source.Path, Reason(error.what(), loaded)));
    }
    CheckNamedFiles(source, loaded);
    return loaded;
}

bool IsLinearEncoding(const std::string& encoding) {
    return encoding == "scene-linear" || encoding == "display-linear" || encoding == "data";
}

// A colour space whose values are linear light (taken with a shaper).
bool IsLinearSpace(const OCIO::ColorSpace& space) {
    const std::string encoding = space.getEncoding();
    return IsLinearEncoding(encoding) || (encoding.empty() && space.getAllocation() == OCIO::ALLOCATION_LG2);
}

// The config's default display and view, and why its results are not
// display colours ("" when they are), found once for all its spaces.
struct TDefaultView {
    const char* Display = nullptr;
    const char* View = nullptr;
    std::string Refusal;
};

TDefaultView DefaultViewOf(const TLoadedConfig& loaded) {
    const OCIO::Config& config = *loaded.Config;
    TDefaultView view;
    view.Display = config.getDefaultDisplay();
    view.View = view.Display ? config.getDefaultView(view.Display) : nullptr;
    if (!view.Display || !*view.Display || !view.View || !*view.View) {
        view.Refusal = "the config \"" + loaded.Path + "\" has no default display and view";
        view.View = nullptr;
        return view;
    }
    const char* outputName = config.getDisplayViewColorSpaceName(view.Display, view.View);
    OCIO::ConstColorSpaceRcPtr output = outputName ? config.getColorSpace(outputName) : nullptr;
    if (output && (output->isData() || IsLinearEncoding(output->getEncoding())))
        view.Refusal = "the view \"" + std::string(view.View) + "\" of the display \"" + view.Display +
                       "\" does not give 0..1 display colours";
    return view;
}

// Why a config colour space cannot be footage, or "" when it can. Linear
// spaces can: their LUTs carry a shaper.
std::string RefusalOf(const OCIO::ColorSpace& space) {
    if (space.isData() || space.getEncoding() == std::string("data"))
        return "the colour space \"" + std::string(space.getName()) + "\" holds data, not colours";
    return "";
}

std::string ConfigLabel(const std::string& name, const std::string& path, const char* display, const char* view) {
    const auto slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    return name + " (" + file + ": " + display + " / " + view + ")";
}

// The conversion of one config colour space, or null with `refusal` set.
std::unique_ptr<TFootageConversion> SpaceConversion(const TLoadedConfig& loaded, const TDefaultView& view,
                                                    const OCIO::ColorSpace& space, std::string& refusal) {
    refusal = view.View == nullptr ? view.Refusal : RefusalOf(space);
    if (refusal.empty()) refusal = view.Refusal;
    if (!refusal.empty()) return nullptr;
    const std::string name = space.getName();
    std::unique_ptr<TOcioFootage> footage;
    try {
        footage = std::make_unique<TOcioFootage>(
            ConfigLabel(name, loaded.Path, view.Display, view.View),
            loaded.Config->getProcessor(name.c_str(), view.Display, view.View, OCIO::TRANSFORM_DIR_FORWARD),
            IsLinearSpace(space));
    } catch (const std::exception& error) {
        refusal = "the colour space \"" + name + "\" of \"" + loaded.Path +
                  "\" does not convert: " + Reason(error.what(), loaded);
        return nullptr;
    }
    if (!footage->FiniteOnGrid()) {
        refusal = "the colour space \"" + name + "\" gives values that are not numbers";
        return nullptr;
    }
    return footage;
}

class TOcioColourModule final : public TColourModule {
public:
    std::unique_ptr<TFootageConversion> CameraLogConversion(const TCameraLog& log) const override {
        return CameraLogChain(log);
    }

    std::unique_ptr<TFootageConversion> LinearConversion(const TLinearSpace& space) const override {
        return LinearChain(space);
    }

    std::vector<std::string> UsableSpaces(const TConfigSource& source) const override {
        const TLoadedConfig loaded = LoadConfig(source);
        const TDefaultView view = DefaultViewOf(loaded);
        const OCIO::ConstColorSpaceSetRcPtr& spaces = loaded.Active;
        std::vector<std::string> names;
        for (int i = 0; i < spaces->getNumColorSpaces(); ++i) {
            const OCIO::ConstColorSpaceRcPtr space = spaces->getColorSpaceByIndex(i);
            std::string refusal;
            if (SpaceConversion(loaded, view, *space, refusal)) names.push_back(space->getName());
        }
        return names;
    }

    std::unique_ptr<TFootageConversion> ConfigConversion(const std::string& name,
                                                         const TConfigSource& source) const override {
        const TLoadedConfig loaded = LoadConfig(source);
        const OCIO::ConstColorSpaceRcPtr space = loaded.Config->getColorSpace(name.c_str());
        if (!space)
            throw EError("Unknown footage space \"" + name + "\": neither a camera log nor a colour space of \"" +
                         source.Path + "\".");
        std::string refusal;
        std::unique_ptr<TFootageConversion> footage = SpaceConversion(loaded, DefaultViewOf(loaded), *space, refusal);
        if (!footage) throw EError("The footage space \"" + name + "\" cannot be used: " + refusal + ".");
        return footage;
    }
};

}  // namespace

extern "C" const TColourModule* OmbraneColourModule(int* interfaceVersion) {
    static const TOcioColourModule module;
    *interfaceVersion = kColourModuleVersion;
    return &module;
}
