#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// The picture file types, each described once: its extensions, how it is
// read and written, and where it is offered. The loaders, the dialogs, the
// drop target, the command line and its help texts all read their lists
// from here, so that a new type is one row of the table (and its codec).
//
// A file's type is chosen by its name's extension, compared without regard
// to case.

// How the 24-bit road reads and writes a type.
struct TEightBitCoding {
    // Decodes a whole file's bytes into a 24-bit picture; EError when the
    // file is damaged (std::bad_alloc is left to the caller).
    void (*Decode)(const std::string& bytes, TImage& target);
    // The file's bytes of the picture, with the colour profile icc embedded
    // (none when it is empty). nullptr for a type not written in 8 bits.
    std::string (*Encode)(const TImage& image, const std::string& icc);
    // The file carries a colour profile: one read is converted to sRGB, and
    // a picture is written in the profile asked for (else always in sRGB).
    bool Profiled;
};

// Which road reads and writes a type at what depth.
enum class TDepthRule {
    EightBit,      // 24-bit pictures only, read and written by the 24-bit road
    EightOrDeep,   // 24-bit road, except files whose header declares 16-bit samples; written at depth
    Deep,          // read and written at its own depth through the picture library
    DeepReadOnly,  // read at its own depth, never written
};

// The sample storages a type's files hold: the depth a picture is written at
// is the nearest of them to the picture's own.
struct TStorageRule {
    // The integer sample sizes held, ascending (0 ends the list); none: an
    // integer picture is written in half floats.
    int IntegerBits[4];
    // What half and float samples are written as (TSampleKind::Integer: at
    // the largest integer size).
    TSampleKind HalfAs;
    TSampleKind FloatAs;
    // The picture's compression is carried into the file.
    bool KeepsCompression;
};

// Which of a type's extensions the help names with the depth it writes.
enum class THelpExtensions { None, Own, All };

struct TPictureFormat {
    // The label of the type's filter in the open dialog; types next to each
    // other with the same label share one filter.
    const char* DialogLabel;
    // The extensions without the dot, separated by blanks; the first is the
    // type's own.
    std::string_view Extensions;
    // The picture library's name of the format, also the name of a picture's
    // storage (TPictureDepth::Format).
    const char* Library;
    TDepthRule Depth;
    // The 24-bit road's coding; nullptr when only the deep road reads it.
    const TEightBitCoding* EightBit;
    // The storage written when the source's format is another one.
    TSampleKind DefaultKind;
    int DefaultBits;
    // The type's place in the list of written types the graded-output
    // message gives (from 1); 0 for a type not written.
    int WriterPlace;
    // Offered by the dialog that adds pictures to the reference library.
    bool Reference;
    // The depths the type's files hold.
    TStorageRule Storage;
    // The type's name in the help texts.
    const char* HelpName;
    // The type's place in the help's list of types graded at their own
    // precision (from 1); 0 for a type not in it.
    int DeepHelpPlace;
    // The extensions the help names with the depth written for them.
    THelpExtensions DepthHelp;
    // The MIME types the desktop entry opens the type as, separated by
    // blanks (empty for none), and the type's place in the entry's list.
    std::string_view MimeTypes;
    int DesktopPlace;
};

// The table, in the order lists show the types.
std::span<const TPictureFormat> PictureFormats();

// The type whose library format name is `library` ("png"), or nullptr.
const TPictureFormat* FindPictureFormatByLibrary(std::string_view library);

// The depths the files of the library format `library` hold; for a format
// the table does not know, 8 and 16-bit integers, half and float.
const TStorageRule& StorageRuleOf(std::string_view library);

// The types with a place in a list, in the order of their places.
std::vector<const TPictureFormat*> PictureFormatsByPlace(int TPictureFormat::*place);

// The desktop entry's MIME types of the picture types, each followed by a
// semicolon ("image/jpeg;image/png;...;").
std::string DesktopMimeTypes();

// The extension after the last dot of the file name (not of a folder),
// lower case (ASCII letters only), without the dot; empty when there is none.
std::string LowerExtension(std::string_view fileName);
// The text with ASCII capitals made small, as extensions are compared.
std::string LowerAscii(std::string_view text);

// The type's extensions, without the dot.
std::vector<std::string> PictureExtensionsOf(const TPictureFormat& format);

// The type the file name's extension names, or nullptr.
const TPictureFormat* FindPictureFormat(std::string_view fileName);

// The types a list takes.
enum class TPictureRole {
    Read,          // every type read
    Written,       // every type written, at any depth
    WrittenDeep,   // written at more than 8 bits (PNG too)
    DeepOnly,      // read and written by the deep road only
    EightBitRead,  // read by the 24-bit road
    EightBitWritten,
    Reference,
    ReadOnly,  // read, never written
};
bool HasRole(const TPictureFormat& format, TPictureRole role);

// The extensions of the types with the role, in table order.
std::vector<std::string> PictureExtensions(TPictureRole role);
// The file name's extension is one of a type with the role.
bool IsPictureName(std::string_view fileName, TPictureRole role);

// "a, b or c", each item after prefix ("." for ".jpg").
std::string ListOfExtensions(const std::vector<std::string>& extensions, std::string_view prefix);
// "*.jpg;*.jpeg" for the types with the role.
std::string PicturePatterns(TPictureRole role);
// A filter for each dialog label: "JPEG Image File|*.jpg;*.jpeg|Bitmaps|*.bmp|...".
std::string PictureTypeFilters();
// The same for the types with the role, the types of the library format
// `except` ("jpeg", ...) left out.
std::string PictureTypeFilters(TPictureRole role, std::string_view except = {});
