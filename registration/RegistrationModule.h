#pragma once
#include <cstddef>
#include <cstdint>

// Finding where two frames of one scene lie against each other, done with
// OpenCV's features and robust estimation in the module "ombrane-opencv.so",
// loaded the first time two shots are matched. Only plain buffers cross
// this interface.

// An 8-bit luma plane; the registration only reads it.
struct TLumaPlane {
    const std::uint8_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    std::size_t Stride = 0;
};

// The features the registration matches.
enum class TFeatureKind { Orb, Akaze };

// Where FRAME lies in GRADED: the homography (row by row) takes FRAME's
// pixel (x, y, 1) to GRADED's, pixel centres at whole coordinates. Found is
// false when the frames share too little to tell; the homography is then
// the identity.
struct TRegistration {
    bool Found = false;
    double Homography[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    int Matches = 0;  // feature pairs that passed the ratio test
    int Inliers = 0;  // of those, the pairs the homography carries within the tolerance
};

class TRegistrationModule {
public:
    virtual ~TRegistrationModule() = default;
    // Registers FRAME on GRADED. The same planes give the same result every
    // time, on any number of cores.
    virtual TRegistration Register(const TLumaPlane& graded, const TLumaPlane& frame, TFeatureKind features) const = 0;
};

// The module's entry: a C function with this name returning the module and
// putting this interface's version where its argument points.
inline constexpr const char* kRegistrationModuleEntry = "OmbraneRegistrationModule";
inline constexpr int kRegistrationModuleVersion = 1;

// The module, loaded the first time. EError when it is missing.
const TRegistrationModule& RegistrationModule();
