#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/lut/LUT.h"

struct TLutOutputProfile;

// Making the LUT a conversion writes with an output profile, and writing it.

// The source's comment lines without the converter's own signature.
std::vector<std::string> CarriedComments(const TLUT& source);

// Makes the LUT that a conversion writes with the profile at bits: a 3D
// profile gets a cube (a curve or curve-then-cube is baked; the size is the
// one asked for, else the source cube's own, else the profile's default for
// a curve source), a 1D profile gets a curve (a cube source is an error);
// a format that holds only one size gets that one unless another is asked
// for. size 0 means "not asked for", bits 0 the profile's default.
// A size the format cannot hold raises ESizeError saying which it takes.
std::unique_ptr<TLUT> PrepareForProfile(const TLUT& source, const TLutOutputProfile& profile, int size, int bits);
// The same into a LUT the caller owns (a distinct object from source),
// for callers that convert many tables without a 27 MB allocation each.
void PrepareForProfile(const TLUT& source, const TLutOutputProfile& profile, int size, int bits, TLUT& target);

// For a LUT read as a chain and a profile whose format holds a 1D table
// before its cube (HoldsShaper): the chain as a shaper curve then a cube at
// the size asked for (SplitChainAtShaper), as SaveCurveThenCube writes it;
// nullptr when the chain does not split so. A size the format cannot hold
// raises ESizeError.
std::unique_ptr<TLUT> PrepareShapedChain(const TLUT& source, const TLutOutputProfile& profile, int size, int bits);

// Prepares source for the profile and writes it to output with the
// profile's format at bits (0 = the profile's default); a chain that splits
// at a shaper is written as PrepareShapedChain makes it.
void WriteConverted(const TLUT& source, const std::string& output, const TLutOutputProfile& profile, int size,
                    int bits);
