#pragma once
#include <string>
#include <vector>

// Clips rendered over ranges of one source's frames (--in/--out, on any
// number of machines) record the source and their range; joined, they give
// the clip one render of the whole range gives.

// The source a part records (its absolute name when the part was
// rendered), or "" when the clip records none.
std::string RecordedClipSource(const std::string& part);

// Joins the parts (in any order) into `output`, written atomically: their
// frames copied, the audio taken once from `source`. EError naming the part
// that does not belong (see TClipModule::Join), or when the output is one of
// the inputs.
void JoinClipParts(const std::vector<std::string>& parts, const std::string& source, const std::string& output);
