#include "engine/lut/LUT.h"

#include <cstdlib>
#include <new>

namespace {
// Zero-filled storage for count objects of T; all-zero bytes are 0.0 doubles.
template <typename T>
T* AllocateZeroed(std::size_t count) {
    void* p = std::calloc(count, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
}
}  // namespace

void TLUT::TFreeDeleter::operator()(void* p) const { std::free(p); }

TLUT::TLUT()
    : cubeStore_(AllocateZeroed<TCubePlane>(kMaxCubeSize)),
      curveStore_(AllocateZeroed<TRGBDouble>(kMaxCurveSize)),
      Cube(cubeStore_.get()),
      Curve(curveStore_.get()) {}

TLUT::~TLUT() = default;
