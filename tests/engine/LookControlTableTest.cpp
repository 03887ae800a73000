#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/base/Error.h"
#include "engine/look/LookControls.h"

// Every control of the table reaches its own place in the positions and its
// own factor, keeps the neutral default, and is checked against its range
// with its own name.
TEST(LookControlTableTest, EachControlOwnsItsPositionAndFactor) {
    const TLookPositions neutral;
    const TLookSettings plain = MakeLookSettings(TColorStats(), neutral);
    std::set<std::string> keys, bars, labels;
    int factors = 0;
    for (const TLookControl& control : LookControls()) {
        SCOPED_TRACE(control.Key);
        EXPECT_TRUE(keys.insert(control.Key).second);
        EXPECT_TRUE(bars.insert(control.Bar).second);
        EXPECT_TRUE(labels.insert(control.Label).second);
        EXPECT_EQ(neutral.*control.Position, control.Default);
        EXPECT_LT(control.Min, control.Default + 1);
        EXPECT_GT(control.Max, control.Default - 1);

        TLookPositions moved;
        moved.*control.Position = control.Min + 1;
        const TLookSettings s = MakeLookSettings(TColorStats(), moved);
        // Only this control's factor moves, to position / 100.
        for (const TLookControl& other : LookControls()) {
            if (!other.Factor) continue;
            const float expected = &other == &control ? (control.Min + 1) / 100.0f : plain.Factors.*other.Factor;
            EXPECT_EQ(s.Factors.*other.Factor, expected) << other.Key;
        }
        if (control.Factor) ++factors;

        for (int outside : {control.Min - 1, control.Max + 1}) {
            TLookPositions bad;
            bad.*control.Position = outside;
            try {
                MakeLookSettings(TColorStats(), bad);
                ADD_FAILURE() << "no error for " << outside;
            } catch (const EError& error) {
                EXPECT_EQ(std::string(error.what()), std::string("The ") + control.Name + " position " +
                                                         std::to_string(outside) + " is outside the range " +
                                                         std::to_string(control.Min) + " to " +
                                                         std::to_string(control.Max) + ".");
            }
        }
    }
    EXPECT_EQ(factors, 10);  // the ten saturation factors, each set by one control
    EXPECT_EQ(MakeLookSettings(TColorStats(),
                               [] {
                                   TLookPositions p;
                                   p.Strength = 40;
                                   return p;
                               }())
                  .Strength,
              0.4);

    for (const TLookSwitch& option : LookSwitches()) {
        SCOPED_TRACE(option.Key);
        EXPECT_TRUE(keys.insert(option.Key).second);
        EXPECT_EQ(neutral.*option.Position, !option.OptionValue);
        TLookPositions flipped;
        flipped.*option.Position = option.OptionValue;
        const TLookSettings s = MakeLookSettings(TColorStats(), flipped);
        EXPECT_TRUE(s.AdvancedAnalysis != plain.AdvancedAnalysis || s.CompressSaturation != plain.CompressSaturation);
    }
}
