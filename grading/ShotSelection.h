#pragma once
#include <cstdint>
#include <vector>

#include "engine/fit/LutFit.h"

struct TShotCorrespondence;

// Which pixels of a correspondence show one scene in both frames. The
// pixels whose structure agrees start it; a coarse look is fitted on them
// and those it misses are dropped, twice, so that content in a slightly
// wrong place whose structure still looks alike does not bend the look;
// then every overlapping pixel that the last look carries close to
// GRADED's colour, and whose structure does not disagree, is kept. Flat
// places (sky, walls) join this way when their colours follow the grade;
// places where the scenes differ in content or colour stay out.

// The least share of FRAME whose structure must agree before anything is
// kept: below it, whatever the homography aligned is taken as chance.
constexpr double kMinAgreeingShare = 0.02;

// The kept pixels' indices into the correspondence, in ascending order.
std::vector<std::uint32_t> SelectMatchedPixels(const TShotCorrespondence& pair, double smoothness);

// Every n-th index, n as small as leaves at most `most` of them: the fit
// needs far fewer pixels than a frame has to settle every grid point the
// colours reach.
std::vector<std::uint32_t> Thinned(const std::vector<std::uint32_t>& kept, std::size_t most);

// The kept pixels as a pair the fitter reads (FRAME before, GRADED after),
// in rows of up to 1024 pixels; a last partial row is left out. The
// correspondence and the indices must outlive it.
TPicturePair KeptPixelPairs(const TShotCorrespondence& pair, const std::vector<std::uint32_t>& kept);
