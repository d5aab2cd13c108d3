#include "platform/LargePages.h"

#include <cstdint>

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

namespace tolvan {

namespace {
thread_local bool large_pages_requested = false;
}  // namespace

LargePagesForNextBuffer::LargePagesForNextBuffer() { large_pages_requested = true; }
LargePagesForNextBuffer::~LargePagesForNextBuffer() { large_pages_requested = false; }

bool TakeLargePagesRequest() {
  const bool requested = large_pages_requested;
  large_pages_requested = false;
  return requested;
}

void AdviseLargePages(void* data, size_t size) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kLarge = kLargePageSize;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLarge - 1);
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

void PrefaultPages(void* data, size_t size) {
#if defined(MADV_POPULATE_WRITE)
  // A small buffer takes a few faults, fewer than the request costs.
  if (size < (size_t{256} << 10)) return;
  const uintptr_t page = 4096;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(data) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size + page - 1) & ~(page - 1);
  // An older system refuses it (EINVAL): the pages then fault one by one.
  (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace tolvan
