#include "footage/FootageCatalog.h"

const char* const kDisplayFootageKey = "display";
const char* const kDisplayFootageLabel = "Display (Rec.709 / sRGB)";
const char* const kSdrVideoOutputBuiltin = "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0";
const char* const kRec709DisplayBuiltin = "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709";
const char* const kAcesToXyzBuiltin = "UTILITY - ACES-AP0_to_CIE-XYZ-D65_BFD";

namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

const std::vector<TCameraLog>& CameraLogs() {
    static const std::vector<TCameraLog> logs = {
        {"arri-logc", "ARRI LogC (EI 800) / ALEXA Wide Gamut", "ARRI_ALEXA-LOGC-EI800-AWG_to_ACES2065-1"},
        {"slog3-sgamut3", "Sony S-Log3 / S-Gamut3", "SONY_SLOG3-SGAMUT3_to_ACES2065-1"},
        {"slog3-sgamut3cine", "Sony S-Log3 / S-Gamut3.Cine", "SONY_SLOG3-SGAMUT3.CINE_to_ACES2065-1"},
        {"vlog", "Panasonic V-Log / V-Gamut", "PANASONIC_VLOG-VGAMUT_to_ACES2065-1"},
        {"clog2", "Canon Log 2 / Cinema Gamut", "CANON_CLOG2-CGAMUT_to_ACES2065-1"},
        {"clog3", "Canon Log 3 / Cinema Gamut", "CANON_CLOG3-CGAMUT_to_ACES2065-1"},
        {"log3g10", "RED Log3G10 / REDWideGamutRGB", "RED_LOG3G10-RWG_to_ACES2065-1"},
        {"acescct", "ACEScct", "ACEScct_to_ACES2065-1"},
    };
    return logs;
}

const TCameraLog* FindCameraLog(const std::string& name) {
    const std::string key = LowerAscii(name);
    for (const TCameraLog& log : CameraLogs())
        if (key == log.Key || name == log.Label) return &log;
    return nullptr;
}

const std::vector<TLinearSpace>& LinearSpaces() {
    static constexpr double kRec709[] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    static constexpr double kRec2020[] = {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290};
    static constexpr double kP3D65[] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};
    static const std::vector<TLinearSpace> spaces = {
        {"aces2065-1", "ACES2065-1 (linear AP0)", nullptr, nullptr},
        {"acescg", "ACEScg (linear AP1)", "ACEScg_to_ACES2065-1", nullptr},
        {"linear-rec709", "Linear Rec.709 / sRGB", nullptr, kRec709},
        {"linear-rec2020", "Linear Rec.2020", nullptr, kRec2020},
        {"linear-p3d65", "Linear P3-D65", nullptr, kP3D65},
    };
    return spaces;
}

const TLinearSpace* FindLinearSpace(const std::string& name) {
    const std::string key = LowerAscii(name);
    for (const TLinearSpace& space : LinearSpaces())
        if (key == space.Key || name == space.Label) return &space;
    return nullptr;
}

bool IsDisplayFootage(const std::string& name) {
    return name.empty() || LowerAscii(name) == kDisplayFootageKey || name == kDisplayFootageLabel;
}
