// Advice to the system on large buffers. Each small page of a fresh buffer
// costs a fault when it is first written, which on a module of a million
// lines (its bytes, a line table of 16 bytes a line) is a good part of the
// time spent reading it; backed by large pages, such a buffer takes a few
// dozen faults. Only advice: nothing changes where it is not taken.
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

}  // namespace tolvan
