#include "runtime/heap_tuning.h"

#include <malloc.h>

namespace quillmere {

namespace {

// Freed memory at the top of the heap is returned only past this much.
constexpr int kTrimThreshold = 32 * 1024 * 1024;

}  // namespace

void KeepFreedHeapForReuse() noexcept { static_cast<void>(mallopt(M_TRIM_THRESHOLD, kTrimThreshold)); }

}  // namespace quillmere
