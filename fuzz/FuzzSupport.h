#pragma once
// Shared pieces of the fuzz targets: a scratch file per process, one LUT
// object reused by every run, the list of LUT formats, and the checks that
// turn a silent fault into an abort libFuzzer records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TLUT;
class TLUTFormat;

namespace fuzz {

// Writes the bytes to this process's scratch file with the given extension
// (".cube", ".jpg", ...) and returns its name. The file is rewritten for
// every input; the folder is removed when the process ends.
std::string WriteScratchFile(std::string_view bytes, const std::string& extension);
std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, const std::string& extension);

// One LUT object for the whole run: allocating and zeroing 27 MB per input
// would cost more than most readers.
TLUT& SharedLut();

// File extensions a LUT file may carry; some formats detect by extension.
const std::vector<std::string>& LutExtensions();

// Every LUT format the program knows, in registry order.
const std::vector<const TLUTFormat*>& Formats();

// Aborts when a size lies outside the LUT's tables: whatever a reader did,
// succeeded or not, it must leave CubeSize in 0..101 and CurveSize in
// 0..100001, or the next lookup or writer walks off the tables.
void CheckLutSizes(const TLUT& lut, const char* where);

// Reads the LUT back through its lookups at a few points, so that a table
// left in a state the engine cannot use shows up under the sanitizers.
void ExerciseLookups(const TLUT& lut);

// Runs the call; an EError (the system's error with a message) is the
// expected way to refuse input. Any other exception is a fault: it would
// reach the user without a proper message or escape a handler that only
// expects EError. Reports it and aborts.
template <class F>
void ExpectOnlyEError(const char* what, F&& call);

[[noreturn]] void Fail(const char* where, const std::string& message);
void ReportForeignException(const char* what);

}  // namespace fuzz

#include "engine/base/Error.h"

template <class F>
void fuzz::ExpectOnlyEError(const char* what, F&& call) {
    try {
        call();
    } catch (const EError&) {
        // The expected refusal.
    } catch (...) {
        ReportForeignException(what);
    }
}
