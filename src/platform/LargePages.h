// Advice to the system on large buffers. Each small page of a fresh buffer
// costs a fault when it is first written, which on a module of a million
// lines (its bytes) is a good part of the time spent reading it; backed by
// large pages, such a buffer takes a few dozen faults. Only advice:
// nothing changes where it is not taken.
#pragma once

#include <cstddef>

namespace tolvan {

// Asks for the whole 2 MiB stretches of [data, data + size) to be backed by
// large pages when they are first written. Call it before writing them.
void AdviseLargePages(void* data, size_t size);

// Maps the pages of [data, data + size) at once, as one request, rather
// than a fault for each when first written: for a buffer about to be
// written whole; below 256 KiB, nothing. Call it after AdviseLargePages.
void PrefaultPages(void* data, size_t size);

// While one is alive, the next buffer of 2 MiB or more made on this thread
// starts on a 2 MiB boundary, with its whole 2 MiB stretches advised for
// large pages before anything is written to it. A string writes its
// terminator into its first page as it is made, which would keep the first
// stretch on small pages; a buffer that starts anywhere loses its first
// and last part-stretches to them. Only the command-line program, whose
// operator new asks TakeLargePagesRequest(), honours it; elsewhere nothing
// changes.
class LargePagesForNextBuffer {
 public:
  LargePagesForNextBuffer();
  ~LargePagesForNextBuffer();
  LargePagesForNextBuffer(const LargePagesForNextBuffer&) = delete;
  LargePagesForNextBuffer& operator=(const LargePagesForNextBuffer&) = delete;
};

// Whether a LargePagesForNextBuffer is waiting on this thread; the first
// call that says so takes the request.
bool TakeLargePagesRequest();

inline constexpr size_t kLargePageSize = size_t{2} << 20;

}  // namespace tolvan
