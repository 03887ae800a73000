#include "cli/HelpTexts.h"

#include <cstdio>
#include <string>

#include "cli/GradingOptions.h"
#include "cli/PictureHelp.h"

namespace {

#define INTERPOLATION_OPTION                                                     \
    "  --interpolation I  how cubes are looked up: trilinear (the default) or\n" \
    "                     tetrahedral; a file that names its own keeps it\n"

#define FOOTAGE_OPTIONS                                                                      \
    "Footage options:\n"                                                                     \
    "  --footage SPACE   the colour space of the footage (see 'footage'), by key or name;\n" \
    "                    default display: pictures as they are shown\n"                      \
    "  --config FILE     an OpenColorIO config whose colour spaces SPACE may name\n"         \
    "                    (default: the OCIO environment variable)\n"

#define BATCH_OPTIONS                                                              \
    "Many pictures at once: give several INPUTs (pictures, or folders for their\n" \
    "pictures) and -o FOLDER. Each output keeps its input's name and type.\n"      \
    "  -j, --jobs N       pictures in parallel (default: all cores)\n"             \
    "  --format EXT       write every output as {written}\n"                       \
    "  -r, --recursive    take the pictures of sub-folders too\n"                  \
    "  --force            replace outputs that exist (never an input)\n"           \
    "  -q, --quiet        no progress line, errors only\n"

#define BATCH_FAILURES                                                              \
    "A picture that fails is reported and the others go on; the status is 1 when\n" \
    "any failed.\n"

#define OUTPUT_PROFILE_OPTION                                                                \
    "  --output-profile P srgb, source (the default) or an ICC profile file: the colour\n"   \
    "                     space OUTPUT is written in. A picture carrying a colour profile\n" \
    "                     other than sRGB is graded in sRGB and written back into its\n"     \
    "                     own space, that profile embedded (a grey profile's in sRGB:\n"     \
    "                     the output holds colour)\n"

#define DEEP_TEXT "{deep-pictures}\n"

#define CLIP_TEXT                                                                         \
    "A clip (.mov, .mp4, .mkv, .mxf, .avi: ProRes, DNxHD/HR, H.264, HEVC, FFV1, MJPEG,\n" \
    "...) is taken wherever a picture is: --frame chooses its frame. 10- and 12-bit\n"    \
    "frames are graded at float precision, 8-bit frames as 24-bit pictures; Y'CbCr is\n"  \
    "converted by the BT.601, BT.709 or BT.2020 formula its tags name (limited or full\n" \
    "range; untagged HD as BT.709 limited).\n"                                            \
    "  --frame F          the frame: a number from 0, a timecode HH:MM:SS:FF from the\n"  \
    "                     clip's start, or seconds like 2.5s (default: the first)\n"      \
    "An image sequence is a clip too: a pattern like plate.%04d.exr or shot_####.dpx\n"   \
    "(quoted for the shell), or a numbered file of the run with --sequence. Its\n"        \
    "frames are counted from its first file as 0, whatever number that file bears;\n"     \
    "messages name the files. Every file of the run must be there, of the first's\n"      \
    "size; each is read at its own depth, as the same file alone would be.\n"             \
    "  --sequence         take the numbered file (shot_0001.dpx) as its whole run\n"      \
    "  --fps R            a sequence's frames a second: 24 (default), 25, 23.976,\n"      \
    "                     24000/1001, ...\n"

#define RENDER_TEXT                                                                       \
    "With a clip as OUTPUT the whole clip is graded and written: each frame at its own\n" \
    "depth, encoded as the input is (ProRes and DNxHD/HR in the same profile, FFV1,\n"    \
    "H.264 at CRF 16, HEVC at CRF 18), with the same size, rate, pixel format and\n"      \
    "colour tags; audio, timecode and chapters are copied. A progress line shows on a\n"  \
    "terminal. A frame that cannot be decoded fails the render and names the frame.\n"    \
    "  --in F  --out F    render the frames from F (default the first) up to before\n"    \
    "                     --out's (default to the end); F as for --frame\n"               \
    "                     (the clip records the range: see 'ombrane-cli join --help')\n"  \
    "  --codec NAME       the encoder by FFmpeg's name (prores_ks, dnxhd, ffv1,\n"        \
    "                     libx264, libx265, ...)\n"                                       \
    "  --crf N            the constant-rate factor of encoders that have one\n"           \
    "A clip or an image sequence is rendered to an image sequence as OUTPUT\n"            \
    "(-o out.%04d.exr): each frame in the source's format and depth or the\n"             \
    "extension's, written on its own and atomically under the number its source\n"        \
    "file bears (a clip's frame number); a sequence's frame is graded as its file\n"      \
    "alone would be. A failing frame stops the render; the frames before it stay.\n"      \
    "--in and --out split a sequence render over machines with nothing to join.\n"

#define LOOK_DOCUMENT_TEXT                                                              \
    "A look document (FILE.olook, written by the window's Save Look or by\n"            \
    "--save-look) holds a whole look: the reference's cell, every control, the\n"       \
    "statistics of a matched frame, the footage, or a kept LUT. With --look it takes\n" \
    "REFERENCE's place; each grading option given moves its control on top of the\n"    \
    "document's, --footage and --interpolation replace the document's.\n"

#define REFERENCE_TEXT                                                                      \
    "REFERENCE is a {eight-bit-names} picture. One within 150 x 150 pixels is taken as a\n" \
    "file of the reference library; a larger one is first reduced as adding it to the\n"    \
    "library does. Its 150 x 150 thumbnail cell is analysed, exactly as the window does\n"  \
    "for the selected reference.\n"

}  // namespace

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
    "  footage    list the footage colour spaces\n"
    "  stats      print the colour statistics of a picture as the look measures them\n"
    "  scopes     draw the waveform, vectorscope and histogram of a picture\n"
    "  learn      learn the LUT that turns a picture into its graded version\n"
    "  look-info  print what a look document (.olook) holds\n"
    "  match      fit the LUT that grades a frame like a graded frame of its scene\n"
    "  join       join clips rendered over ranges of one clip into one clip\n"
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

const std::string_view kLookHelpHead =
    "Usage: ombrane-cli look REFERENCE -o OUTPUT [--profile P] [--size N] [--bits B]\n"
    "                        [--match FRAME [--frame F]] [grading options]\n"
    "       ombrane-cli look REFERENCE [...] --save-look FILE.olook [-o OUTPUT]\n"
    "       ombrane-cli look --look FILE.olook -o OUTPUT [--profile P] [--size N] [--bits B]\n"
    "\n"
    "Builds the look of REFERENCE and writes it as a 3D LUT file with an output profile.\n"
    "\n" REFERENCE_TEXT LOOK_DOCUMENT_TEXT
    "\n"
    "  -o, --output FILE  the LUT file to write\n"
    "  --profile P        the output profile by exact name or number (see 'profiles');\n"
    "                     without it the first 3D profile whose extension ends OUTPUT\n"
    "  --size N           grid size 2..101, only for profiles that let you choose it\n"
    "  --bits B           bit depth 8, 10, 12, 14 or 16, only where the profile allows\n"
    "  --match FRAME      \"Match Preview Colours\": take FRAME's own colour cast and\n"
    "                     spread out first (FRAME measured as the window's preview,\n"
    "                     fitted into 1000 x 500); the LUT's comment names FRAME\n"
    "  --save-look FILE   also (or, without -o, only) write the look as a look\n"
    "                     document: REFERENCE's cell and hash, the controls, the\n"
    "                     statistics of FRAME with --match, the footage\n"
    "  --look FILE        the look of a look document instead of REFERENCE; a LUT it\n"
    "                     keeps is written as 'convert' writes it (any profile, its own\n"
    "                     size unless --size)\n"
    "\n" CLIP_TEXT "\n";
const std::string kLookHelpText =
    std::string(kLookHelpHead) + GradingOptionsHelp() +
    "\n" FOOTAGE_OPTIONS
    "\n"
    "With --footage the LUT takes that footage: each grid colour is converted to display\n"
    "and the look is taken there; a comment line names the footage the LUT expects.\n"
    "Scene-linear footage gets a shaper before the cube (log2, -7 to +7 stops around\n"
    "0.18, named in a comment line): profiles Cube 3D Davinci, Academy/ASC CLF,\n"
    "Cinespace 3D, and Sony Imageworks spi3d (the shaper as an .spi1d beside it).\n";
const std::string_view kLookHelp = kLookHelpText;

const std::string_view kLearnHelp =
    "Usage: ombrane-cli learn BEFORE AFTER -o OUTPUT [--profile P] [--size N] [--bits B]\n"
    "                         [--smoothness W] [footage options]\n"
    "\n"
    "Learns the look that turns BEFORE into AFTER, the same frame before and after a\n"
    "colour-only edit, and writes it as a 3D LUT file with an output profile. Every\n"
    "pixel pair counts: the LUT reproduces the colours the pair shows, and grid points\n"
    "far from them continue the look smoothly.\n"
    "\n"
    "The pictures must have the same size, or the same aspect ratio (the larger is then\n"
    "reduced to the smaller with Lanczos3); pictures shifted against each other by more\n"
    "than a pixel are refused. The fit is reported on standard output: the mean and\n"
    "99th-percentile CIEDE2000 difference between AFTER and BEFORE through the LUT, and\n"
    "the share of the grid's colour volume the pair covers. A warning says when more\n"
    "than 5 % of the pixels are off by more than 5 (a vignette, a local mask, a crop).\n"
    "\n"
    "  -o, --output FILE  the LUT file to write (never one of the pictures)\n"
    "  --profile P        the output profile by exact name or number (see 'profiles');\n"
    "                     without it the first 3D profile whose extension ends OUTPUT\n"
    "  --size N           grid size 2..101, only for profiles that let you choose it;\n"
    "                     the fit takes at most 33 points, larger grids are resampled\n"
    "  --bits B           bit depth 8, 10, 12, 14 or 16, only where the profile allows\n"
    "  --smoothness W     how strongly neighbouring grid points hold together (default 1;\n"
    "                     larger is smoother, smaller follows the pair more closely)\n"
    "\n" FOOTAGE_OPTIONS
    "\n"
    "With --footage BEFORE is footage: its colours are converted to display before the\n"
    "fit, the LUT takes that footage, and a comment line names it.\n";

const std::string_view kMatchHelp =
    "Usage: ombrane-cli match GRADED_FRAME FRAME -o OUTPUT [--profile P] [--size N]\n"
    "                         [--bits B] [--smoothness W] [--min-matched PCT]\n"
    "                         [footage options]\n"
    "\n"
    "Fits the look that grades FRAME like GRADED_FRAME, a graded frame of the same\n"
    "scene (another angle, a wider or closer shot, a moment later), and writes it as\n"
    "a 3D LUT file with an output profile. The two frames are registered (features\n"
    "matched on their luma, a homography found), places where the scenes differ\n"
    "(people moving, occlusions, parallax) are left out, and the LUT is fitted to\n"
    "the colours the frames show at corresponding places, as 'learn' fits a pair;\n"
    "colours outside the shared part follow smoothly.\n"
    "\n"
    "The match is reported on standard output: the share of FRAME matched, then the\n"
    "fit as 'learn' reports it (mean and 99th-percentile CIEDE2000 difference on the\n"
    "matched pixels, the share of the grid's colour volume they cover). Frames that\n"
    "share less than the minimum are refused, naming the share; --match of 'grade'\n"
    "and 'look' matches colour statistics instead.\n"
    "\n"
    "  -o, --output FILE  the LUT file to write (never one of the pictures)\n"
    "  --profile P        the output profile by exact name or number (see 'profiles');\n"
    "                     without it the first 3D profile whose extension ends OUTPUT\n"
    "  --size N           grid size 2..101, only for profiles that let you choose it;\n"
    "                     the fit takes at most 33 points, larger grids are resampled\n"
    "  --bits B           bit depth 8, 10, 12, 14 or 16, only where the profile allows\n"
    "  --smoothness W     how strongly neighbouring grid points hold together (default 1;\n"
    "                     larger is smoother, smaller follows the pixels more closely)\n"
    "  --min-matched PCT  the least share of FRAME, in percent, that must show the\n"
    "                     scene of GRADED_FRAME (default 20)\n"
    "\n" FOOTAGE_OPTIONS
    "\n"
    "With --footage FRAME is footage: its colours are converted to display before the\n"
    "fit, the LUT takes that footage, and a comment line names it.\n";

const std::string_view kGradeHelpHead =
    "Usage: ombrane-cli grade REFERENCE IMAGE -o OUTPUT [--match] [grading options]\n"
    "       ombrane-cli grade REFERENCE CLIP -o CLIP [--match | --match-first | --match-frame F]\n"
    "       ombrane-cli grade REFERENCE INPUT... -o FOLDER [--match | --match-first] [batch options]\n"
    "                         [grading options]\n"
    "       ombrane-cli grade --look FILE.olook INPUT... -o OUTPUT [the same options]\n"
    "       ombrane-cli grade GRADED_FRAME IMAGE -o OUTPUT --match-shot [shot options]\n"
    "       ombrane-cli grade GRADED_FRAME CLIP -o CLIP --match-shot [--match-frame F] [shot options]\n"
    "       ombrane-cli grade GRADED_FRAME INPUT... -o FOLDER --match-shot [shot options]\n"
    "\n"
    "Grades IMAGE at its full size with the 33-point look of REFERENCE, as \"Save Graded\n"
    "Image\" does. OUTPUT by extension: .jpg or .jpeg JPEG at quality 100, .bmp 24-bit\n"
    "bitmap, .png PNG.\n"
    "\n" DEEP_TEXT "\n" REFERENCE_TEXT LOOK_DOCUMENT_TEXT
    "\n"
    "  -o, --output FILE  the picture to write\n"
    "  --look FILE        grade with the look of a look document instead of REFERENCE:\n"
    "                     its positions, match, footage, interpolation, or the LUT it\n"
    "                     keeps; the --match options match its reference again\n"
    "  --match            \"Match Preview Colours\": match the look to IMAGE, measured\n"
    "                     as the window measures its preview\n" INTERPOLATION_OPTION OUTPUT_PROFILE_OPTION
    "\n" CLIP_TEXT "\n" RENDER_TEXT
    "  --match            match the look to each frame of the clip separately\n"
    "  --match-first      match the look to the first frame rendered\n"
    "  --match-frame F    match the look to frame F\n"
    "\n" BATCH_OPTIONS
    "  --match            match the look to each picture separately\n"
    "  --match-first      match the look to the first picture and grade all with it\n"
    "                     (one look for a whole shot, no flicker)\n" BATCH_FAILURES
    "\n"
    "Shot options:\n"
    "  --match-shot       grade with the look 'match' fits instead of a reference's:\n"
    "                     the first file is GRADED_FRAME, a graded frame of the same\n"
    "                     scene; each picture of a batch is matched on its own, a clip\n"
    "                     once, on frame --match-frame F or the first rendered\n"
    "  --smoothness W     the fit's smoothness, as for 'match' (default 1)\n"
    "  --min-matched PCT  the least share of the frame, in percent, that must show\n"
    "                     the scene of GRADED_FRAME (default 20)\n"
    "Of the grading options only --strength doses the matched look.\n"
    "\n";
const std::string kGradeHelpText = std::string(kGradeHelpHead) + GradingOptionsHelp() +
                                   "\n" FOOTAGE_OPTIONS
                                   "\n"
                                   "With --footage IMAGE is converted to display before it is graded: 8-bit pictures\n"
                                   "written as {eight-bit-written} in 8 bits; {deep-names}\n"
                                   "pictures, and any picture written as {deep-only}, in float, written\n"
                                   "at their own depth (or the extension's).\n";
const std::string_view kGradeHelp = kGradeHelpText;

const std::string_view kLookInfoHelp =
    "Usage: ombrane-cli look-info FILE.olook [--json]\n"
    "\n"
    "Prints what a look document holds: the reference (its name and SHA-256), the\n"
    "controls away from their defaults, the strength, the match, the footage, the\n"
    "interpolation, a kept LUT, the snapshots A to D, the description, the version\n"
    "and the date. A damaged, foreign or newer document is refused naming the field.\n"
    "\n"
    "  --json             the document's own fields as JSON, with the embedded cell\n"
    "                     and LUT replaced by their sizes in bytes\n";

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
    "written to a 1D profile. A file read as a chain of operations (a CLF list, a\n"
    "table over another input range, a pre-LUT) that starts with steps working on\n"
    "each channel alone keeps those steps as a 1D table before the cube in the\n"
    "formats that hold one: .cube, CLF, Cinespace 3D, and spi3d (its spi1d is\n"
    "written beside it with the same name).\n";

const std::string_view kApplyHelp =
    "Usage: ombrane-cli apply LUTFILE IMAGE -o OUTPUT\n"
    "       ombrane-cli apply LUTFILE CLIP -o CLIP [--in F] [--out F] [--codec NAME] [--crf N]\n"
    "       ombrane-cli apply LUTFILE INPUT... -o FOLDER [batch options]\n"
    "\n"
    "Reads LUTFILE (any readable format) and applies it to IMAGE at full size.\n"
    "OUTPUT by extension: .jpg or .jpeg JPEG at quality 100, .bmp 24-bit bitmap, .png.\n"
    "\n" DEEP_TEXT
    "\n"
    "  -o, --output FILE  the picture to write\n" INTERPOLATION_OPTION OUTPUT_PROFILE_OPTION "\n" CLIP_TEXT
    "\n" RENDER_TEXT "\n" BATCH_OPTIONS BATCH_FAILURES
    "\n"
    "A LUT file is applied as its maker meant it: a file that is a chain of steps (a\n"
    "CLF with a matrix, a log or a CDL; a shaper or cube over another input range; a\n"
    "Cinespace pre-LUT; a colour decision) is evaluated step by step at every pixel.\n";

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
    "  delete   moves the file NAME (a file name or a caption) to the desktop's\n"
    "           trash, from where it can be put back\n";

const std::string_view kFootageHelp =
    "Usage: ombrane-cli footage [--config FILE]\n"
    "\n"
    "Lists the footage colour spaces that --footage of 'look' and 'grade' takes, one a\n"
    "line: key, a tab, name. \"display\" (the default) leaves pictures as they are; each\n"
    "camera log is converted to ACES2065-1, through the ACES SDR video output transform\n"
    "and to Rec.709 (BT.1886) display values, clamped to 0..1. With --config FILE (or\n"
    "the OCIO environment variable) the config's colour spaces follow, each converted\n"
    "to the config's default display and view.\n"
    "\n"
    "The scene-linear spaces follow the camera logs; a config's linear spaces are\n"
    "listed too (its data spaces are left out). Their looks carry a shaper (see 'look').\n";

const std::string_view kStatsHelp =
    "Usage: ombrane-cli stats PICTURE [--json] [--as-reference] [--frame F]\n"
    "\n"
    "Prints the chroma statistics of PICTURE in the three luma ranges, computed as the\n"
    "look computes them for a reference: low (Y < 0.33), middle (0.33 <= Y < 0.66) and\n"
    "high (Y >= 0.66). One line a range, fields separated by tabs: range name, pixel\n"
    "count, mean of U, spread of U, mean of V, spread of V (the spread is the\n"
    "population standard deviation). A range without pixels shows the statistics of\n"
    "the whole picture, as the look then uses them, with pixel count 0. Numbers are\n"
    "printed in the shortest form that reads back as the same value.\n"
    "\n"
    "PICTURE is measured as it is, also when it is larger than 150 x 150 pixels: the\n"
    "window measures the 150 x 150 thumbnail cell of a reference instead.\n"
    "\n"
    "  --json          one JSON object: width, height and the three ranges\n"
    "  --as-reference  measure the 150 x 150 thumbnail cell the look would use for\n"
    "                  PICTURE as a reference (see 'look --help')\n"
    "  --frame F       the frame of a clip (see 'look --help')\n"
    "  --sequence      take PICTURE, a numbered file, as the sequence of its run\n"
    "  --fps R         an image sequence's rate (see 'look --help')\n";

const std::string_view kScopesHelp =
    "Usage: ombrane-cli scopes PICTURE -o OUTPUT [--reference REF] [--lut LUTFILE]\n"
    "                          [--scope waveform|vectorscope|histogram|all] [--width N]\n"
    "                          [--frame F]\n"
    "\n"
    "Draws the scopes of PICTURE at its full size, as the window's Scopes panel shows\n"
    "them. OUTPUT by extension: .png, .bmp, or .jpg/.jpeg at quality 100.\n"
    "\n"
    "  waveform     luma (Y) of every column from 0 at the bottom to 1 at the top,\n"
    "               with dashed lines at the luma range borders 0.33 and 0.66\n"
    "  vectorscope  the U/V plane, U to the right and V upwards, with the directions\n"
    "               of the six hue families of the saturation controls (red, orange,\n"
    "               yellow, green, blue, violet: coloured squares at the saturated\n"
    "               colour) and the skin-tone line\n"
    "  histogram    red, green and blue (filled) and luma (white line)\n"
    "  all          the three stacked, in that order (the default)\n"
    "Counts are shown with a logarithmic intensity, on the histogram with a gamma of 0.5.\n"
    "\n"
    "  -o, --output FILE  the picture to write\n"
    "  --reference REF    overlay the chroma of a reference on the vectorscope: the U/V\n"
    "                     cloud of its 150 x 150 thumbnail cell in orange, and for each\n"
    "                     luma range its mean as a dot (dark, grey, light for low,\n"
    "                     middle, high) with its spread as an ellipse (dashed for a\n"
    "                     range without pixels); REF is taken as 'look' takes it\n"
    "  --lut LUTFILE      grade the picture with a LUT file (any readable format) first\n"
    "  --scope S          which scope to draw (default all)\n"
    "  --width N          width of the drawing in pixels, 64..4096 (default 512)\n"
    "  --frame F          the frame of a clip (see 'look --help')\n"
    "  --sequence         take PICTURE, a numbered file, as the sequence of its run\n"
    "  --fps R            an image sequence's rate (see 'look --help')\n";

int PrintHelp(std::string_view text) {
    const std::string filled = WithPictureLists(text);
    std::fwrite(filled.data(), 1, filled.size(), stdout);
    return 0;
}

const std::string_view kJoinHelp =
    "Usage: ombrane-cli join PART... -o OUTPUT [--source CLIP]\n"
    "\n"
    "Joins clips rendered from one clip over ranges of its frames ('apply' or\n"
    "'grade' with --in/--out, to .mov, .mp4 or .mkv, on any machines) into the clip\n"
    "one render of the whole range gives: the parts' frames are copied as they are\n"
    "(in the order of their ranges, whatever the order given), the audio is copied\n"
    "once from the source, and the timecode and chapters run on as in one render.\n"
    "Each part records its range and its source (name, size, and a fingerprint of\n"
    "its contents); a part of another source, a gap or an overlap between ranges, a\n"
    "part that lost frames, or parts of differing codec or parameters are refused,\n"
    "naming the part. Only intra-frame codecs (ProRes, DNxHD/HR) and lossless FFV1\n"
    "join: long-GOP parts (H.264, HEVC) are refused, since each part's coding would\n"
    "differ from one render's.\n"
    "\n"
    "  -o, --output FILE  the joined clip (never one of the inputs)\n"
    "  --source CLIP      the source clip (default: the one the first part records)\n";
