#pragma once
#include <functional>
#include <string>

#include "Image.h"

// Grades the picture file input with grade (which must treat every pixel on
// its own, as a LUT does) and writes output (its type by extension). JPEG to JPEG streams in strips of rows, so that grading and
// encoding overlap the decoding and the picture is never held whole; the
// file is the same as the whole-picture road gives.
void GradePictureFile(const std::string& input, const std::string& output,
                      const std::function<void(TImage&)>& grade);
