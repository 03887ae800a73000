#include <OpenColorIO/OpenColorIO.h>

// The module "ombrane-ocio.so": the footage spaces' conversions built by
// OpenColorIO, behind the TColourModule interface.

#include <cmath>
#include <cstdlib>
#include <exception>

#include "ColourModule.h"
#include "Error.h"
#include "FootageCatalog.h"

namespace OCIO = OCIO_NAMESPACE;

namespace {

constexpr int kCheckGrid = 5;  // grid points per axis of the finiteness check

// A footage space converted by one CPU processor; results are clamped to 0..1.
class TOcioFootage : public TFootageConversion {
public:
    TOcioFootage(std::string label, const OCIO::ConstProcessorRcPtr& processor)
        : label_(std::move(label)), cpu_(processor->getDefaultCPUProcessor()) {}

    std::string Label() const override { return label_; }

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
};

std::unique_ptr<TFootageConversion> CameraLogChain(const TCameraLog& log) {
    auto group = OCIO::GroupTransform::Create();
    for (const char* style : {log.Builtin, kSdrVideoOutputBuiltin, kRec709DisplayBuiltin}) {
        auto step = OCIO::BuiltinTransform::Create();
        step->setStyle(style);
        group->appendTransform(step);
    }
    return std::make_unique<TOcioFootage>(log.Label, OCIO::Config::CreateRaw()->getProcessor(group));
}

OCIO::ConstConfigRcPtr LoadConfig(const std::string& path) {
    try {
        OCIO::ConstConfigRcPtr config = OCIO::Config::CreateFromFile(path.c_str());
        config->validate();
        return config;
    } catch (const std::exception& error) {
        throw EError("The OpenColorIO config \"" + path + "\" does not load: " + error.what());
    }
}

bool IsLinearEncoding(const std::string& encoding) {
    return encoding == "scene-linear" || encoding == "display-linear" || encoding == "data";
}

// Why a config colour space cannot be footage for a LUT, or "" when it can:
// a LUT takes 0..1 values, which linear and data spaces do not hold, and its
// results must be display colours.
std::string RefusalOf(const OCIO::Config& config, const OCIO::ColorSpace& space, const char* display,
                      const char* view) {
    const std::string name = space.getName();
    if (space.isData())
        return "the colour space \"" + name + "\" holds data, not colours";
    const std::string encoding = space.getEncoding();
    bool linear = IsLinearEncoding(encoding);
    if (encoding.empty() && space.getAllocation() == OCIO::ALLOCATION_LG2) linear = true;
    if (linear)
        return "the colour space \"" + name +
               "\" is linear: its values are not 0..1, and a LUT would need a shaper for it "
               "(scene-linear footage is not supported yet)";
    const char* outputName = config.getDisplayViewColorSpaceName(display, view);
    OCIO::ConstColorSpaceRcPtr output = outputName ? config.getColorSpace(outputName) : nullptr;
    if (output && (output->isData() || IsLinearEncoding(output->getEncoding())))
        return "the view \"" + std::string(view) + "\" of the display \"" + display +
               "\" does not give 0..1 display colours";
    return "";
}

std::string ConfigLabel(const std::string& name, const std::string& path, const char* display,
                        const char* view) {
    const auto slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    return name + " (" + file + ": " + display + " / " + view + ")";
}

// The conversion of one config colour space, or null with `refusal` set.
std::unique_ptr<TFootageConversion> SpaceConversion(const OCIO::ConstConfigRcPtr& config,
                                                     const std::string& path, const std::string& name,
                                                     std::string& refusal) {
    OCIO::ConstColorSpaceRcPtr space = config->getColorSpace(name.c_str());
    const char* display = config->getDefaultDisplay();
    const char* view = display ? config->getDefaultView(display) : nullptr;
    if (!display || !*display || !view || !*view) {
        refusal = "the config \"" + path + "\" has no default display and view";
        return nullptr;
    }
    refusal = RefusalOf(*config, *space, display, view);
    if (!refusal.empty()) return nullptr;
    std::unique_ptr<TOcioFootage> footage;
    try {
        footage = std::make_unique<TOcioFootage>(
            ConfigLabel(space->getName(), path, display, view),
            config->getProcessor(space->getName(), display, view, OCIO::TRANSFORM_DIR_FORWARD));
    } catch (const std::exception& error) {
        refusal = "the colour space \"" + name + "\" does not convert: " + error.what();
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

    std::vector<std::string> UsableSpaces(const std::string& configPath) const override {
        const OCIO::ConstConfigRcPtr config = LoadConfig(configPath);
        std::vector<std::string> names;
        for (int i = 0; i < config->getNumColorSpaces(); ++i) {
            const std::string name = config->getColorSpaceNameByIndex(i);
            std::string refusal;
            if (SpaceConversion(config, configPath, name, refusal)) names.push_back(name);
        }
        return names;
    }

    std::unique_ptr<TFootageConversion> ConfigConversion(const std::string& name,
                                                         const std::string& configPath) const override {
        const OCIO::ConstConfigRcPtr config = LoadConfig(configPath);
        if (!config->getColorSpace(name.c_str()))
            throw EError("Unknown footage space \"" + name + "\": neither a camera log nor a colour space of \"" +
                         configPath + "\".");
        std::string refusal;
        std::unique_ptr<TFootageConversion> footage = SpaceConversion(config, configPath, name, refusal);
        if (!footage) throw EError("The footage space \"" + name + "\" cannot be used: " + refusal + ".");
        return footage;
    }
};

}  // namespace

extern "C" const TColourModule* OmbraneColourModule() {
    static const TOcioColourModule module;
    return &module;
}
