#pragma once
#include <string>

class TDeepImage;

// Grading of picture files for 'grade' and 'apply'.

// Refuses (EUsageError) an output picture whose extension no writer takes,
// before any work is done: the 8-bit ones and .tif, .tiff, .exr, .dpx.
void CheckGradedOutput(const std::string& fileName);

// Loads a picture at its own depth, or the frame --frame chooses of a clip;
// an 8-bit picture is widened. A loader's message that does not name the
// file gets it in front. (The full-precision road of the pictures graded
// is imageio/GradedPictureFile.h.)
TDeepImage LoadDeep(const std::string& fileName);
