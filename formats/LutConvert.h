#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "formats/FormatText.h"

class TLUTFormat;
struct TLutOutputProfile;

// Converting LUT files from one format to another: choosing the reader and
// the output profile, baking and resampling tables at new grid points, and
// carrying the comments over. Every table value is taken from the source
// LUT's own lookups, so a conversion never interprets a table differently
// from the way applying it to an image does.

// A grid size or curve length the target format cannot hold; the message
// says which it takes.
class ESizeError : public EError {
public:
    using EError::EError;
};

// Index of the first format in detection order (LutDetectionOrder) whose CanRead accepts the
// file, or -1 when none does. The head of the file is read once for all
// formats; a file that cannot be read raises that error.
int FindReaderFormat(const std::string& fileName);

// Reads a LUT file with the first format that accepts it. A missing file or
// one no format reads raises EError naming the file; a reader's error is
// raised again with the file named in front. formatIndex, when given,
// receives the index of the format that read it.
std::unique_ptr<TLUT> ReadLutFile(const std::string& fileName, int* formatIndex = nullptr);

// Raises EError unless the tables the LUT's Kind uses have a usable size
// (2..101 cube points, 2..100001 curve entries); a reader may leave an
// empty curve behind without an error.
void CheckUsableTables(const TLUT& lut);

// Whether the format at this index can read files (three 1D formats are
// writers only) and whether it can write them (four formats are readers
// only; exactly those have no output profile).
bool FormatReads(int formatIndex);
bool FormatWrites(int formatIndex);

// The format an output profile writes with; EError when its index is stale.
TLUTFormat& ProfileFormat(const TLutOutputProfile& profile);
bool ProfileIs3D(const TLutOutputProfile& profile);

// The profile with exactly this name, or with this 1-based number in list
// order; nullptr when there is none.
const TLutOutputProfile* FindOutputProfile(const std::string& nameOrNumber);

// The first profile in list order of the given kind (3D or 1D) whose
// extension ends the file name after a dot, compared without regard to
// ASCII case; nullptr when there is none.
const TLutOutputProfile* FindProfileForFile(const std::string& fileName, bool want3D);

// Grid sizes a format's writer can hold at a bit depth. Most 3D formats
// take every size of 2..101 and 1D formats every length of 2..100001; a
// few accept fewer (Autodesk Lustre 3D 2^k + 1 points, FSI DIT 64 points,
// Codex 1D 2^bits entries, since its reader divides by the length).
bool WriterTakesSize(const TLUTFormat& format, int size, int bits);
// The sizes as text for a message: "2 to 101", "2, 3, 5, 9, 17, 33 or 65", "64".
std::string WriterSizesText(const TLUTFormat& format, int bits);
// The one size a format holds at this bit depth, or 0 when it holds more.
int WriterOnlySize(const TLUTFormat& format, int bits);

// Fills target's cube with size points per axis, each grid point the
// source's LookupNormalized at that point; Kind becomes lkCube. A cube
// source of the same size is copied as it stands.
void BakeCube(const TLUT& source, int size, TLUT& target);

// Fills target's curve with size entries, each the source curve
// interpolated at that entry; Kind becomes lkCurve. The source must hold
// a curve; at the same length it is copied as it stands.
void ResampleCurve(const TLUT& source, int size, TLUT& target);

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
