#pragma once
// Converting LUT files from one format to another: choosing the reader
// (LutDetection.h) and the output profile (LutProfiles.h), baking and
// resampling tables at new grid points (LutResampling.h, LutBaking.h) to
// sizes the writer holds (WriterSizes.h), and carrying the comments over.
// Every table value is taken from the source LUT's own lookups, so a
// conversion never interprets a table differently from the way applying it
// to an image does.

#include "formats/FormatText.h"
#include "formats/LutBaking.h"
#include "formats/LutDetection.h"
#include "formats/LutProfiles.h"
#include "formats/LutResampling.h"
#include "formats/WriterSizes.h"
