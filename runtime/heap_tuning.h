#pragma once
// How the C library's heap hands memory back to the system.

namespace quillmere {

// Keeps freed heap memory for reuse instead of returning it at once.
//
// Saving a workbook opens and closes a compressor for every part of the
// file, each allocating and zeroing a few hundred kilobytes; by default the
// heap gives that memory back on every close and faults it in again on the
// next open, which costs more than the compression of the small parts.
// Call once, at program start, before any thread is started.
void KeepFreedHeapForReuse() noexcept;

}  // namespace quillmere
