#pragma once
#include <lcms2.h>

#include <string>

// The bytes of a valid grey ICC profile (D50 white, gamma 2.2), as grey
// pictures carry: made by LittleCMS, for the tests of every floor.
inline std::string GreyIccProfile() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}
