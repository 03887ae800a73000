#include "app/StatusLine.h"

#include <gtest/gtest.h>

#include "engine/look/LookControls.h"

// The status line shows the positions the control table words for it (the
// look's strength), and no other control's.
TEST(StatusLineTest, ShowsThePositionsTheControlTableNames) {
    TStatusLine line(nullptr);
    EXPECT_EQ(line.Text(), "no frame   |   no reference   |   strength 100%");
    TLookPositions positions;
    positions.Strength = 35;
    positions.Gain = 150;
    positions.Red = 20;
    line.SetPositions(positions);
    EXPECT_EQ(line.Text(), "no frame   |   no reference   |   strength 35%");
    line.SetLook("warm", QString());
    EXPECT_EQ(line.Text(), "no frame   |   reference: warm   |   strength 35%");
}
