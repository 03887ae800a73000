#include "engine/lut/LUT.h"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace {
std::size_t PageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

std::size_t MappedBytes(std::size_t bytes) {
    const std::size_t page = PageSize();
    return (bytes + page - 1) / page * page + page;
}

// Zero-filled storage for count objects of T in pages of its own: fresh
// pages come zeroed from the system, so a new LUT costs no 27 MB fill and
// only the rows a LUT uses are ever touched; all-zero bytes are 0.0
// doubles. The tables end where a page that cannot be touched begins, so a
// read or write past the last entry faults at once.
template <typename T>
T* MapZeroed(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    const std::size_t mapped = MappedBytes(bytes);
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    char* guard = static_cast<char*>(base) + mapped - PageSize();
    if (mprotect(guard, PageSize(), PROT_NONE) != 0) {
        munmap(base, mapped);
        throw std::bad_alloc();
    }
    return reinterpret_cast<T*>(guard - bytes);
}
}  // namespace

void TLUT::TPagesDeleter::operator()(void* p) const {
    if (!p) return;
    const std::size_t mapped = MappedBytes(Bytes);
    char* guard = static_cast<char*>(p) + Bytes;
    munmap(guard + PageSize() - mapped, mapped);
}

TLUT::TLUT()
    : cubeStore_(MapZeroed<TCubePlane>(kMaxCubeSize), TPagesDeleter{kMaxCubeSize * sizeof(TCubePlane)}),
      curveStore_(MapZeroed<TRGBDouble>(kMaxCurveSize), TPagesDeleter{kMaxCurveSize * sizeof(TRGBDouble)}),
      Cube(cubeStore_.get()),
      Curve(curveStore_.get()) {}

TLUT::~TLUT() = default;
