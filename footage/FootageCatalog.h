#pragma once
#include <string>
#include <vector>

// The footage spaces the program knows without a config: the display
// default and the camera logs, each converted by camera log -> ACES2065-1
// -> the ACES SDR video output transform -> Rec.709 (BT.1886) encoding.
struct TCameraLog {
    const char* Key;      // the short name for the command line
    const char* Label;    // the name the window and the LUT comment show
    const char* Builtin;  // OpenColorIO's built-in transform to ACES2065-1
};

// The scene-linear spaces the program knows without a config, each
// converted to ACES2065-1 by its built-in transform (none for ACES2065-1
// itself) or, for RGB spaces of D65 white, through CIE XYZ from its
// primaries, then as the camera logs are.
struct TLinearSpace {
    const char* Key;
    const char* Label;
    const char* Builtin;           // to ACES2065-1, or null
    const double* Chromaticities;  // red, green, blue, white x y pairs, or null
};

// The linear spaces in list order.
const std::vector<TLinearSpace>& LinearSpaces();

// The linear space whose key (ASCII case ignored) or label equals `name`, or null.
const TLinearSpace* FindLinearSpace(const std::string& name);

// The built-in transform from ACES2065-1 to CIE XYZ (D65) the RGB spaces go through backwards.
extern const char* const kAcesToXyzBuiltin;

// The default: the footage is already display-referred, nothing converts.
extern const char* const kDisplayFootageKey;
extern const char* const kDisplayFootageLabel;

// The camera logs in list order.
const std::vector<TCameraLog>& CameraLogs();

// The camera log whose key (ASCII case ignored) or label equals `name`, or null.
const TCameraLog* FindCameraLog(const std::string& name);

// True for the display default's key (ASCII case ignored) or label, and for "".
bool IsDisplayFootage(const std::string& name);

// The built-in transforms every camera log shares after its own.
extern const char* const kSdrVideoOutputBuiltin;
extern const char* const kRec709DisplayBuiltin;
