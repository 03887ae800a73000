#pragma once
#include <memory>

#include "engine/lut/LutChain.h"

enum class TCubeInterpolation { Trilinear, Tetrahedral };

// A 3D table over the input domain [DomainMin, DomainMax] per axis, looked
// up trilinearly (as TLUT does) or tetrahedrally.
class TCubeOperation : public TLutOperation {
public:
    // Takes the cube of `table` (its Cube and CubeSize).
    TCubeOperation(std::shared_ptr<const TLUT> table, TCubeInterpolation interpolation,
                   const TRGBDouble& domainMin = {0, 0, 0}, const TRGBDouble& domainMax = {1, 1, 1});
    // The same table looked up another way.
    std::unique_ptr<TCubeOperation> WithInterpolation(TCubeInterpolation interpolation) const;
    // Set by readers of files that state their interpolation, which then
    // stays whatever the user chooses for files that do not.
    bool InterpolationNamedByFile = false;
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return false; }
    const TLUT& Table() const { return *table_; }
    TCubeInterpolation Interpolation() const { return interpolation_; }
    // True for a trilinear cube over 0..1, which TLUT's own lookup matches.
    bool IsPlain() const;

private:
    void Tetrahedral(const TRGBDouble& in, TRGBDouble& out) const;

    std::shared_ptr<const TLUT> table_;
    TCubeInterpolation interpolation_;
    TRGBDouble min_;
    TRGBDouble max_;
};
