#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/InputFiles.h"

// Grading many pictures in one call: the inputs (pictures and folders) are
// turned into a plan of input/output pairs, checked as a whole before any
// work starts, and worked off by a pool of threads. One failed picture is
// reported and the others go on.

struct TBatchSettings {
    std::string Folder;      // where the outputs go (created when missing)
    std::string Format;      // output extension without the dot; "" keeps each input's
    int Jobs = 1;            // pictures in flight at once
    bool Quiet = false;      // no progress, errors only
    bool Force = false;      // an existing output may be replaced
    bool Recursive = false;  // folders' sub-folders too
};

struct TBatchItem {
    std::string Input;
    std::string Output;
};

// The options the batch road adds to apply and grade.
std::vector<TOptionSpec> BatchOptionSpecs();

// True when the command line asks for the batch road: more pictures than
// the single form takes, a folder among them, or an output that is a folder.
bool WantsBatch(const TArguments& arguments, std::size_t singlePictures);

// The settings from -o, --format, -j, -q, --force and -r (EUsageError for
// bad values).
TBatchSettings BatchSettingsFrom(const TArguments& arguments);

struct TBatchPlan {
    std::vector<TBatchItem> Items;
    std::vector<std::string> UnreadFolders;  // a message for each folder that could not be read
};

// The pictures named by the inputs (a folder gives its picture files in
// name order, its sub-folders too with Recursive) and their outputs. A
// folder reached again through a link is left out with a line saying so.
// Refuses (EUsageError) before anything is written: an output that is no
// folder (a file, a picture file name, a link to nothing), no picture among
// the inputs, an output that is one of the inputs (the pictures or
// otherInputs, the reference or LUT), two inputs with the same output.
TBatchPlan PlanBatch(const std::vector<std::string>& inputs, const TBatchSettings& settings, TInputFiles otherInputs);

// Runs work(item) for every item on settings.Jobs threads. An item whose
// output exists is refused unless Force, also when it comes into being while
// the item is written (the write then never replaces it). The folders that
// could not be read are reported first. Failures are reported one line
// each ("ombrane-cli: INPUT: reason") on the error stream; a progress line
// is kept up to date when that stream is a terminal and not Quiet. Returns
// the exit status: 0 when every picture was written and every folder read,
// 1 otherwise (with summary lines).
int RunBatch(const TBatchPlan& plan, const TBatchSettings& settings,
             const std::function<void(const TBatchItem&)>& work);
