#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <memory>
#include <string>

#include "engine/base/Error.h"
#include "fileio/FileRead.h"
#include "fileio/PictureCodec.h"
#include "formats/FormatFiles.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"
#include "tests/support/PipeUnblocker.h"

namespace {

class FormatDetectionTest : public formattest::TScratchFolderTest {};

// Detection asks every format about the same head, read once. Each format
// looks at no more than its own part of it, so the bounded head decides as
// the whole file would: the file every output profile writes (curves of
// 65536 entries and cubes far beyond the head among them) is claimed by the
// same format whether the formats see the head or all of the file's bytes.
TEST_F(FormatDetectionTest, TheBoundedHeadDecidesAsTheWholeFile) {
    int beyondTheHead = 0;
    for (const auto& profile : LutOutputProfiles()) {
        const TLUTFormat& format = *GetLutFormat(profile->FormatIndex);
        if (format.Info().Id == "hald-clut" && InstalledPictureCodec() == nullptr) continue;
        SCOPED_TRACE(profile->Name);
        auto lut = std::make_unique<TLUT>();
        const int size = profile->DefaultSize;
        if (format.Is3D) {
            lut->Kind = lkCube;
            lut->CubeSize = size;
            for (int r = 0; r < size; ++r)
                for (int g = 0; g < size; ++g)
                    for (int b = 0; b < size; ++b)
                        lut->Cube[r][g][b] =
                            TRGBDouble{r / (size - 1.0), g / (size - 1.0), (b * b) / ((size - 1.0) * (size - 1.0))};
        } else {
            lut->Kind = lkCurve;
            lut->CurveSize = size;
            for (int i = 0; i < size; ++i) {
                const double x = i / (size - 1.0);
                lut->Curve[i] = TRGBDouble{x, x * x, 1 - x};
            }
        }
        const std::string file = PathOf("look." + profile->Extension);
        format.SaveToFile(file, *lut, profile->DefaultBits);
        const std::string whole = ReadFileBytes(file);
        const std::string head = ReadDetectionHead(file);
        EXPECT_EQ(head, whole.substr(0, kDetectionHeadBytes));
        beyondTheHead += whole.size() > head.size();

        int byWholeFile = -1;
        for (const int index : LutDetectionOrder())
            if (GetLutFormat(index)->CanRead(whole, file)) {
                byWholeFile = index;
                break;
            }
        const int detected = FindReaderFormat(file);
        EXPECT_EQ(detected, byWholeFile);
        // 3DL is known by its extension: its writer's ".dd3" files are not.
        if (format.Info().Reads && profile->Extension != "dd3") EXPECT_GE(detected, 0);
    }
    EXPECT_GT(beyondTheHead, 10);  // the bound was reached, not only short files seen
}

// Each format's detection and the detection of the list, on a named pipe:
// refused with the file layer's message, never waiting for a writer (a
// writer opened whenever a reader waits would end a hang). A missing file
// is named the same way.
TEST_F(FormatDetectionTest, OnlyRegularFilesAreDetected) {
    const std::string pipe = PathOf("look.cube");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    TPipeUnblocker unblocker(pipe);
    const std::string refused = "Cannot read file \"" + pipe + "\": it is not a regular file.";
    for (const auto& format : LutFormats()) {
        try {
            format->CanRead(pipe);
            ADD_FAILURE() << format->Name << " judged a named pipe";
        } catch (const EError& e) {
            EXPECT_EQ(std::string(e.what()), refused) << format->Name;
        }
    }
    try {
        FindReaderFormat(pipe);
        ADD_FAILURE() << "a named pipe was detected";
    } catch (const EError& e) {
        EXPECT_EQ(std::string(e.what()), refused);
    }
    EXPECT_EQ(unblocker.Unblocked(), 0) << "a reader waited for a writer";
    EXPECT_THROW(FindReaderFormat(PathOf("missing.3dl")), EError);
}

}  // namespace
