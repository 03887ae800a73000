#include "LUT.h"

TLUT::TLUT()
    : cubeStore_(new TCubePlane[kMaxCubeSize]()),
      curveStore_(new TRGBDouble[kMaxCurveSize]()),
      Cube(cubeStore_.get()),
      Curve(curveStore_.get()) {}

TLUT::~TLUT() = default;
