#include "engine/lut/CubeOperation.h"

#include <algorithm>

#include "engine/base/Clamp01.h"

TCubeOperation::TCubeOperation(std::shared_ptr<const TLUT> table, TCubeInterpolation interpolation,
                               const TRGBDouble& domainMin, const TRGBDouble& domainMax)
    : table_(std::move(table)), interpolation_(interpolation), min_(domainMin), max_(domainMax) {}

std::unique_ptr<TCubeOperation> TCubeOperation::WithInterpolation(TCubeInterpolation interpolation) const {
    auto copy = std::make_unique<TCubeOperation>(table_, interpolation, min_, max_);
    copy->InterpolationNamedByFile = InterpolationNamedByFile;
    return copy;
}

bool TCubeOperation::IsPlain() const {
    return interpolation_ == TCubeInterpolation::Trilinear && min_.Red == 0 && min_.Green == 0 && min_.Blue == 0 &&
           max_.Red == 1 && max_.Green == 1 && max_.Blue == 1;
}

void TCubeOperation::Apply(TRGBDouble& colour) const {
    const TRGBDouble in{(colour.Red - min_.Red) / (max_.Red - min_.Red),
                        (colour.Green - min_.Green) / (max_.Green - min_.Green),
                        (colour.Blue - min_.Blue) / (max_.Blue - min_.Blue)};
    if (interpolation_ == TCubeInterpolation::Tetrahedral)
        Tetrahedral(in, colour);
    else
        table_->InterpolateCube(in, colour);
}

// The cell is cut into six tetrahedra along its main diagonal; the one that
// holds the point is chosen by the order of the three fractions.
void TCubeOperation::Tetrahedral(const TRGBDouble& in, TRGBDouble& out) const {
    const int last = std::clamp(table_->CubeSize - 1, 1, kMaxCubeSize - 1);
    struct TAxis {
        int Index, Next;
        double Frac;
    };
    auto axis = [last](double x) {
        const double p = last * Clamp01(x);
        const int i = std::min(static_cast<int>(p), last - 1);
        return TAxis{i, i + 1, p - i};
    };
    const TAxis r = axis(in.Red), g = axis(in.Green), b = axis(in.Blue);
    const auto& cube = table_->Cube;
    auto at = [&cube](int ri, int gi, int bi) { return cube[ri][gi][bi]; };
    const TRGBDouble c000 = at(r.Index, g.Index, b.Index);
    const TRGBDouble c111 = at(r.Next, g.Next, b.Next);
    const double fr = r.Frac, fg = g.Frac, fb = b.Frac;
    // Weights of the corners visited from c000 to c111.
    TRGBDouble first, second;
    double w0, w1, w2, w3;
    if (fr >= fg && fg >= fb) {
        first = at(r.Next, g.Index, b.Index), second = at(r.Next, g.Next, b.Index);
        w0 = 1 - fr, w1 = fr - fg, w2 = fg - fb, w3 = fb;
    } else if (fr >= fb && fb >= fg) {
        first = at(r.Next, g.Index, b.Index), second = at(r.Next, g.Index, b.Next);
        w0 = 1 - fr, w1 = fr - fb, w2 = fb - fg, w3 = fg;
    } else if (fb >= fr && fr >= fg) {
        first = at(r.Index, g.Index, b.Next), second = at(r.Next, g.Index, b.Next);
        w0 = 1 - fb, w1 = fb - fr, w2 = fr - fg, w3 = fg;
    } else if (fg >= fr && fr >= fb) {
        first = at(r.Index, g.Next, b.Index), second = at(r.Next, g.Next, b.Index);
        w0 = 1 - fg, w1 = fg - fr, w2 = fr - fb, w3 = fb;
    } else if (fg >= fb && fb >= fr) {
        first = at(r.Index, g.Next, b.Index), second = at(r.Index, g.Next, b.Next);
        w0 = 1 - fg, w1 = fg - fb, w2 = fb - fr, w3 = fr;
    } else {
        first = at(r.Index, g.Index, b.Next), second = at(r.Index, g.Next, b.Next);
        w0 = 1 - fb, w1 = fb - fg, w2 = fg - fr, w3 = fr;
    }
    out.Red = w0 * c000.Red + w1 * first.Red + w2 * second.Red + w3 * c111.Red;
    out.Green = w0 * c000.Green + w1 * first.Green + w2 * second.Green + w3 * c111.Green;
    out.Blue = w0 * c000.Blue + w1 * first.Blue + w2 * second.Blue + w3 * c111.Blue;
}
