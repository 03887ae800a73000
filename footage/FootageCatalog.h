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
