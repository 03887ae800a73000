#pragma once
#include <functional>
#include <string>

#include "engine/picture/Image.h"

struct TOutputProfileChoice;

// Grades a JPEG file into a JPEG file at quality 100 in strips of rows,
// without holding the whole picture: grade is called once for each strip (a
// short image of the picture's width), from one of two threads, and may run
// on two strips at once. The file
// written is the same as loading the picture, grading it whole and saving
// it with SaveJpegFile when grade treats each row on its own.
// The strips are graded in sRGB: a picture in another colour space is
// converted before grade and, after it, into the space the choice gives,
// which the file written carries.
void GradeJpegFile(const std::string& input, const std::string& output, const std::function<void(TImage&)>& grade);
void GradeJpegFile(const std::string& input, const std::string& output, const std::function<void(TImage&)>& grade,
                   const TOutputProfileChoice& choice);
