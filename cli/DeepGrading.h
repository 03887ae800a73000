#pragma once
#include <string>

class TLUT;

// Grading of picture files for 'grade' and 'apply'.

// Refuses (EUsageError) an output picture whose extension no writer takes,
// before any work is done: the 8-bit ones and .tif, .tiff, .exr, .dpx.
void CheckGradedOutput(const std::string& fileName);

// Grades the picture input with the LUT and writes output. A picture of more
// than 8 bits (or any picture written as .tif, .tiff, .exr or .dpx) is graded
// at full precision through TLUT::LookupNormalized and written at the input's
// own format and depth, or the output extension's; the rest goes through the
// 8-bit road as before.
void GradePictureFile(const TLUT& lut, const std::string& input, const std::string& output);
