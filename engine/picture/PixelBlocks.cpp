#include "engine/picture/PixelBlocks.h"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace pixelblocks {
namespace {

struct TBlock {
    void* Memory;
    std::size_t Bytes;
};

struct TKept {
    std::mutex Mutex;
    std::vector<TBlock> Blocks;  // oldest first
    std::size_t Bytes = 0;
};

// Never destroyed: pictures let go while the program ends still come here.
TKept& Blocks() {
    static TKept* kept = new TKept;
    return *kept;
}

// Whole large pages, so that the block's last pages are large ones too and
// blocks of nearly the same size serve each other.
std::size_t Rounded(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

}  // namespace

void* Take(std::size_t bytes) {
    const std::size_t size = Rounded(bytes);
    {
        TKept& kept = Blocks();
        std::lock_guard lock(kept.Mutex);
        // The newest first: its pages are likeliest still in the caches.
        for (auto it = kept.Blocks.rbegin(); it != kept.Blocks.rend(); ++it)
            if (it->Bytes == size) {
                void* memory = it->Memory;
                kept.Bytes -= size;
                kept.Blocks.erase(std::next(it).base());
                ASAN_UNPOISON_MEMORY_REGION(memory, size);
                return memory;
            }
    }
    void* memory = nullptr;
    if (posix_memalign(&memory, kLargePage, size) != 0) throw std::bad_alloc();
    // A hint only: without large pages the memory is as any other.
    madvise(memory, size, MADV_HUGEPAGE);
    return memory;
}

void Give(void* block, std::size_t bytes) noexcept {
    const std::size_t size = Rounded(bytes);
    std::vector<void*> freed;
    if (size <= kMostKept) {
        TKept& kept = Blocks();
        std::lock_guard lock(kept.Mutex);
        std::size_t oldest = 0;
        while (kept.Bytes + size > kMostKept) {
            ASAN_UNPOISON_MEMORY_REGION(kept.Blocks[oldest].Memory, kept.Blocks[oldest].Bytes);
            freed.push_back(kept.Blocks[oldest].Memory);
            kept.Bytes -= kept.Blocks[oldest].Bytes;
            ++oldest;
        }
        kept.Blocks.erase(kept.Blocks.begin(), kept.Blocks.begin() + static_cast<std::ptrdiff_t>(oldest));
        try {
            kept.Blocks.push_back({block, size});
            // A picture still written through after it was let go is caught
            // as a use after free is.
            ASAN_POISON_MEMORY_REGION(block, size);
            kept.Bytes += size;
            block = nullptr;
        } catch (const std::bad_alloc&) {
            // Not kept: let go below.
        }
    }
    for (void* memory : freed) std::free(memory);
    std::free(block);
}

std::size_t Kept() {
    TKept& kept = Blocks();
    std::lock_guard lock(kept.Mutex);
    return kept.Bytes;
}

}  // namespace pixelblocks
