#include "large_memory.h"
#include <cstdlib>
#if defined(__linux__)
#include <sys/mman.h>
#endif

void* allocate_large(size_t bytes) {
    constexpr size_t page = size_t(2) << 20;
    const size_t align = bytes >= page ? page : 64;
    const size_t size = (bytes + align - 1) / align * align;
    void* p = aligned_alloc(align, size ? size : align);
    if (!p) return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Advice only: without huge pages the memory works the same.
    if (align == page) madvise(p, size, MADV_HUGEPAGE);
#endif
    return p;
}
