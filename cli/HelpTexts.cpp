#include "HelpTexts.h"

#include <cstdio>

namespace {

#define GRADING_OPTIONS                                                                    \
    "Grading options (slider positions, integers 0..200, default 100):\n"                  \
    "  --gain N          Color Gain\n"                                                     \
    "  --saturation N    overall saturation\n"                                             \
    "  --yellow N  --orange N  --red N  --violet N  --blue N  --green N\n"                 \
    "                    saturation of the six hue families\n"                             \
    "  --low N  --middle N  --high N\n"                                                    \
    "                    saturation of low, middle and high tones\n"                       \
    "  --basic-analysis  turn \"Advanced Color Analysis\" off\n"                           \
    "  --compress-saturation\n"                                                            \
    "                    turn \"Compress Saturation\" on\n"

#define REFERENCE_TEXT                                                                     \
    "REFERENCE is a JPEG, BMP or PNG picture. One within 150 x 150 pixels is taken as a\n" \
    "file of the reference library; a larger one is first reduced as adding it to the\n"  \
    "library does. Its 150 x 150 thumbnail cell is analysed, exactly as the window does\n" \
    "for the selected reference.\n"

} // namespace

const std::string_view kProgramHelp =
    "Usage: ombrane-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Quor Ombrane on the command line: the engine and LUT formats of the window.\n"
    "\n"
    "Commands:\n"
    "  profiles   list the output profiles\n"
    "  formats    list the LUT file formats\n"
    "  look       build the look of a reference and write it as a LUT file\n"
    "  grade      grade a picture with the look of a reference\n"
    "  convert    convert a LUT file to another format or size\n"
    "  apply      apply a LUT file to a picture\n"
    "  library    list, add, rename and delete reference pictures\n"
    "\n"
    "'ombrane-cli COMMAND --help' describes a command.\n"
    "Exit status: 0 success, 1 failure, 2 a bad command line.\n";

const std::string_view kProfilesHelp =
    "Usage: ombrane-cli profiles\n"
    "\n"
    "Lists the output profiles in list order, one a line, fields separated by tabs:\n"
    "number (from 1), name, extension, default size, default bits, 3D or 1D.\n";

const std::string_view kFormatsHelp =
    "Usage: ombrane-cli formats\n"
    "\n"
    "Lists the LUT file formats in list order, one a line, fields separated by tabs:\n"
    "index (from 0), name, 3D or 1D, 'read' or '-', 'write' or '-'.\n";

const std::string_view kLookHelp =
    "Usage: ombrane-cli look REFERENCE -o OUTPUT [--profile P] [--size N] [--bits B]\n"
    "                        [grading options]\n"
    "\n"
    "Builds the look of REFERENCE and writes it as a 3D LUT file with an output profile.\n"
    "\n" REFERENCE_TEXT
    "\n"
    "  -o, --output FILE  the LUT file to write\n"
    "  --profile P        the output profile by exact name or number (see 'profiles');\n"
    "                     without it the first 3D profile whose extension ends OUTPUT\n"
    "  --size N           grid size 2..101, only for profiles that let you choose it\n"
    "  --bits B           bit depth 8, 10, 12, 14 or 16, only where the profile allows\n"
    "\n" GRADING_OPTIONS;

const std::string_view kGradeHelp =
    "Usage: ombrane-cli grade REFERENCE IMAGE -o OUTPUT [grading options]\n"
    "\n"
    "Grades IMAGE at its full size with the 33-point look of REFERENCE, as \"Save Graded\n"
    "Image\" does. OUTPUT by extension: .jpg or .jpeg JPEG at quality 100, .bmp 24-bit\n"
    "bitmap, .png PNG.\n"
    "\n" REFERENCE_TEXT
    "\n"
    "  -o, --output FILE  the picture to write\n"
    "\n" GRADING_OPTIONS;

const std::string_view kConvertHelp =
    "Usage: ombrane-cli convert INPUT -o OUTPUT [--profile P] [--size N] [--bits B]\n"
    "                           [--cc-id ID]\n"
    "\n"
    "Reads INPUT with the first format (in 'formats' order) that recognises it and\n"
    "writes it with an output profile's format.\n"
    "\n"
    "  -o, --output FILE  the LUT file to write\n"
    "  --profile P        the output profile by exact name or number (see 'profiles');\n"
    "                     without it the first profile whose extension ends OUTPUT,\n"
    "                     1D profiles first for a 1D input, 3D profiles first otherwise\n"
    "  --size N           resample to N grid points (3D) or curve entries (1D)\n"
    "  --bits B           bit depth 8, 10, 12, 14 or 16, only where the profile allows\n"
    "  --cc-id ID         the correction with this id of an ASC CDL collection (.ccc,\n"
    "                     .cdl); without it the first\n"
    "\n"
    "The input keeps its size unless --size is given or the target format holds only\n"
    "one size. A 1D LUT written to a 3D profile, or a curve followed by a cube, is\n"
    "baked into a cube (a 1D LUT at the profile's default size); a 3D LUT cannot be\n"
    "written to a 1D profile.\n";

const std::string_view kApplyHelp =
    "Usage: ombrane-cli apply LUTFILE IMAGE -o OUTPUT\n"
    "\n"
    "Reads LUTFILE (any readable format) and applies it to IMAGE at full size.\n"
    "OUTPUT by extension: .jpg or .jpeg JPEG at quality 100, .bmp 24-bit bitmap, .png.\n"
    "\n"
    "  -o, --output FILE  the picture to write\n";

const std::string_view kLibraryHelp =
    "Usage: ombrane-cli library [--library DIR] list\n"
    "       ombrane-cli library [--library DIR] add [--force] FILE...\n"
    "       ombrane-cli library [--library DIR] rename OLD NEW\n"
    "       ombrane-cli library [--library DIR] delete NAME\n"
    "\n"
    "The reference library: the folder from the settings, as the window uses, or DIR.\n"
    "\n"
    "  list     prints the library's file names, one a line\n"
    "  add      reduces each picture to fit 150 x 150 and stores it as NAME.jpeg;\n"
    "           an existing file of that name is replaced only with --force\n"
    "  rename   gives the file OLD (a file name or a caption) the caption NEW,\n"
    "           keeping its extension, and prints the new file name\n"
    "  delete   removes the file NAME (a file name or a caption)\n";

int PrintHelp(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
