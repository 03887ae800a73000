#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "formats/AscCdlFormat.h"
#include "formats/CdlCollectionFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/Lut1DFormats.h"
#include "formats/LutConvert.h"
#include "formats/Spi3DFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

struct TFormatRow {
    const char* Id;
    const char* Name;
    bool Is3D;
};

const TFormatRow kFormatTable[] = {
    {"cube-3d-truelight", "Cube 3D Truelight", true},
    {"cube-3d", "Cube 3D", true},
    {"lustre-3d", "Autodesk Lustre 3D", true},
    {"pandora-3d", "Pandora 3D, Technicolor", true},
    {"3dl", "3DL", true},
    {"nucoda-3d", "Nucoda 3D", true},
    {"codex-3d", "Codex 3D", true},
    {"cube-1d", "Cube 1D", false},
    {"clipster-3d", "Clipster 3D", true},
    {"luther-3d", "Luther 3D", true},
    {"colorfront-osd-3d", "Colorfront OSD 3D", true},
    {"davinci-dat-3d", "Davinci DAT 3D", true},
    {"quantel-3d", "Quantel 3D", true},
    {"codex-1d", "Codex 1D, Scratch 1D", false},
    {"lustre-1d", "Autodesk Lustre 1D", false},
    {"filmlight-1d", "Filmlight Truelight 1D", false},
    {"quantel-1d", "Quantel 1D", false},
    {"stwo-1d", "S.two 1D", false},
    {"nucoda-1d", "Nucoda 1D", false},
    {"colorfront-osd-1d", "Colorfront OSD 1D", false},
    {"fusion-1d", "Fusion 1D", false},
    {"blackmagic-1d", "Blackmagic HDLink 1D", false},
    {"cinetal-1d", "Cine-tal 1D", false},
    {"shake-1d", "Shake 1D", false},
    {"davinci-ilut-1d", "DaVinci Resolve ilut 1D", false},
    {"davinci-olut-1d", "DaVinci Resolve olut 1D", false},
    {"speedgrade-look-3d", "Adobe Speedgrade Look 3D", true},
    {"asc-cdl", "ASC CDL", true},
    {"pfclean-3d", "PixelFarm PFClean 3D", true},
    {"fsi-cfe-3d", "FSI CFE (Flanders Scientific) 3D", true},
    {"fsi-dit-3d", "FSI DIT (Flanders Scientific) 3D", true},
    // Added after the first 31, which keep their numbers.
    {"hald-clut", "Hald CLUT", true},
    {"clf", "Academy/ASC Common LUT Format", true},
    {"spi3d", "Sony Imageworks spi3d", true},
    {"spi1d", "Sony Imageworks spi1d", false},
    {"cinespace-3d", "Cinespace 3D", true},
    {"cinespace-1d", "Cinespace 1D", false},
    {"asc-cdl-collection", "ASC CDL collection", true},
};

const TLutOutputProfile kProfileTable[] = {
    {"3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", 4, 17, 12, false, false},
    {"3DL Fusion", "3dl", 4, 33, 12, false, false},
    {"Autodesk Lustre 3D", "lut", 2, 33, 12, false, false},
    {"Clipster 3D", "txt", 8, 17, 16, false, false},
    {"Codex 3D", "txt", 6, 17, 12, false, false},
    {"Colorfront OSD 3D", "3dmesh", 10, 17, 0, false, false},
    {"Cube 3D Iridas, Nuke, AfterEffects", "cube", 1, 32, 0, false, false},
    {"Cube 3D Davinci", "cube", 1, 33, 0, true, false},
    {"Cube 3D Truelight", "cube", 0, 32, 0, false, false},
    {"Davinci DAT 3D", "dat", 11, 33, 0, false, false},
    {"Dolby DD3", "dd3", 4, 17, 12, false, false},
    {"FSI CFE (Flanders Scientific) 3D", "cfe", 29, 17, 0, false, false},
    {"FSI DIT (Flanders Scientific) 3D", "dat", 30, 64, 10, false, false},
    {"Nucoda 3D", "cms", 5, 33, 0, true, false},
    {"Luther 3D", "txt", 9, 33, 10, false, false},
    {"Pandora 3D, Apple 3D m3d", "m3d", 3, 17, 16, false, false},
    {"PixelFarm PFClean 3D", "pfl", 28, 16, 8, false, false},
    {"Quantel 3D", "txt", 12, 17, 12, false, false},
    {"Technicolor 3D mga", "mga", 3, 33, 16, false, false},
    {"Autodesk Lustre 1D", "lut", 14, 65536, 16, true, true},
    {"Blackmagic HDLink 1D", "txt", 21, 1024, 0, false, false},
    {"Cine-tal 1D", "txt", 22, 1024, 10, false, false},
    {"Codex 1D, Sony SRW-1, Scratch 1D", "dat", 13, 1024, 10, false, false},
    {"Colorfront OSD 1D", "1dlut", 19, 1024, 0, false, false},
    {"Cube 1D", "cube", 7, 4096, 0, false, false},
    {"Filmlight Truelight 1D", "cube", 15, 4096, 0, false, false},
    {"Fusion 1D", "alut", 20, 65536, 16, false, false},
    {"Nucoda 1D", "cms", 18, 4096, 0, false, false},
    {"Quantel 1D", "txt", 16, 1024, 10, false, false},
    {"S.two 1D", "swto.xml", 17, 1024, 10, false, false},
    {"Shake 1D", "txt", 23, 65536, 16, false, false},
    // Added after the first 31, which keep their numbers.
    {"Hald CLUT", "png", 31, 64, 0, true, false},
    {"Academy/ASC CLF", "clf", 32, 33, 0, true, false},
    {"Sony Imageworks spi3d", "spi3d", 33, 33, 0, true, false},
    {"Cinespace 3D", "csp", 35, 33, 0, true, false},
    {"Sony Imageworks spi1d", "spi1d", 34, 4096, 0, true, false},
    {"Cinespace 1D", "csp", 36, 4096, 0, true, false},
};

TEST(FormatRegistry, FormatListHoldsOneInstanceOfEachClassInOrder) {
    const auto& formats = LutFormats();
    ASSERT_EQ(formats.size(), std::size(kFormatTable));
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const TLUTFormat& format = *formats[i];
        EXPECT_EQ(format.Info().Id, kFormatTable[i].Id) << i;
        EXPECT_EQ(format.Name, kFormatTable[i].Name) << i;
        EXPECT_EQ(format.Is3D, kFormatTable[i].Is3D) << i;
        EXPECT_EQ(GetLutFormat(static_cast<int>(i)), formats[i].get()) << i;
    }
    EXPECT_EQ(GetLutFormat(-1), nullptr);
    EXPECT_EQ(GetLutFormat(static_cast<int>(std::size(kFormatTable))), nullptr);
    EXPECT_EQ(GetLutFormat(1000000), nullptr);
    // Built once: every call sees the same instances.
    EXPECT_EQ(&LutFormats(), &formats);
    EXPECT_EQ(GetLutFormat(4), LutFormats()[4].get());
}

TEST(FormatRegistry, ProfileListMatchesTheTableRowByRow) {
    const auto& profiles = LutOutputProfiles();
    ASSERT_EQ(profiles.size(), std::size(kProfileTable));
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const TLutOutputProfile& got = *profiles[i];
        const TLutOutputProfile& want = kProfileTable[i];
        EXPECT_EQ(got.Name, want.Name) << i;
        EXPECT_EQ(got.Extension, want.Extension) << i;
        EXPECT_EQ(got.FormatIndex, want.FormatIndex) << i;
        EXPECT_EQ(got.DefaultSize, want.DefaultSize) << i;
        EXPECT_EQ(got.DefaultBits, want.DefaultBits) << i;
        EXPECT_EQ(got.SizeSelectable, want.SizeSelectable) << i;
        EXPECT_EQ(got.BitsSelectable, want.BitsSelectable) << i;
        EXPECT_EQ(GetLutOutputProfile(static_cast<int>(i)), profiles[i].get()) << i;
    }
    EXPECT_THROW(GetLutOutputProfile(-1), EError);
    EXPECT_THROW(GetLutOutputProfile(static_cast<int>(std::size(kProfileTable))), EError);
}

TEST(FormatRegistry, TheNineteen3DProfilesAreOfferedFirstThenTheAddedOnes) {
    std::vector<std::string> offered;
    for (const auto& profile : LutOutputProfiles()) {
        const TLUTFormat* format = GetLutFormat(profile->FormatIndex);
        ASSERT_NE(format, nullptr) << profile->Name;
        if (format->Is3D) offered.push_back(profile->Name);
    }
    ASSERT_EQ(offered.size(), 23u);
    for (std::size_t i = 0; i < 19; ++i) EXPECT_EQ(offered[i], kProfileTable[i].Name);
    EXPECT_EQ(std::vector<std::string>(offered.begin() + 19, offered.end()),
              (std::vector<std::string>{"Hald CLUT", "Academy/ASC CLF", "Sony Imageworks spi3d", "Cinespace 3D"}));
    EXPECT_EQ(offered.front(), "3DL Scratch, Autodesk, Blackmagic, Cine-tal");
    // Formats 24 to 27 have no profile; every other format has one.
    for (int index = 0; index < 31; ++index) {
        bool used = false;
        for (const auto& profile : LutOutputProfiles()) used = used || profile->FormatIndex == index;
        EXPECT_EQ(used, index < 24 || index > 27) << index;
    }
    EXPECT_EQ(GetLutFormat(GetLutOutputProfile(10)->FormatIndex)->Info().Id, "3dl");
    EXPECT_EQ(GetLutFormat(GetLutOutputProfile(18)->FormatIndex)->Info().Id, "pandora-3d");
}

TEST(FormatRegistry, DescriptionsAreConsistentWithTheListsAndTheProfiles) {
    const auto& formats = LutFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const TLutFormatInfo& info = formats[i]->Info();
        SCOPED_TRACE(info.Name);
        EXPECT_EQ(info.Name, formats[i]->Name);
        EXPECT_EQ(info.Is3D, formats[i]->Is3D);
        EXPECT_EQ(info.Id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos);
        EXPECT_EQ(LutFormatIndex(info.Id), static_cast<int>(i)) << "ids are unique";
        EXPECT_EQ(FindLutFormat(info.Id), formats[i].get());
        EXPECT_FALSE(info.Extensions.empty());
        EXPECT_GE(info.MinSize, 2);
        EXPECT_LE(info.MaxSize, info.Is3D ? kMaxCubeSize : kMaxCurveSize);
        // A format writes exactly when an output profile cites it.
        bool cited = false;
        for (const auto& profile : LutOutputProfiles()) cited = cited || profile->FormatIndex == static_cast<int>(i);
        EXPECT_EQ(info.Writes, cited);
    }
    EXPECT_EQ(LutFormatIndex("no-such-format"), -1);
    EXPECT_EQ(FindLutFormat(""), nullptr);
    // Every profile's defaults are sizes and depths its format holds.
    for (const auto& profile : LutOutputProfiles()) {
        const TLutFormatInfo& info = GetLutFormat(profile->FormatIndex)->Info();
        EXPECT_TRUE(info.TakesSize(profile->DefaultSize, profile->DefaultBits)) << profile->Name;
        if (info.StoresIntegers()) {
            EXPECT_NO_THROW(info.CheckedBits(profile->DefaultBits)) << profile->Name;
        }
    }
}

class FormatDescriptionTest : public formattest::TScratchFolderTest {};

// CLF files hold "<LUT3D", which the Clipster reader takes for its own, and
// a .cdl decision list holds the elements the single-correction reader looks
// for: detection tries the added readers first, and the older ones still
// read their own files.
TEST_F(FormatDescriptionTest, AddedReadersAreDetectedBeforeTheReadersThatWouldClaimTheirFiles) {
    const auto& order = LutDetectionOrder();
    ASSERT_EQ(order.size(), LutFormats().size());
    const auto position = [&](const char* id) {
        return std::find(order.begin(), order.end(), LutFormatIndex(id)) - order.begin();
    };
    EXPECT_EQ(position("clf") + 1, position("clipster-3d"));
    EXPECT_EQ(position("asc-cdl-collection") + 1, position("asc-cdl"));
    EXPECT_EQ(position("cube-3d-truelight"), 0);

    auto cube = formattest::RandomCube(3, 5);
    FindLutFormat("clf")->SaveToFile(PathOf("look.clf"), *cube, 0);
    EXPECT_EQ(FindReaderFormat(PathOf("look.clf")), LutFormatIndex("clf"));
    FindLutFormat("clipster-3d")->SaveToFile(PathOf("look.txt"), *cube, 16);
    EXPECT_EQ(FindReaderFormat(PathOf("look.txt")), LutFormatIndex("clipster-3d"));
    const std::string correction =
        "<ColorCorrection id=\"a\"><SOPNode><Slope>1 1 1</Slope><Offset>0 0 0</Offset>"
        "<Power>1 1 1</Power></SOPNode></ColorCorrection>";
    EXPECT_EQ(FindReaderFormat(WriteRaw("one.cc", correction)), LutFormatIndex("asc-cdl"));
    EXPECT_EQ(FindReaderFormat(WriteRaw("list.cdl", "<ColorDecisionList><ColorDecision>" + correction +
                                                        "</ColorDecision></ColorDecisionList>")),
              LutFormatIndex("asc-cdl-collection"));
    EXPECT_EQ(FindReaderFormat(
                  WriteRaw("all.ccc", "<ColorCorrectionCollection>" + correction + "</ColorCorrectionCollection>")),
              LutFormatIndex("asc-cdl-collection"));
}

// The description states what the writer and the detection really do: the
// depths an integer writer refuses, the depth a decimal writer ignores, and
// that a write-only format claims not even its own files.
TEST_F(FormatDescriptionTest, WritersAndDetectionBehaveAsDescribed) {
    for (const auto& format : LutFormats()) {
        const TLutFormatInfo& info = format->Info();
        if (!info.Writes) continue;
        SCOPED_TRACE(info.Name);
        auto lut = formattest::IdentityCube(info.OnlySize(0) ? info.OnlySize(0) : 3);
        lut->CurveSize = 4;
        for (int i = 0; i < 4; ++i) lut->Curve[i] = TRGBDouble{i / 3.0, i / 3.0, i / 3.0};
        const std::string file = PathOf("out." + info.Extensions.front());
        if (info.StoresIntegers()) {
            EXPECT_THROW(format->SaveToFile(file, *lut, info.MinBits - 1), ELUTError);
            EXPECT_THROW(format->SaveToFile(file, *lut, info.MaxBits + 1), ELUTError);
            EXPECT_NO_THROW(format->SaveToFile(file, *lut, info.MaxBits));
        } else {
            format->SaveToFile(file, *lut, 0);
            const std::string decimal = ReadRaw(file);
            format->SaveToFile(file, *lut, 99);
            EXPECT_EQ(ReadRaw(file), decimal);
        }
        format->SaveToFile(file, *lut, 12);  // Autodesk Lustre 1D detects 12 and 16 bits
        EXPECT_EQ(format->CanRead(file), info.Reads);
    }
}

TEST(FormatRegistry, AddedProfileIsAppended) {
    // Run in a child process so the shared list stays as it is for the
    // other tests.
    EXPECT_EXIT(
        {
            const std::size_t before = LutOutputProfiles().size();
            TLutOutputProfile* added = AddLutOutputProfile("Extra", "ext", 7, 256, 0, true, false);
            const bool ok = LutOutputProfiles().size() == before + 1 && LutOutputProfiles().back().get() == added &&
                            GetLutOutputProfile(static_cast<int>(before)) == added && added->Name == "Extra" &&
                            added->Extension == "ext" && added->FormatIndex == 7 && added->DefaultSize == 256 &&
                            added->DefaultBits == 0 && added->SizeSelectable && !added->BitsSelectable &&
                            LutOutputProfiles()[0]->Name == kProfileTable[0].Name;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
