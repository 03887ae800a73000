#include "grading/Look.h"

namespace {

bool SameSwitches(const TLookPositions& a, const TLookPositions& b) {
    for (const TLookSwitch& option : LookSwitches())
        if (a.*option.Position != b.*option.Position) return false;
    return true;
}

bool SameOutsideControls(const TLook& a, const TLook& b) {
    return a.Reference == b.Reference && a.Lut == b.Lut && a.LutName == b.LutName && a.Footage == b.Footage &&
           a.Match == b.Match && SameSwitches(a.Positions, b.Positions);
}

}  // namespace

bool SameLook(const TLook& a, const TLook& b) {
    if (!SameOutsideControls(a, b)) return false;
    for (const TLookControl& control : LookControls())
        if (a.Positions.*control.Position != b.Positions.*control.Position) return false;
    return true;
}

int OnlyControlChanged(const TLook& from, const TLook& to) {
    if (!SameOutsideControls(from, to)) return -1;
    int changed = -1;
    const auto controls = LookControls();
    for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
        if (from.Positions.*controls[i].Position == to.Positions.*controls[i].Position) continue;
        if (changed >= 0) return -1;
        changed = i;
    }
    return changed;
}
