#include "grading/DocumentLook.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/base/Error.h"
#include "engine/footage/FootageConversion.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/CubeInterpolation.h"
#include "footage/OcioFootage.h"
#include "tests/grading/SampleLooks.h"

namespace {

// Looks up a spread of colours off the grid, so the interpolation shows.
std::vector<double> Samples(const TLUT& lut) {
    std::vector<double> values;
    for (int i = 0; i < 64; ++i) {
        const TRGBDouble in{(i % 4) / 3.7 + 0.01, ((i / 4) % 4) / 3.3 + 0.02, (i / 16) / 3.1 + 0.03};
        TRGBDouble out;
        lut.LookupNormalized(in, out);
        values.insert(values.end(), {out.Red, out.Green, out.Blue});
    }
    return values;
}

// Every entry of the cube.
std::vector<double> Entries(const TLUT& lut) {
    std::vector<double> values;
    for (int r = 0; r < lut.CubeSize; ++r)
        for (int g = 0; g < lut.CubeSize; ++g)
            for (int b = 0; b < lut.CubeSize; ++b)
                values.insert(values.end(), {lut.Cube[r][g][b].Red, lut.Cube[r][g][b].Green, lut.Cube[r][g][b].Blue});
    return values;
}

TLookRecipe BuiltRecipe() {
    TLookRecipe recipe = SampleRecipe(11);
    recipe.Footage.clear();
    recipe.Interpolation = "trilinear";
    return recipe;
}

}  // namespace

TEST(DocumentLook, TakesTheRoadOfTheWindowAndTheCommandLine) {
    const TLookRecipe recipe = BuiltRecipe();
    TLookSettings expected = LookFromReference(recipe.ReferenceCell, recipe.Positions);
    MatchLookToFrame(expected, recipe.MatchStats, "shots/frame 0042.png");
    const auto wanted = MakeLookLut(expected, 17);
    const auto rebuilt = RecipeLut(recipe, 17);
    ASSERT_EQ(rebuilt->CubeSize, 17);
    EXPECT_EQ(Samples(*rebuilt), Samples(*wanted));
    EXPECT_EQ(RecipeSettings(recipe).MatchedTo, "frame 0042.png");
    EXPECT_TRUE(RecipeSettings(recipe).MatchSource);
}

TEST(DocumentLook, EveryControlAndSwitchChangesTheRebuiltLook) {
    TLookRecipe base = BuiltRecipe();
    base.Match = false;
    const std::vector<double> before = Entries(*RecipeLut(base, 9));
    for (const TLookControl& control : LookControls()) {
        TLookRecipe changed = base.Clone();
        changed.Positions.*control.Position = control.Default == control.Max ? control.Min + 10 : control.Max;
        if (changed.Positions.*control.Position == base.Positions.*control.Position)
            changed.Positions.*control.Position = 40;
        EXPECT_NE(Entries(*RecipeLut(changed, 9)), before) << control.Key;
    }
    for (const TLookSwitch& option : LookSwitches()) {
        TLookRecipe changed = base.Clone();
        changed.Positions.*option.Position = !(base.Positions.*option.Position);
        EXPECT_NE(Entries(*RecipeLut(changed, 9)), before) << option.Key;
    }
}

TEST(DocumentLook, TheMatchAndEachOfItsStatisticsChangeTheRebuiltLook) {
    const TLookRecipe base = BuiltRecipe();
    const std::vector<double> before = Entries(*RecipeLut(base, 9));
    TLookRecipe unmatched = base.Clone();
    unmatched.Match = false;
    EXPECT_NE(Entries(*RecipeLut(unmatched, 9)), before);
    for (int i = 0; i < 3; ++i)
        for (double TRangeStats::*field :
             {&TRangeStats::MeanU, &TRangeStats::DevU, &TRangeStats::MeanV, &TRangeStats::DevV}) {
            TLookRecipe changed = base.Clone();
            changed.MatchStats.Ranges[i].*field += 0.01;
            EXPECT_NE(Entries(*RecipeLut(changed, 9)), before) << i;
        }
}

TEST(DocumentLook, TheCellAndTheInterpolationChangeTheRebuiltLook) {
    const TLookRecipe base = BuiltRecipe();
    const std::vector<double> before = Samples(*RecipeLut(base, 9));
    TLookRecipe otherCell = base.Clone();
    otherCell.ReferenceCell = SampleCell(99);
    otherCell.ReferenceCell.Row(0)[0] ^= 0xff;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 150 * 3; x += 3) otherCell.ReferenceCell.Row(y)[x] = 255;  // a blue cast above
    EXPECT_NE(Samples(*RecipeLut(otherCell, 9)), before);
    TLookRecipe tetrahedral = base.Clone();
    tetrahedral.Interpolation = "tetrahedral";
    const auto lut = RecipeLut(tetrahedral, 9);
    EXPECT_NE(Samples(*lut), before);
    auto expected = MakeLookLut(RecipeSettings(base), 9);
    UseCubeInterpolation(*expected, TCubeInterpolation::Tetrahedral);
    EXPECT_EQ(Samples(*lut), Samples(*expected));
}

TEST(DocumentLook, AKeptLutGradesInsteadOfTheReference) {
    TLookRecipe recipe = BuiltRecipe();
    recipe.Lut = SampleCubeLut(5, 21);
    EXPECT_EQ(RecipeLut(recipe).get(), recipe.Lut.get());
    recipe.Interpolation = "tetrahedral";
    const auto tetrahedral = RecipeLut(recipe);
    auto expected = SampleCubeLut(5, 21);
    UseCubeInterpolation(*expected, TCubeInterpolation::Tetrahedral);
    EXPECT_EQ(Samples(*tetrahedral), Samples(*expected));
    EXPECT_NE(Samples(*tetrahedral), Samples(*recipe.Lut));
    TLookRecipe lutOnly;
    lutOnly.Lut = recipe.Lut;
    EXPECT_EQ(RecipeLut(lutOnly).get(), recipe.Lut.get());
}

TEST(DocumentLook, ALookWithoutReferenceOrLutIsRefused) {
    EXPECT_THROW(RecipeLut(TLookRecipe{}), EError);
    EXPECT_THROW(RecipeSettings(TLookRecipe{}), EError);
    TLookRecipe outOfRange = BuiltRecipe();
    outOfRange.Positions.Gain = 201;
    EXPECT_THROW(RecipeSettings(outOfRange), EError);
}

TEST(DocumentLook, TheFootageIsTheCatalogues) {
    TLookRecipe recipe = BuiltRecipe();
    EXPECT_EQ(RecipeFootage(recipe), nullptr);
    recipe.Footage = "slog3-sgamut3";
    const auto footage = RecipeFootage(recipe);
    ASSERT_NE(footage, nullptr);
    EXPECT_EQ(footage->Label(), MakeFootageConversion("slog3-sgamut3", "")->Label());
    recipe.Footage = "no such space";
    EXPECT_THROW(RecipeFootage(recipe), EError);
}

TEST(DocumentLook, EveryFieldChangesTheDocument) {
    const TLookDocument base = SampleDocument();
    const std::string before = LookDocumentText(base);
    const std::vector<std::function<void(TLookDocument&)>> changes = {
        [](TLookDocument& d) { d.Look.ReferenceName += "x"; },
        [](TLookDocument& d) { d.Look.ReferenceHash[5] = 'f'; },
        [](TLookDocument& d) { d.Look.ReferenceCell.Row(149)[449] ^= 1; },
        [](TLookDocument& d) { d.Look.MatchedTo = "other.png"; },
        [](TLookDocument& d) { d.Look.MatchStats.PixelCounts[2] += 1; },
        [](TLookDocument& d) { d.Look.Footage = "arri-logc"; },
        [](TLookDocument& d) { d.Look.FootageConfig.clear(); },
        [](TLookDocument& d) { d.Look.LutName = "other"; },
        [](TLookDocument& d) { d.Look.Lut = nullptr; },
        [](TLookDocument& d) { d.Snapshots[3] = d.Look.Clone(); },
        [](TLookDocument& d) { d.Snapshots[0]->Positions.Violet = 3; },
        [](TLookDocument& d) { d.Description.clear(); },
        [](TLookDocument& d) { d.ProgramVersion = "1.01"; },
        [](TLookDocument& d) { d.Date = "2026-12-10T00:00:00Z"; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        TLookDocument changed = SampleDocument();
        changes[i](changed);
        const std::string text = LookDocumentText(changed);
        EXPECT_NE(text, before) << i;
        EXPECT_EQ(LookDocumentText(LookDocumentFromText(text, "c.olook")), text) << i;
    }
}
